// The marks the history's summaries are made of (note_instruction in
// machine/fast_run.hpp) against what step() does: for every opcode, from
// random states (the stack empty, near either end or in between; pointers
// anywhere), every byte the instruction changed is marked written and its
// address is marked begun. A byte left out would make a search skip the
// stretch that holds its answer.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "assemble.hpp"
#include "machine/fast_run.hpp"
#include "machine/findings.hpp"
#include "machine/headless.hpp"

namespace {

TEST(RunMarks, EveryByteAnInstructionChangesIsMarked) {
    std::mt19937 random(4242);
    constexpr std::uint16_t SPS[] = {0,      STACK_TOP,        STACK_TOP - 1,    STACK_TOP - 2,
                                     0x3800, STACK_BOTTOM + 2, STACK_BOTTOM + 1, STACK_BOTTOM};
    auto before = std::make_unique<Machine>();
    auto after = std::make_unique<Machine>();
    auto marks = std::make_unique<RunMarks>();
    int changed = 0;
    for (unsigned opcode = 0; opcode < 256; ++opcode) {
        const OpcodeEntry& row = OpcodeTable[opcode];
        if (!row.defined()) continue;
        SCOPED_TRACE(row.mnemonic);
        for (int trial = 0; trial < 64; ++trial) {
            machine_reset(*before);
            for (std::uint8_t& byte : before->memory) byte = static_cast<std::uint8_t>(random());
            before->SP = SPS[trial % std::size(SPS)];
            before->PC = static_cast<std::uint16_t>(random() % MAX_MEMORY);
            before->memory[before->PC] = static_cast<std::uint8_t>(opcode);
            if (trial % 2 == 0) {
                // A pointer operand pointing into memory.
                unsigned pointer = random() % (MEMORY_SIZE - 1);
                before->memory[(before->PC + 1) % MEMORY_SIZE] = 0x30;
                before->memory[(before->PC + 2) % MEMORY_SIZE] = 0x2F;
                before->memory[0x2F30] = static_cast<std::uint8_t>(pointer);
                before->memory[0x2F31] = static_cast<std::uint8_t>(pointer >> 8);
            }
            marks->clear();
            note_instruction(*marks, row, *before);
            *after = *before;
            HeadlessIo io;
            step_headless(*after, io);
            EXPECT_EQ(marks->began[before->PC], 1);
            for (unsigned a = 0; a < MEMORY_SIZE; ++a) {
                if (after->memory[a] == before->memory[a]) continue;
                ++changed;
                EXPECT_EQ(marks->written[a], 1) << "byte " << a << ", SP " << before->SP;
            }
        }
    }
    // The table changed memory often enough to mean something.
    EXPECT_GT(changed, 2000);
}

// One monitor runs with marks and without in turn (the history does
// either): each way keeps its own decoded code and ends where the plain
// loop does.
TEST(RunMarks, OneMonitorRunsWithAndWithoutMarksInTurn) {
    AssemblyResult p = assemble_source(
        "[loop   ldd n\n        inc\n        std n\n        call up\n"
        "        jmp loop\n[up     ret\n[n      db 0\n");
    ASSERT_TRUE(p.ok);
    auto fast = std::make_unique<Machine>();
    reset_and_load(*fast, p.image);
    auto plain = std::make_unique<Machine>(*fast);
    FindingMonitor monitor(p.written, p.code);
    auto marks = std::make_unique<RunMarks>();
    HeadlessIo io;
    // As the history runs: the fast loop, and one step where it stops.
    for (unsigned k = 1; k <= 6; ++k) {
        while (fast->instruction_count < 1000u * k) {
            run_fast(*fast, 1000u * k, FastStops{}, monitor, k % 2 == 0 ? marks.get() : nullptr);
            if (fast->instruction_count == 1000u * k) break;
            monitor.before(*fast);
            step(*fast, io);
        }
    }
    while (plain->instruction_count < 6000) step(*plain, io);
    // The runs with marks noted the loop's instructions and its store.
    EXPECT_EQ(marks->began[0] + marks->began[13] + marks->written[14], 3);
    EXPECT_EQ(fast->instruction_count, 6000u);
    EXPECT_EQ(fast->registers(), plain->registers());
    EXPECT_TRUE(std::equal(fast->memory, fast->memory + MEMORY_SIZE, plain->memory));
}

}  // namespace
