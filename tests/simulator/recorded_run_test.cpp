// The recorded run (machine/recorded_run.hpp) against a fresh run with
// step() alone, on every example: going to a step, a breakpoint run forward,
// reverse continue, the last write of a byte, finish and the step of the
// innermost call all land where the fresh run says; and a finding stops a
// replay of its instruction as it stopped the first run.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "assemble.hpp"
#include "machine/recorded_run.hpp"
#include "run_program.hpp"

namespace {

constexpr std::uint64_t MOST_STEPS = 4000;

void load(RecordedRun& run, const AssemblyResult& program) {
    ASSERT_TRUE(program.ok) << program.error_message;
    Machine start{};
    reset_and_load(start, program.image);
    run.load(start, program.written, program.code);
}

// The fresh run: after each step t (0 the start), PC, the open calls and a
// watched byte; `steps` is where it halted or stopped (or MOST_STEPS).
struct FreshRun {
    std::vector<unsigned> pc;
    std::vector<int> depth;
    std::vector<std::uint8_t> byte;
    std::uint64_t steps = 0;
};

FreshRun fresh_run(const Machine& start, std::uint16_t watched) {
    FreshRun f;
    auto m = std::make_unique<Machine>(start);
    HeadlessIo io;
    int depth = 0;
    auto note = [&] {
        f.pc.push_back(m->PC);
        f.depth.push_back(depth);
        f.byte.push_back(m->memory[watched]);
    };
    note();
    while (f.steps < MOST_STEPS) {
        Flow flow = OpcodeTable[m->memory[m->PC]].flow;
        ++f.steps;
        if (step_headless(*m, io) || m->IR == OP_HLT) break;
        depth += flow == Flow::CALL ? 1 : flow == Flow::RETURN ? -1 : 0;
        note();
    }
    return f;
}

std::unique_ptr<Machine> fresh_machine(const Machine& start, std::uint64_t t) {
    auto m = std::make_unique<Machine>(start);
    HeadlessIo io;
    for (std::uint64_t i = 0; i < t; ++i)
        if (step_headless(*m, io)) break;
    return m;
}

TEST(RecordedRun, LandsWhereAFreshRunSaysOnEveryExample) {
    std::mt19937 random(34);
    int examples = 0;
    int finishes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() != ".asm") continue;
        ++examples;
        SCOPED_TRACE(entry.path().string());
        RecordedRun run(64);
        load(run, assemble_source(read_file(entry.path().string())));
        const Machine& start = run.start();
        // A stack byte: written by calls and pushes.
        FreshRun f = fresh_run(start, STACK_TOP - 1);
        std::uint64_t last = f.pc.size() - 1;  // the last step that did not end the run
        ASSERT_GT(last, 2u);

        // A breakpoint on a PC the run reaches: the run forward stops after
        // each step that brings PC there, then reverse continue goes back.
        std::uint16_t at = static_cast<std::uint16_t>(f.pc[1 + random() % last]);
        run.add_mark(MarkKind::BREAK, at);
        std::vector<std::uint64_t> hits;
        for (std::uint64_t t = 1; t <= last && hits.size() < 5; ++t)
            if (f.pc[t] == at) hits.push_back(t);
        for (std::uint64_t hit : hits) {
            ASSERT_EQ(run.run_forward(), RunEnd::BREAKPOINT);
            EXPECT_EQ(run.step(), hit);
            EXPECT_EQ(run.hit().id, 1);
            EXPECT_TRUE(run.machine() == *fresh_machine(start, hit));
        }
        for (std::size_t k = hits.size(); k-- > 1;) {
            EXPECT_EQ(run.last_break_before(), std::optional<std::uint64_t>{hits[k - 1]});
            run.go_to(hits[k - 1]);
        }
        EXPECT_EQ(run.last_break_before(), std::nullopt);
        run.clear_marks();

