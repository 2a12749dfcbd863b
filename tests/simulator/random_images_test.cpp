// Random memory images run for a bounded number of instructions. Under the
// sanitizer configuration any access outside memory fails this test; in
// every configuration each run must end in hlt, a stop, or the bound, and
// the fast run loop must do exactly what the one step procedure does.
#include <cstring>
#include <memory>
#include <random>
#include <span>

#include "fast_run_check.hpp"
#include "machine_fixture.hpp"

namespace {

using RandomImages = MachineTest;

// Mostly defined opcodes, some bytes near the edges of the areas, and a
// filled stack, so that runs get somewhere before they stop.
void fill_random_image(Machine& machine, std::mt19937& random) {
    std::uint8_t* memory = machine.memory;
    for (int a = 0; a < MAX_MEMORY; ++a) {
        unsigned r = random();
        memory[a] = static_cast<std::uint8_t>(
            r % 10 != 0 ? INSTRUCTION_ROWS[(r >> 8) % DEFINED_INSTRUCTION_COUNT].opcode
                        : (r >> 8) & 0xFF);
    }
    for (int k = 0; k < 64; ++k) {
        unsigned a = random() % (MAX_MEMORY - 1);
        unsigned edge = random() % 4;
        memory[a] = static_cast<std::uint8_t>(edge == 0 ? 0xFF : edge == 1 ? 0x2F : 0x3F);
        memory[a + 1] = static_cast<std::uint8_t>(random() % 2 ? 0x3F : 0xFF);
    }
    for (int k = 0; k < 300; ++k) push_byte(machine, random());
}

TEST_F(RandomImages, NeverReachOutsideMemory) {
    std::mt19937 random(12345);
    int halted = 0, stopped = 0;
    long executed = 0;
    for (int image = 0; image < 6000; ++image) {
        cpu_reset(machine);
        console_double_reset();
        fill_random_image(machine, random);
        try {
            int steps = 0;
            do {
                fetch_instruction(machine);
                execute_instruction(machine);
            } while (machine.IR != OP_HLT && ++steps < 5000);
            executed += machine.instruction_count;
            halted += machine.IR == OP_HLT;
        } catch (const ExitRequest& e) {
            ASSERT_EQ(e.status, 255);
            executed += machine.instruction_count;
            ++stopped;
            cpu_reset(machine);
        }
        ASSERT_TRUE(machine.PC < MAX_MEMORY);
        ASSERT_TRUE(machine.SP == 0 || (machine.SP >= STACK_BOTTOM && machine.SP <= STACK_TOP));
        ASSERT_TRUE(machine.Z <= 1 && machine.S <= 1 && machine.O <= 1 && machine.C <= 1);
    }
    // the images must reach both endings and run a fair number of instructions
    EXPECT_GT(halted, 0);
    EXPECT_GT(stopped, 0);
    EXPECT_GT(executed, 50000);
    console_double_reset();
}

// The fast run loop against step() alone, instruction by instruction (see
// fast_run_check.hpp), on images that start with any flags and a stack that
// is empty, full, or neither.
TEST_F(RandomImages, FastLoopDoesWhatTheStepProcedureDoes) {
    std::mt19937 random(24680);
    long fast = 0, stepped = 0;
    int halted = 0, stopped = 0;
    for (int image = 0; image < 3000; ++image) {
        cpu_reset(machine);
        fill_random_image(machine, random);
        unsigned shape = random() % 8;
        if (shape == 0) machine.SP = 0;
        if (shape == 1) machine.SP = STACK_BOTTOM + random() % 4;
        machine.Z = random() % 2;
        machine.S = random() % 2;
        machine.O = random() % 2;
        machine.C = random() % 2;
        FastRunComparison run = compare_fast_run(machine, 5000, random());
        ASSERT_EQ(run.difference, "") << "image " << image;
        fast += run.fast;
        stepped += run.stepped;
        halted += run.halted;
        stopped += run.stopped;
    }
    // Most instructions take the fast path; every way out is taken.
    EXPECT_GT(fast, 10 * stepped);
    EXPECT_GT(stepped, 1000);
    EXPECT_GT(halted, 0);
    EXPECT_GT(stopped, 0);
    console_double_reset();
}

// A loop that runs the same bytes as two instruction streams in turn: from
// 0x21 a block of 32 nops (the operand of ldiw at 0x20 read as two), from
// 0x20 ldiw and the same nops. The block decoded from 0x20 must leave the
// one from 0x21 as it was: it ends further on, and rewriting the shared
// slots changed what the other had charged.
TEST_F(RandomImages, BlocksThatShareSlotsKeepTheirCounts) {
    const std::uint8_t loop[] = {
        OP_LDD, 0x80, 0x00, OP_INC, OP_STD, 0x80,   0x00,  // flag = flag + 1
        OP_LDD, 0x80, 0x00, OP_LDI, 0x01,   OP_AND,        // odd?
        OP_JZ,  0x21, 0x00, OP_JMP, 0x20,   0x00,
    };
    for (std::uint32_t seed : {1u, 77u, 4242u}) {
        machine_reset(machine);
        std::uint8_t* memory = machine.memory;
        memory[0] = OP_JMP, memory[1] = 0x21;
        memory[0x20] = OP_LDIW, memory[0x21] = OP_NOP, memory[0x22] = OP_NOP;
        std::memset(memory + 0x23, OP_NOP, 40);
        std::memcpy(memory + 0x4B, loop, sizeof loop);
        EXPECT_EQ(compare_fast_run(machine, 20000, seed).difference, "") << seed;
    }
    console_double_reset();
}

}  // namespace

