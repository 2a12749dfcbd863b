// The key wait of `in 1` in the recorded run (machine/recorded_run.hpp): a
// run that opts in pauses before an `in 1` on new ground and goes on when a
// key comes; ground already run, the timeline and reverse continue never
// wait again; without the opt-in nothing waits.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "assemble.hpp"
#include "machine/recorded_run.hpp"

namespace {

// Steps 1-2 print 1, step 3 waits, 4-5 print 2, step 6 waits, 7-8 print 3,
// step 9 halts.
constexpr const char* PAGES =
    "        ldi 1\n        out 0\n        in 1\n[second ldi 2\n        out 0\n"
    "        in 1\n        ldi 3\n        out 0\n        hlt\n";

void load(RecordedRun& run, const std::string& source) {
    AssemblyResult program = assemble_source(source);
    ASSERT_TRUE(program.ok) << program.error_message;
    Machine start{};
    reset_and_load(start, program.image);
    run.load(start, program.written, program.code);
}

enum class Op { RUN, STEP, KEY, GO_TO, REVERSE, FORWARD };

struct Row {
    const char* what;
    Op op;
    std::uint64_t arg;
    RunEnd end;  // what the operation returned (for GO_TO, REVERSE and KEY: the standing)
    std::uint64_t step;
    std::size_t outputs;
};

TEST(KeyWait, PausesOnlyOnNewGround) {
    RecordedRun run(64);
    run.waits_for_keys = true;
    load(run, PAGES);
    run.add_mark(MarkKind::BREAK, 6);  // `second`: after the first in 1
    const Row rows[] = {
        {"a run pauses before the first in 1", Op::RUN, 100, RunEnd::KEY_WAIT, 2, 1},
        {"without a key it stays", Op::RUN, 100, RunEnd::KEY_WAIT, 2, 1},
        {"a step waits too", Op::STEP, 0, RunEnd::KEY_WAIT, 2, 1},
        {"a key came", Op::KEY, 0, RunEnd::KEY_WAIT, 2, 1},
        {"the run goes on to the next in 1", Op::RUN, 100, RunEnd::KEY_WAIT, 5, 2},
        {"back before the first in 1", Op::GO_TO, 1, RunEnd::LIMIT, 1, 0},
        {"stepping over it again does not wait", Op::STEP, 0, RunEnd::LIMIT, 2, 1},
        {"", Op::STEP, 0, RunEnd::LIMIT, 3, 1},
        {"nor does a run over it", Op::GO_TO, 0, RunEnd::LIMIT, 0, 0},
        {"", Op::RUN, 4, RunEnd::LIMIT, 4, 1},
        {"the timeline to the wait", Op::GO_TO, 5, RunEnd::LIMIT, 5, 2},
        {"a key with no wait is passed over", Op::KEY, 0, RunEnd::LIMIT, 5, 2},
        {"so the new in 1 still waits", Op::RUN, 100, RunEnd::KEY_WAIT, 5, 2},
        {"reverse continue passes the in 1", Op::REVERSE, 0, RunEnd::LIMIT, 3, 1},
        {"the debugger's continue on to the wait", Op::FORWARD, 0, RunEnd::KEY_WAIT, 5, 2},
        {"a key", Op::KEY, 0, RunEnd::KEY_WAIT, 5, 2},
        {"one step runs the in 1 alone", Op::STEP, 0, RunEnd::LIMIT, 6, 2},
        {"on to the end", Op::RUN, 100, RunEnd::HALTED, 9, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RunEnd end = run.standing();
        switch (row.op) {
            case Op::RUN: end = run.run_steps(row.arg, nullptr).end; break;
            case Op::STEP: end = run.step_instruction(); break;
            case Op::KEY: run.key_came(); break;
            case Op::GO_TO: run.go_to(row.arg); break;
            case Op::REVERSE: run.go_to(run.last_break_before().value_or(0)); break;
            case Op::FORWARD: end = run.run_forward(); break;
        }
        if (row.op == Op::GO_TO || row.op == Op::REVERSE || row.op == Op::KEY) end = run.standing();
        EXPECT_EQ(static_cast<int>(end), static_cast<int>(row.end));
        EXPECT_EQ(run.step(), row.step);
        EXPECT_EQ(run.history().outputs(), row.outputs);
        if (row.end == RunEnd::KEY_WAIT) {
            EXPECT_EQ(static_cast<int>(run.standing()), static_cast<int>(row.end));
        }
    }
    EXPECT_EQ(run.keys_consumed(), 2u);
    EXPECT_EQ(run.io.port0, (std::vector<std::uint8_t>{1, 2, 3}));

    // Without the opt-in (the debugger, the adapter) nothing waits.
    RecordedRun plain(64);
    load(plain, PAGES);
    EXPECT_EQ(static_cast<int>(plain.run_forward()), static_cast<int>(RunEnd::HALTED));
    EXPECT_EQ(plain.step(), 9u);
    EXPECT_EQ(plain.keys_consumed(), 2u);
}

// A read watch's run records new ground ahead and comes back: it still
// pauses at the key wait, shows each value once, and over recorded ground
// stops at the same reads without waiting.
TEST(KeyWait, ARunWithAReadWatchPausesToo) {
    RecordedRun run(64);
    run.waits_for_keys = true;
    load(run,
         "        ldd v\n        out 0\n        in 1\n        ldd v\n        out 0\n"
         "        hlt\n[v      db 5\n");
    run.add_mark(MarkKind::RWATCH, 13);  // v
    std::vector<std::pair<RunEnd, std::uint64_t>> ends;
    for (int k = 0; k < 7; ++k) {
        if (k == 2) run.key_came();
        if (k == 4) {
            EXPECT_EQ(run.io.port0, (std::vector<std::uint8_t>{5, 5}));
            run.go_to(0);
        }
        RunEnd end = run.run_forward();
        ends.emplace_back(end, run.step());
    }
    EXPECT_EQ(ends, (std::vector<std::pair<RunEnd, std::uint64_t>>{{RunEnd::WATCHPOINT, 1},
                                                                   {RunEnd::KEY_WAIT, 2},
                                                                   {RunEnd::WATCHPOINT, 4},
                                                                   {RunEnd::HALTED, 6},
                                                                   {RunEnd::WATCHPOINT, 1},
                                                                   {RunEnd::WATCHPOINT, 4},
                                                                   {RunEnd::HALTED, 6}}));
    EXPECT_EQ(run.keys_consumed(), 1u);
}

}  // namespace