        // Going to random steps, then the last write of the stack byte and,
        // inside a call, finish and the step before the call.
        for (int i = 0; i < 6; ++i) {
            std::uint64_t t = random() % (last + 1);
            if (t > run.recorded()) {
                EXPECT_EQ(run.run_to(t), RunEnd::LIMIT);
            } else {
                run.go_to(t);
            }
            ASSERT_EQ(run.step(), t);
            EXPECT_TRUE(run.machine() == *fresh_machine(start, t));
            std::optional<std::uint64_t> wrote;
            for (std::uint64_t s = t; s > 0 && !wrote; --s)
                if (f.byte[s] != f.byte[s - 1]) wrote = s;
            EXPECT_EQ(run.last_write(STACK_TOP - 1), wrote) << "at " << t;
            if (f.depth[t] <= 0) continue;
            std::optional<std::uint64_t> call;
            for (std::uint64_t s = t; s-- > 0 && !call;)
                if (f.depth[s] == f.depth[t] - 1) call = s;
            EXPECT_EQ(run.call_step(), call) << "at " << t;
            std::uint64_t back = t;
            while (back <= last && f.depth[back] >= f.depth[t]) ++back;
            if (back > last) continue;
            EXPECT_EQ(run.run_to_return(1), RunEnd::RETURNED);
            EXPECT_EQ(run.step(), back) << "finish from " << t;
            ++finishes;
        }
    }
    EXPECT_EQ(examples, 10);
    EXPECT_GT(finishes, 5);
}

TEST(RecordedRun, AFindingStopsTheReplayOfItsInstructionAndWatchesCount) {
    // The ret goes where no call pushed: a finding at step 2; the store at
    // step 4 changes the watched byte once, the one at step 6 writes the same.
    RecordedRun run;
    load(run, assemble_source("ldiw 4\nret\nldi 7\nstd v\nldi 7\nstd v\nhlt\n[v db 0\n"));
    int watch = run.add_mark(MarkKind::WATCH, 15);
    EXPECT_EQ(run.run_forward(), RunEnd::FINDING);
    EXPECT_EQ(run.step(), 2u);
    EXPECT_EQ(run.run_forward(), RunEnd::WATCHPOINT);
    EXPECT_EQ(run.step(), 4u);
    EXPECT_EQ(run.hit().old_value, 0);
    EXPECT_EQ(run.find_mark(watch)->hits, 1u);
    EXPECT_EQ(run.run_forward(), RunEnd::HALTED);
    EXPECT_EQ(run.standing(), RunEnd::HALTED);
    // Replayed ground stops at the recorded finding, and the watch again.
    run.go_to(0);
    EXPECT_EQ(run.standing(), RunEnd::LIMIT);
    EXPECT_EQ(run.run_forward(), RunEnd::FINDING);
    EXPECT_EQ(run.step(), 2u);
    EXPECT_EQ(run.findings().all().size(), 1u);
    // A watch told to ignore its next hit, then turned off by its condition.
    run.find_mark(watch)->ignore = 2;
    EXPECT_EQ(run.run_forward(), RunEnd::HALTED);
    run.go_to(0);
    auto never = parse_condition("[15] == 99", [](const std::string&, std::string&) {
        return std::optional<std::uint16_t>{15};
    });
    run.find_mark(watch)->condition = std::get<Condition>(never);
    run.set_shown(0);
    EXPECT_EQ(run.run_forward(), RunEnd::HALTED);
    EXPECT_EQ(run.find_mark(watch)->hits, 2u);
    // A reverse run stops only where the condition holds and past the
    // ignored hits; without the watch and with no kind shown, nowhere.
    EXPECT_EQ(run.last_break_before(), std::nullopt);
    run.find_mark(watch)->condition.reset();
    EXPECT_EQ(run.last_break_before(), std::nullopt);
    run.find_mark(watch)->ignore = 0;
    EXPECT_EQ(run.last_break_before(), std::optional<std::uint64_t>{4});
    EXPECT_EQ(run.hit().id, watch);
    run.delete_mark(watch);
    EXPECT_EQ(run.last_break_before(), std::nullopt);
}

// Reverse next and reverse finish against a forward run with step() alone,
// on every example; and a state changed by hand: the run forgets what came
// after it, goes on from it, and rebuilds it when going back and forth
// over it.