namespace {

// The decoded loop's blocks against step() alone: programs built from the
// shapes it runs as blocks, rewriting their own code, with stacks near both
// ends and faults (ShapedProgram in fast_run_check.hpp).
TEST_F(RandomImages, ShapedProgramsRunAsTheStepProcedureRuns) {
    std::mt19937 random(97531);
    long fast = 0, stepped = 0;
    int halted = 0, stopped = 0;
    std::vector<std::uint8_t> choices;
    for (int program = 0; program < 400; ++program) {
        cpu_reset(machine);
        choices.resize(20 + random() % 400);
        for (std::uint8_t& c : choices) c = static_cast<std::uint8_t>(random());
        ShapedProgram shaped(choices.data(), choices.size());
        shaped.build(machine);
        FastRunComparison run = compare_fast_run(machine, 20000, random());
        ASSERT_EQ(run.difference, "") << "program " << program;
        WrittenSet loaded, code;
        shaped.written(loaded, code);
        ASSERT_EQ(compare_monitored_run(machine, loaded, code, 20000, random()), "")
            << "program " << program << ", monitored";
        fast += run.fast;
        stepped += run.stepped;
        halted += run.halted;
        stopped += run.stopped;
    }
    EXPECT_GT(fast, 4 * stepped);
    EXPECT_GT(halted, 40);
    EXPECT_GT(stopped, 40);
    console_double_reset();
}

// Fuzzed inputs (the shapes fuzz target's: bytes 0-3 the run lengths, the
// rest the program's choices) that once found a fault, run again.
// 1: a run whose count was used up at a block without stack room took one
//    more instruction (and from then on never met its count).
constexpr std::uint8_t SHAPES_FINDING_1[] = {
    0x53, 0x2d, 0x3c, 0x81, 0x75, 0xfb, 0xa0, 0xbc, 0xfb, 0x56, 0x59, 0x50, 0x72, 0x0b, 0x9b,
    0x08, 0xc9, 0xb8, 0xa4, 0x99, 0x3a, 0x12, 0x1a, 0xd4, 0x29, 0x02, 0x8c, 0x53, 0x96, 0x3a,
    0x38, 0xa2, 0x18, 0x19, 0x92, 0x3a, 0x34, 0x50, 0xf9, 0x19, 0x35, 0x16, 0xe6, 0x49, 0xa6,
    0x52, 0x95, 0x06, 0xd3, 0xb0, 0x69, 0x0b, 0x3e, 0x2f, 0x67, 0x07, 0x02, 0x00, 0x84, 0x00,
    0xc2, 0x56, 0x06, 0xac, 0xac, 0xac, 0xac, 0xac, 0x68, 0x06, 0x00, 0x00, 0x00, 0x09, 0x02,
    0x18, 0x2f, 0x68, 0x33, 0x3a, 0x00, 0x00, 0xf4, 0x00, 0x31, 0x00, 0x7f, 0x00, 0x3c, 0x00,
    0x00, 0xd0, 0x43, 0x01, 0x49, 0x3b, 0x9d, 0xc4, 0x01, 0xe5, 0x34, 0x34, 0x34, 0x34, 0x34,
    0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34,
    0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34,
    0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34,
    0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34,
    0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34,
    0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x34, 0x2a, 0x69, 0xa1, 0x15, 0x53,
    0x2d, 0x3c, 0x81, 0x77, 0xfb, 0xa0, 0xbc, 0xfb, 0x56, 0x59, 0x50, 0x72, 0x53, 0x0b, 0x2d,
};

TEST_F(RandomImages, FuzzedShapedProgramsStillRunAsTheStepProcedureRuns) {
    for (std::span<const std::uint8_t> input : {std::span(SHAPES_FINDING_1)}) {
        machine_reset(machine);
        ShapedProgram shaped(input.data() + 4, input.size() - 4);
        shaped.build(machine);
        std::uint32_t seed = input[0] | input[1] << 8 | input[2] << 16 | unsigned{input[3]} << 24;
        EXPECT_EQ(compare_fast_run(machine, 20000, seed).difference, "");
        WrittenSet loaded, code;
        shaped.written(loaded, code);
        EXPECT_EQ(compare_monitored_run(machine, loaded, code, 20000, seed), "");
    }
    console_double_reset();
}

}  // namespace
