// The machine as a value: machines share nothing, so two programs run on two
// machines in two threads give exactly what each gives alone; and every
// instruction's row (opcode_table.hpp) tells the truth about its handler.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "machine/fast_run.hpp"
#include "machine/headless.hpp"
#include "machine/loader.hpp"

namespace {

// A counter word in 0x1000 counted up to 60000, its low byte written to port
// 0 each time: the Io path, stores and word compares.
// clang-format off
const std::vector<std::uint8_t> COUNTER = {
    OP_LDIW, 0, 0,                   //  0: the counter
    OP_INCW,                         //  3: loop
    OP_STDW, 0x00, 0x10,             //  4
    OP_LDDW, 0x00, 0x10,             //  7
    OP_LDD,  0x00, 0x10,             // 10
    OP_OUT,  0,                      // 13
    OP_LDDW, 0x00, 0x10,             // 15
    OP_LDIW, 0x60, 0xEA,             // 18: 60000
    OP_CMPW,                         // 21
    OP_JNZ,  3,    0,                // 22
    OP_HLT,                          // 25
};
// clang-format on

// v = 5v + 1 (a byte) stored through a pointer word in 0x1800 that walks
// 0x2000..0x2EFF, and written to port 7: multiplies, pointer stores, ports.
// clang-format off
const std::vector<std::uint8_t> FILLER = {
    OP_LDIW, 0x00, 0x20,             //  0: the pointer
    OP_STDW, 0x00, 0x18,             //  3
    OP_LDI,  7,                      //  6: v
    OP_LDI,  5,                      //  8: loop
    OP_MUL,                          // 10
    OP_INC,                          // 11
    OP_STD,  0x10, 0x18,             // 12
    OP_LDD,  0x10, 0x18,             // 15
    OP_LDD,  0x10, 0x18,             // 18
    OP_STA,  0x00, 0x18,             // 21
    OP_LDD,  0x10, 0x18,             // 24
    OP_OUT,  7,                      // 27
    OP_LDDW, 0x00, 0x18,             // 29
    OP_INCW,                         // 32
    OP_STDW, 0x00, 0x18,             // 33
    OP_LDDW, 0x00, 0x18,             // 36
    OP_LDIW, 0x00, 0x2F,             // 39
    OP_CMPW,                         // 42
    OP_JNZ,  8,    0,                // 43
    OP_HLT,                          // 46
};
// clang-format on

struct Result {
    std::unique_ptr<Machine> machine = std::make_unique<Machine>();
    std::vector<std::uint8_t> port0;
    std::optional<Stop> stop;
};

// As the simulator runs a program: the fast loop in stretches, step() for
// what it leaves.
Result run_alone(const std::vector<std::uint8_t>& image) {
    Result r;
    Machine& m = *r.machine;
    reset_and_load(m, image);
    HeadlessIo io;
    while (!r.stop && m.IR != OP_HLT) {
        try {
            run_fast(m, m.instruction_count + 777);
        } catch (const MachineStop& s) {
            r.stop = s.stop;
            break;
        }
        r.stop = step_headless(m, io);
    }
    r.port0 = std::move(io.port0);
    return r;
}

bool same(const Result& a, const Result& b) {
    return *a.machine == *b.machine && a.port0 == b.port0 &&
           a.stop.has_value() == b.stop.has_value();
}

TEST(MachineValue, TwoMachinesInTwoThreadsGiveWhatEachGivesAlone) {
    const Result counter = run_alone(COUNTER);
    const Result filler = run_alone(FILLER);
    ASSERT_FALSE(counter.stop || filler.stop);
    EXPECT_EQ(counter.machine->instruction_count, 2u + 60000 * 9);  // ldiw, the loops, hlt
    EXPECT_EQ(counter.port0.size(), 60000u);
    EXPECT_EQ(filler.machine->ports[7], filler.machine->memory[0x2EFF]);
    ASSERT_FALSE(same(counter, filler));

    // Each thread runs its program again and again while the other runs.
    constexpr int ROUNDS = 12;
    int counter_same = 0, filler_same = 0;
    std::thread other([&] {
        for (int i = 0; i < ROUNDS; ++i) filler_same += same(run_alone(FILLER), filler);
    });
    for (int i = 0; i < ROUNDS; ++i) counter_same += same(run_alone(COUNTER), counter);
    other.join();
    EXPECT_EQ(counter_same, ROUNDS);
    EXPECT_EQ(filler_same, ROUNDS);
}

// One instruction at 0x100 on a machine whose memory holds 0xAA, with the
// word operand 0x1000 (a pointer there to 0x1100), the byte operand 0x10,
// nonzero stack bytes above SP and the given flags; the byte at `poke`, if
// given, holds 0x55 instead.
struct RowRun {
    std::unique_ptr<Machine> before = std::make_unique<Machine>();
    std::unique_ptr<Machine> after;
    std::optional<Stop> stop;
};

RowRun run_row(const OpcodeEntry& row, std::uint16_t sp, std::uint8_t flags,
               std::optional<unsigned> poke = std::nullopt) {
    RowRun r;
    Machine& m = *r.before;
    machine_reset(m);
    std::fill(std::begin(m.memory), std::end(m.memory), 0xAA);
    m.memory[0x100] = row.opcode;
    m.memory[0x101] = row.length == 2 ? 0x10 : 0x00;
    m.memory[0x102] = 0x10;
    m.memory[0x1000] = 0x00;
    m.memory[0x1001] = 0x11;
    m.memory[0x1100] = 0x12;  // unlike the bytes around, so that a wrong pointer shows
    m.memory[0x1101] = 0x34;
    for (unsigned a = sp + 1u, k = 1; a <= STACK_TOP; ++a, ++k)
        m.memory[a] = static_cast<std::uint8_t>(k);
    m.PC = 0x100;
    m.SP = sp;
    m.Z = m.S = m.O = m.C = flags;
    if (poke) m.memory[*poke] = 0x55;
    r.after = std::make_unique<Machine>(m);
    HeadlessIo io;
    r.stop = step_headless(*r.after, io);
    return r;
}

TEST(InstructionRows, EachRowTellsWhatItsHandlerDoes) {
    for (const OpcodeEntry& row : INSTRUCTION_ROWS) {
        SCOPED_TRACE(row.mnemonic);
        std::set<unsigned> next_pcs;
        for (std::uint8_t flags : {0, 1}) {
            RowRun r = run_row(row, 0x3800, flags);
            if (r.stop) {
                ADD_FAILURE() << stop_message(*r.stop);
                continue;
            }
            const Machine& a = *r.after;
            const Machine& b = *r.before;
            // Pops first, then pushes.
            EXPECT_EQ(a.SP, 0x3800 + row.pops - row.pushes);
            EXPECT_EQ(a.clock_count, row.clocks);
            next_pcs.insert(a.PC);
            // Outside the stack bytes it popped and pushed, only what the
            // store column names changes.
            std::set<unsigned> stored;
            for (unsigned x = 0; x < MAX_MEMORY; ++x) {
                if (a.memory[x] != b.memory[x]) stored.insert(x);
            }
            static const std::set<std::set<unsigned>> expected_stores[] = {
                {{}}, {{0x1000}}, {{0x1000, 0x1001}}, {{0x1100}}, {{0x1100, 0x1101}}, {{}}};
            EXPECT_EQ(expected_stores[static_cast<int>(row.store)].count(stored), 1u);
            bool port_written = !std::equal(std::begin(a.ports), std::end(a.ports), b.ports);
            EXPECT_EQ(port_written, row.store == Store::PORT);
            // Of the operand word's bytes and the pointer's, exactly those
            // the reads column names change what the instruction leaves
            // (elsewhere than in the changed byte) when changed.
            std::set<unsigned> read;
            for (unsigned x : {0x1000u, 0x1001u, 0x1100u, 0x1101u}) {
                RowRun poked = run_row(row, 0x3800, flags, x);
                poked.after->memory[x] = a.memory[x];
                if (poked.stop || !(*poked.after == a)) read.insert(x);
            }
            static const std::set<unsigned> expected_reads[] = {
                {},                                // NONE
                {0x1000},                          // OPERAND_BYTE
                {0x1000, 0x1001},                  // OPERAND_WORD
                {0x1000, 0x1001},                  // POINTER
                {0x1000, 0x1001, 0x1100},          // POINTED_BYTE
                {0x1000, 0x1001, 0x1100, 0x1101},  // POINTED_WORD
            };
            EXPECT_EQ(read, expected_reads[static_cast<int>(row.reads)]);
        }
        const unsigned next = 0x100u + row.length;
        const std::set<unsigned> want_pcs[] = {
            {next},                                // NEXT
            {row.length == 2 ? 0x110u : 0x1000u},  // JUMP
            {next, 0x1000},                        // BRANCH
            {0x1000},                              // CALL
            {0x0201},                              // RETURN: the two stack bytes above SP
            {0x100},                               // HALT
            {next},                                // PORT
        };
        EXPECT_EQ(next_pcs, want_pcs[static_cast<int>(row.flow)]);
        // The most popped: exactly that many bytes on the stack run; one
        // fewer underflows.
        RowRun full = run_row(row, static_cast<std::uint16_t>(STACK_TOP - row.pops), 0);
        EXPECT_FALSE(full.stop);
        if (row.pops > 0) {
            RowRun short_of_one =
                run_row(row, static_cast<std::uint16_t>(STACK_TOP - row.pops + 1), 0);
            EXPECT_TRUE(short_of_one.stop && short_of_one.stop->kind == StopKind::STACK_UNDERFLOW);
        }
    }
    // Every other byte is undefined, one byte long, and stops the run.
    int undefined = 0;
    for (int op = 0; op < 256; ++op) {
        if (OpcodeTable[op].defined()) continue;
        ++undefined;
        EXPECT_EQ(instruction_length(static_cast<std::uint8_t>(op)), 1);
        RowRun r = run_row(OpcodeTable[op], 0x3800, 0);
        ASSERT_TRUE(r.stop);
        EXPECT_EQ(r.stop->kind, StopKind::UNDEFINED_OPCODE);
    }
    EXPECT_EQ(undefined, 256 - DEFINED_INSTRUCTION_COUNT);
}

}  // namespace