constexpr std::uint64_t DEPTH_STEPS = 3000;

// The call depth after each step of a forward run (a call opens one, a ret
// closes one), up to hlt, a stop or DEPTH_STEPS.
std::vector<int> forward_depths(const Machine& start) {
    std::vector<int> depth{0};
    auto m = std::make_unique<Machine>(start);
    HeadlessIo io;
    while (depth.size() <= DEPTH_STEPS) {
        Flow flow = OpcodeTable[m->memory[m->PC]].flow;
        if (step_headless(*m, io) || m->IR == OP_HLT) break;
        depth.push_back(depth.back() + (flow == Flow::CALL ? 1 : flow == Flow::RETURN ? -1 : 0));
    }
    return depth;
}

TEST(ReverseSteps, GoWhereTheForwardRunSaysOnEveryExample) {
    std::mt19937 random(30);
    int examples = 0;
    int over_calls = 0;
    int finishes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() != ".asm") continue;
        ++examples;
        SCOPED_TRACE(entry.path().string());
        RecordedRun run(64);
        load(run, assemble_source(read_file(entry.path().string())));
        std::vector<int> depth = forward_depths(run.start());
        std::uint64_t last = depth.size() - 1;
        ASSERT_EQ(run.run_to(last), RunEnd::LIMIT);
        // Random steps, and the first steps right after a ret.
        std::vector<std::uint64_t> steps;
        steps.reserve(30);
        for (int i = 0; i < 30; ++i) steps.push_back(1 + random() % last);
        for (std::uint64_t t = 1; t <= last && steps.size() < 40; ++t)
            if (depth[t] < depth[t - 1]) steps.push_back(t);
        for (std::uint64_t t : steps) {
            run.go_to(t);
            // Reverse next: the last step before at this depth or shallower.
            std::uint64_t back = t - 1;
            while (depth[back] > depth[t]) --back;
            over_calls += back < t - 1 ? 1 : 0;
            EXPECT_EQ(run.previous_step_over_calls(), std::optional<std::uint64_t>{back})
                << "at " << t;
            EXPECT_EQ(run.step(), t);
            // Reverse finish: the last step before with one call fewer open.
            std::optional<std::uint64_t> call;
            for (std::uint64_t s = t; s-- > 0 && !call;)
                if (depth[s] < depth[t]) call = s;
            EXPECT_EQ(run.call_step(), call) << "at " << t;
            if (!call) continue;
            // Forward again from there, finish comes back past t.
            run.go_to(*call);
            EXPECT_EQ(run.step_instruction(), RunEnd::LIMIT);
            EXPECT_EQ(run.run_to_return(1), RunEnd::RETURNED);
            EXPECT_GT(run.step(), t);
            ++finishes;
        }
        run.go_to(0);
        EXPECT_EQ(run.previous_step_over_calls(), std::nullopt);
    }
    EXPECT_EQ(examples, 10);
    EXPECT_GT(over_calls, 10);
    EXPECT_GT(finishes, 10);
}

