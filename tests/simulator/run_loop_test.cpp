// The simulator's run loop, which runs most instructions on the fast path,
// against the loop with a key test, a spinner frame and step() before every
// instruction: the same console bytes, exit status, "memmap2.txt" and memory
// for long runs that end in every way, with and without keys; and the loop
// of --check, which looks for findings, gives the same again.
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "fast_run_check.hpp"
#include "machine/step.hpp"
#include "machine_fixture.hpp"
#include "run_program.hpp"

namespace {

// The loop as it was before the fast path.
void run_program_step_by_step(Machine& machine) {
    ConsoleIo io;
    try {
        RunningMachine m(machine);
        do {
            if (console_key_waiting(m.instruction_count) && console_take_key() == ESCAPE_KEY)
                raise_stop(StopKind::USER_ABORT, m.PC, m.IR);
            console_show_activity();
            step(m, io);
        } while (m.IR != OP_HLT);
        m.write_back(machine);
    } catch (const MachineStop& s) {
        report_stop(machine, s.stop);
    }
}

// The loop of --check: a monitor looks at every instruction first (the
// findings go to standard error, which the test double does not collect).
void run_program_checked(Machine& machine) {
    WrittenSet placed;
    placed.set();
    auto monitor = std::make_unique<FindingMonitor>(placed, WrittenSet{}, ALL_FINDING_KINDS);
    run_program(machine, monitor.get());
}

struct Keys {
    std::string at_start;
    int poll;  // when the late keys come: at this console_poll(); 0 for never
    std::string late;
};

struct Outcome {
    std::string output;
    int status = 0;
    std::string memory_map;
    std::vector<std::uint8_t> memory_after;
};

Outcome run_with(void (*loop)(Machine&), const Machine& start, const Keys& keys) {
    Outcome outcome;
    console_double_reset(keys.at_start);
    if (keys.poll != 0) console_double_keys_at_poll(keys.poll, keys.late);
    auto owned = std::make_unique<Machine>(start);
    Machine& machine = *owned;
    unlink("memmap2.txt");
    try {
        loop(machine);
        print_statistics(machine);
    } catch (const ExitRequest& e) {
        outcome.status = e.status;
    }
    outcome.output = console_double_output();
    if (file_exists("memmap2.txt")) outcome.memory_map = read_file("memmap2.txt");
    outcome.memory_after.assign(machine.memory, machine.memory + MEMORY_SIZE);
    return outcome;
}

// Machine code written from address 0.
struct Code {
    std::vector<std::uint8_t> bytes;
    unsigned emit(std::uint8_t opcode, unsigned operand = 0) {
        unsigned at = static_cast<unsigned>(bytes.size());
        bytes.push_back(opcode);
        int length = instruction_length(opcode);
        if (length >= 2) bytes.push_back(static_cast<std::uint8_t>(operand));
        if (length == 3) bytes.push_back(static_cast<std::uint8_t>(operand >> 8));
        return at;
    }
};

constexpr unsigned COUNTER = 0x1000;  // word
constexpr unsigned SCRATCH = 0x1002;
constexpr unsigned POINTER = 0x1004;  // word, holds 0x3000

struct Op {
    std::uint8_t opcode;
    unsigned operand = 0;
};
constexpr unsigned HERE = 0x10000;  // as an operand: where the ending starts

// 40,000 rounds of a counting loop (over 440,000 instructions, so that the
// run crosses many key polls, with an instruction for step() in each round)
// that shows the counter every 64 rounds, then the ending.
Code counting_loop_then(const std::vector<Op>& ending) {
    Code c;
    c.emit(OP_LDIW, 40000);
    c.emit(OP_STDW, COUNTER);
    unsigned loop = c.emit(OP_LDI, 5);
    c.emit(OP_OUT, 2);  // out is left to step() (as in, hlt and undefined opcodes)
    c.emit(OP_LDDW, COUNTER);
    c.emit(OP_DECW);
    c.emit(OP_STDW, COUNTER);
    unsigned to_done = c.emit(OP_JZ, 0);
    c.emit(OP_LDD, COUNTER);
    c.emit(OP_LDI, 63);
    c.emit(OP_AND);
    c.emit(OP_STD, SCRATCH);
    c.emit(OP_JNZ, loop);
    c.emit(OP_LDD, COUNTER);
    c.emit(OP_OUT, 0);
    c.emit(OP_JMP, loop);
    unsigned done = static_cast<unsigned>(c.bytes.size());
    c.bytes[to_done + 1] = static_cast<std::uint8_t>(done);
    c.bytes[to_done + 2] = static_cast<std::uint8_t>(done >> 8);
    for (const Op& op : ending) c.emit(op.opcode, op.operand == HERE ? done : op.operand);
    return c;
}

struct Ending {
    const char* name;
    std::vector<Op> ops;
    const char* shows;  // in the output when no Escape cuts the run short
};

// Stops the fast path raises itself, and instructions it leaves to step().
const Ending ENDINGS[] = {
    {"hlt", {{OP_HLT}}, "-HALT-"},
    {"ldd beyond memory", {{OP_LDD, 0x4000}}, "-LDD-"},
    {"lda beyond the program area", {{OP_LDA, POINTER}}, "-LDA-"},
    {"sta beyond the program area", {{OP_LDI, 1}, {OP_STA, POINTER}}, "-STA-"},
    {"division by zero", {{OP_LDI, 0}, {OP_LDI, 5}, {OP_DIV}}, "Devide by zero"},
    {"jump out of the program area", {{OP_JMP, 0x3000}}, "PC overload"},
    {"fall out of the program area", {{OP_JMP, 0x2FFE}}, "PC overload"},
    {"pop from the empty stack", {{OP_STD, SCRATCH}}, "Stack underflow"},
    {"push until the stack is full", {{OP_LDI, 1}, {OP_JMP, HERE}}, "Stack overflow"},
    {"undefined opcode", {{12}}, "unknown machine code"},
    {"key waits, then hlt", {{OP_IN, 1}, {OP_IN, 1}, {OP_HLT}}, "-HALT-"},
};

const Keys KEYS[] = {
    {"", 0, ""},
    {"ab", 0, ""},
    {"\x1b", 0, ""},
    {"xyz\x1b", 0, ""},
    {std::string(5000, 'k') + "\x1b", 0, ""},  // more than the key queue holds
    {"", 3, "\x1b"},                           // Escape typed during the run
    {"", 2, "pq"},
};

TEST(RunLoop, SameBytesAsAKeyTestAndStepBeforeEveryInstruction) {
    TempDir dir;
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    auto start = std::make_unique<Machine>();
    for (const Ending& ending : ENDINGS) {
        machine_reset(*start);
        Code code = counting_loop_then(ending.ops);
        std::copy(code.bytes.begin(), code.bytes.end(), start->memory);
        start->memory[POINTER + 1] = 0x30;
        start->memory[0x2FFE] = OP_LDI;
        for (const Keys& keys : KEYS) {
            SCOPED_TRACE(std::string(ending.name) + ", " + std::to_string(keys.at_start.size()) +
                         " keys, then " + std::to_string(keys.late.size()));
            Outcome want = run_with(run_program_step_by_step, *start, keys);
            Outcome got = run_with(run_program, *start, keys);
            auto differ = std::mismatch(got.output.begin(), got.output.end(), want.output.begin(),
                                        want.output.end());
            EXPECT_TRUE(got.output == want.output)
                << "output differs from byte " << differ.first - got.output.begin();
            EXPECT_EQ(got.status, want.status);
            EXPECT_TRUE(got.memory_map == want.memory_map);
            EXPECT_TRUE(got.memory_after == want.memory_after);
            Outcome checked = run_with(run_program_checked, *start, keys);
            EXPECT_TRUE(checked.output == want.output);
            EXPECT_EQ(checked.status, want.status);
            EXPECT_TRUE(checked.memory_map == want.memory_map);
            EXPECT_TRUE(checked.memory_after == want.memory_after);
            if ((keys.at_start + keys.late).find('\x1b') == std::string::npos) {
                EXPECT_NE(want.output.find(ending.shows), std::string::npos);
                EXPECT_GT(want.output.size(), 880000u);  // a frame per instruction
            } else {
                EXPECT_NE(want.output.find("-user terminated-"), std::string::npos);
            }
        }
        // The same program on the machine core alone: fast and step() agree
        // instruction by instruction through the whole run.
        FastRunComparison run = compare_fast_run(*start, 1000000, 99);
        EXPECT_EQ(run.difference, "") << ending.name;
        EXPECT_GT(run.fast, 300000) << ending.name;
    }
    ASSERT_EQ(chdir(previous), 0);
    console_double_reset();
}

}  // namespace
