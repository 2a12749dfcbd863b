// Reverse next and reverse finish of the recorded run against a forward run
// with step() alone, on every example; and a state changed by hand: the run
// forgets what came after it, goes on from it, and rebuilds it when going
// back and forth over it.
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

constexpr std::uint64_t MOST_STEPS = 3000;

void load(RecordedRun& run, const AssemblyResult& program) {
    ASSERT_TRUE(program.ok) << program.error_message;
    Machine start{};
    reset_and_load(start, program.image);
    run.load(start, program.written, program.code);
}

// The call depth after each step of a forward run (a call opens one, a ret
// closes one), up to hlt, a stop or MOST_STEPS.
std::vector<int> forward_depths(const Machine& start) {
    std::vector<int> depth{0};
    auto m = std::make_unique<Machine>(start);
    HeadlessIo io;
    while (depth.size() <= MOST_STEPS) {
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

}  // namespace