TEST(ChangedState, TheRunGoesOnFromItAndKeepsIt) {
    // A loop that adds v to total three times; v is set by hand to 5 after
    // the first pass.
    const char* source =
        "        ldi 3\n        std n\n[loop   ldd total\n        ldd v\n        add\n"
        "        std total\n        ldd n\n        dec\n        std n\n        jnz loop\n"
        "        hlt\n[n      db 0\n[v      db 1\n[total  db 0\n";
    RecordedRun run;
    AssemblyResult program = assemble_source(source);
    load(run, program);
    EXPECT_EQ(run.run_forward(), RunEnd::HALTED);
    std::uint64_t end = run.step();
    std::uint16_t n = 0, v = 0, total = 0;
    for (const Symbol& symbol : program.symbols) {
        if (std::string(symbol.name) == "n") n = symbol.value;
        if (std::string(symbol.name) == "v") v = symbol.value;
        if (std::string(symbol.name) == "total") total = symbol.value;
    }
    EXPECT_EQ(run.machine().memory[total], 3);
    // After the first pass (ldi, std, then 8 instructions), v becomes 5.
    run.go_to(10);
    auto changed = std::make_unique<Machine>(run.machine());
    changed->memory[v] = 5;
    EXPECT_EQ(run.change_state(*changed), end - 10);
    EXPECT_EQ(run.recorded(), 10u);
    EXPECT_EQ(run.standing(), RunEnd::LIMIT);
    EXPECT_EQ(run.run_forward(), RunEnd::HALTED);
    EXPECT_EQ(run.machine().memory[total], 11);
    EXPECT_EQ(run.step(), end);
    // Going back before the change and on again goes through it.
    run.go_to(3);
    EXPECT_EQ(run.machine().memory[v], 1);
    EXPECT_EQ(run.run_forward(), RunEnd::HALTED);
    EXPECT_EQ(run.machine().memory[total], 11);
    run.go_to(12);
    EXPECT_EQ(run.machine().memory[v], 5);
    // The replay cursor goes through the change too: v is 1 in the states
    // steps 4 to 10 start from, 5 from step 11 on.
    Replay replay(run.history(), run.scratch(), 3);
    std::string seen;
    replay.forward(
        end, [&](const Machine& m) { seen += static_cast<char>('0' + m.memory[v]); },
        [](const Machine&) { return true; });
    EXPECT_EQ(seen, std::string(7, '1') + std::string(end - 10, '5'));
    EXPECT_EQ(run.scratch().memory[total], 11);
    // The last write of v is none: the change was not an instruction's.
    EXPECT_EQ(run.last_write(v), std::nullopt);
    // No finding of a read never written, though v was set by hand.
    EXPECT_TRUE(run.findings().all().empty());
    // PC set by hand at the end of the run: hlt again, after one more step.
    run.go_to(end);
    changed = std::make_unique<Machine>(run.machine());
    changed->PC = static_cast<std::uint16_t>(n - 1);  // the hlt
    EXPECT_EQ(run.change_state(*changed), 0u);
    EXPECT_EQ(run.standing(), RunEnd::LIMIT);
    EXPECT_EQ(run.step_instruction(), RunEnd::HALTED);
    // A restart forgets the change.
    run.restart();
    EXPECT_EQ(run.run_forward(), RunEnd::HALTED);
    EXPECT_EQ(run.machine().memory[total], 3);
}

// A PC overload leaves PC beyond memory; a change by hand there goes on
// from it, and every step from such a state stops again without reading
// past memory (a fuzzed sequence found the read).
TEST(RecordedRun, ChangeAfterPcOverloadStopsAgain) {
    RecordedRun run;
    load(run, assemble_source("        ldiw 61680\n        ret\n[w      db 0\n"));
    EXPECT_EQ(run.run_forward(), RunEnd::STOPPED);
    EXPECT_EQ(run.step(), 2u);
    auto changed = std::make_unique<Machine>(run.machine());
    changed->memory[4] = 1;
    run.change_state(*changed);
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(run.step_instruction(), RunEnd::STOPPED);
        EXPECT_EQ(run.step(), 3u);
        EXPECT_EQ(run.machine().PC, 61680);
        EXPECT_EQ(run.machine().memory[4], 1);
        EXPECT_EQ(run.history().trace_line(run.scratch(), 3), "");
        run.go_to(2);
    }
    EXPECT_EQ(next_instruction(run.machine()).flow, Flow::UNDEFINED);
}

// Reverse continue names the stop it went back to as a run forward names
// it, and says when it went back to the start.
TEST(RecordedRun, ReverseContinueReportsTheStopItGoesBackTo) {
    RecordedRun run;
    // Steps: 1 ldi, 2 std k (the watch), 3 nop, 4 nop (to the breakpoint
    // at hlt), 5 hlt.
    load(
        run,
        assemble_source(
            "        ldi 7\n        std k\n        nop\n        nop\n        hlt\n[k      db 0\n"));
    int watch = run.add_mark(MarkKind::WATCH, 8);
    int brk = run.add_mark(MarkKind::BREAK, 7);
    EXPECT_EQ(run.run_to(5), RunEnd::HALTED);
    MotionReport back = run.reverse_continue();
    EXPECT_EQ(back.end, RunEnd::BREAKPOINT);
    EXPECT_EQ(back.step, 4u);
    EXPECT_EQ(run.step(), 4u);
    EXPECT_EQ(run.hit().id, brk);
    back = run.reverse_continue();
    EXPECT_EQ(back.end, RunEnd::WATCHPOINT);
    EXPECT_EQ(back.step, 2u);
    EXPECT_EQ(run.hit().id, watch);
    back = run.reverse_continue();
    EXPECT_TRUE(back.at_start);
    EXPECT_EQ(run.step(), 0u);
}

// Every motion through move(), in one sequence on a program with a call:
// where each ends, how, and what it refuses. Steps: 1 call sub, 2 ret,
// 3 nop (to the breakpoint at hlt), 4 hlt.
TEST(RecordedRun, EveryMotionGoesThroughOneEntryPoint) {
    RecordedRun run;
    load(run, assemble_source("        call sub\n        nop\n        hlt\n[sub\n        nop\n"
                              "        ret\n"));
    run.set_shown(0);  // findings aside
    int seen = 0;
    int returned = 0;
    StepVisitor visitor = [&](const StepSeen& s) {
        ++seen;
        returned += s.returned ? 1 : 0;
    };
    MotionReport r = run.move({Motion::NEXT}, visitor);
    EXPECT_EQ(r.end, RunEnd::LIMIT);
    EXPECT_EQ(r.step, 2u);
    EXPECT_EQ(seen, 2);  // the call, then its ret
    EXPECT_EQ(returned, 1);
    run.add_mark(MarkKind::BREAK, 4);
    struct Row {
        MotionOrder order;
        RunEnd end;
        std::uint64_t step;
        bool refused;
    };
    const Row rows[] = {
        {{Motion::STEP}, RunEnd::LIMIT, 3, false},  // the last step's landing does not stop
        {{Motion::BACK, 2}, RunEnd::LIMIT, 1, false},
        {{Motion::STEP, 3}, RunEnd::BREAKPOINT, 3, false},  // one between does
        {{Motion::TO_STEP, 0}, RunEnd::LIMIT, 0, false},
        {{Motion::CONTINUE, 1}, RunEnd::LIMIT, 1, false},
        {{Motion::FINISH}, RunEnd::RETURNED, 2, false},
        {{Motion::TO_STEP, 0}, RunEnd::LIMIT, 0, false},
        // A slice whose last instruction reaches a breakpoint stops there.
        {{Motion::CONTINUE, 3}, RunEnd::BREAKPOINT, 3, false},
        {{Motion::CONTINUE, 0, false}, RunEnd::HALTED, 4, false},
        {{Motion::STEP}, RunEnd::HALTED, 4, true},
        {{Motion::BACK_CONTINUE}, RunEnd::BREAKPOINT, 3, false},
        {{Motion::BACK, 2}, RunEnd::LIMIT, 1, false},
        {{Motion::BACK_FINISH}, RunEnd::LIMIT, 0, false},
        {{Motion::BACK_FINISH}, RunEnd::LIMIT, 0, true},
        {{Motion::TO_STEP, 2}, RunEnd::LIMIT, 2, false},
        {{Motion::BACK_NEXT}, RunEnd::LIMIT, 0, false},  // back over the whole call
        {{Motion::BACK}, RunEnd::LIMIT, 0, true},
        {{Motion::BACK_CONTINUE}, RunEnd::LIMIT, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.order.motion));
        r = run.move(row.order);
        EXPECT_EQ(r.end, row.end);
        EXPECT_EQ(r.step, row.step);
        EXPECT_EQ(run.step(), row.step);
        EXPECT_EQ(r.refused, row.refused);
        EXPECT_EQ(run.report().end, r.end);
    }
    run.move({Motion::TO_STEP, 1});
    EXPECT_EQ(run.move({Motion::FINISH}).depth_before_call, std::optional<unsigned>{0});
    run.pause();
    EXPECT_EQ(run.report().end, RunEnd::INTERRUPTED);
    run.move({Motion::CONTINUE, 0, false});
    run.pause();  // the run has ended: nothing to pause
    EXPECT_EQ(run.report().end, RunEnd::HALTED);
    r = run.move({Motion::BACK, 9});
    EXPECT_TRUE(r.at_start);
    EXPECT_EQ(r.from, 4u);
}

}  // namespace

namespace {

// Over a run of many stretches, reverse continue stops, in reverse,
// exactly where the run forward stopped: marks with a condition (tested
// where the watched byte changed or the address was reached), and a read
// watch, which passes over the stretches that cannot have read its byte;
// forward again over the recorded run, they stop where they did.
std::vector<std::uint64_t> stops_forward(RecordedRun& run) {
    std::vector<std::uint64_t> stops;
    RunEnd end;
    while ((end = run.run_forward()) == RunEnd::WATCHPOINT || end == RunEnd::BREAKPOINT)
        stops.push_back(run.step());
    EXPECT_EQ(end, RunEnd::HALTED);
    return stops;
}

std::vector<std::uint64_t> stops_back(RecordedRun& run) {
    std::vector<std::uint64_t> stops;
    for (MotionReport r = run.reverse_continue(); !r.at_start; r = run.reverse_continue())
        stops.insert(stops.begin(), r.step);
    return stops;
}

TEST(RecordedRun, MarksStopBackWhereForwardDidOverManyStretches) {
    RecordedRun run;
    // 50,000 passes of 7 steps: c counts up (wrapping), k down to 0.
    load(run, assemble_source("[l      ldd c\n        inc\n        std c\n        lddw k\n"
                              "        decw\n        stdw k\n        jnz l\n        hlt\n"
                              "[c      db 0\n[k      dw 50000\n"));
    auto condition = [](const char* text) {
        auto parsed = parse_condition(text, [](const std::string&, std::string&) {
            return std::optional<std::uint16_t>{18};  // c
        });
        return std::get<Condition>(parsed);
    };
    run.add_mark(MarkKind::WATCH, 18, condition("[c] == 7"));
    run.add_mark(MarkKind::BREAK, 0, condition("[c] == 200"));
    std::vector<std::uint64_t> forward = stops_forward(run);
    EXPECT_EQ(forward.size(), 391u);  // 196 passes set c to 7, 195 begin with c at 200
    EXPECT_EQ(stops_back(run), forward);
    EXPECT_EQ(stops_forward(run), forward);  // again, over recorded stretches

    // t is read at the start, then through a pointer after 200,000 steps.
    RecordedRun reads;
    load(reads, assemble_source("        ldd t\n        std u\n[l      lddw k\n        decw\n"
                                "        stdw k\n        jnz l\n        ldiw t\n        stdw p\n"
                                "        lda p\n        std u\n        hlt\n"
                                "[t      db 5\n[u      db 0\n[k      dw 50000\n[p      dw 0\n"));
    reads.add_mark(MarkKind::RWATCH, 29);  // t
    forward = stops_forward(reads);
    EXPECT_EQ(forward, (std::vector<std::uint64_t>{1, 200005}));
    EXPECT_EQ(stops_back(reads), forward);
    EXPECT_EQ(stops_forward(reads), forward);
    // The same with a breakpoint between and a limit on each run.
    reads.add_mark(MarkKind::BREAK, 16);  // ldiw t
    reads.move({Motion::TO_STEP, 0});
    std::vector<std::uint64_t> sliced;
    for (MotionReport r; (r = reads.move({Motion::CONTINUE, 70000})).end != RunEnd::HALTED;)
        if (r.end != RunEnd::LIMIT) sliced.push_back(r.step);
    EXPECT_EQ(sliced, (std::vector<std::uint64_t>{1, 200002, 200005}));
}

}  // namespace
