// The same random motions through the recorded run, the page's core (its
// functions called as the page's script calls them) and the debug adapter
// (its requests, as an editor sends them) leave the run at the same step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "adapter_client.hpp"
#include "assemble.hpp"
#include "history_model.hpp"
#include "machine/loader.hpp"
#include "machine/recorded_run.hpp"
#include "run_program.hpp"

extern "C" {
int pg_assemble(const char* source);
int pg_reset();
void pg_set_finding_kinds(unsigned kinds);
void pg_set_breakpoint(unsigned address, int on);
int pg_step();
int pg_step_back();
int pg_step_over(std::uint32_t budget);
int pg_step_out(std::uint32_t budget);
int pg_run(std::uint32_t limit, int breakpoints, int cursor);
int pg_reverse_continue();
int pg_go_to(double target);
int pg_add_watch(unsigned address);
double pg_change(int which, unsigned address, unsigned value);
double pg_position();
}

namespace {

using Json = nlohmann::json;

enum Move { STEP, BACK, NEXT, FINISH, CONTINUE, BACK_CONTINUE, GOTO, SET, MOVES };
constexpr const char* MOVE_NAMES[] = {"step",     "back",      "next", "finish",
                                      "continue", "rcontinue", "goto", "set"};
// The adapter's request for each move (goto goes through its console).
constexpr const char* REQUESTS[] = {"stepIn",   "stepBack",        "next",     "stepOut",
                                    "continue", "reverseContinue", "evaluate", "writeMemory"};
constexpr std::uint32_t BUDGET = 1u << 30;

std::string base64_byte(unsigned v) {
    constexpr const char* DIGITS =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    return {DIGITS[v >> 2], DIGITS[(v & 3) << 4], '=', '='};
}

// PC and the instruction count, from the adapter's Registers scope.
std::pair<unsigned, std::uint64_t> adapter_state(AdapterClient& c) {
    std::pair<unsigned, std::uint64_t> state{~0u, ~std::uint64_t{0}};
    for (const Json& v : c.request("variables", {{"variablesReference", 1}})["body"]["variables"]) {
        if (v["name"] == "PC") state.first = std::stoul(v["value"].get<std::string>(), nullptr, 16);
        if (v["name"] == "instructions") state.second = std::stoull(v["value"].get<std::string>());
    }
    return state;
}

TEST(FrontEnds, TheSameMotionsLeaveTheRunAtTheSameStep) {
    std::vector<std::pair<std::string, std::string>> programs{
        {"nested", history_model::NESTED},
        {"rewriting", history_model::REWRITING},
        {"stopping", history_model::STOPPING},
        {"sort", read_file(std::string(EXAMPLES_DIR) + "/sort.asm")},
        {"subroutine", read_file(std::string(EXAMPLES_DIR) + "/subroutine.asm")}};
    std::mt19937 random(45);
    TempDir dir;
    int watch_stops = 0;  // the adapter's, that the motions were not all plain
    for (const auto& [name, source] : programs) {
        AssemblyResult program = assemble_source(source);
        ASSERT_TRUE(program.ok) << name;
        auto start = std::make_unique<Machine>();
        reset_and_load(*start, program.image);
        const WrittenSet& code = program.code;
        // Breakpoints at two instructions of the program.
        std::vector<std::uint16_t> starts;
        for (unsigned a = 0; a < MAX_MEMORY && starts.size() < 200; a += 1)
            if (code.test(a) && OpcodeTable[start->memory[a]].defined()) starts.push_back(a);
        std::vector<std::uint16_t> breaks{starts[random() % starts.size()],
                                          starts[random() % starts.size()]};

        RecordedRun run;
        run.load(*start, program.written, code);
        run.set_shown(0);
        ASSERT_EQ(pg_assemble(source.c_str()), 1) << name;
        pg_set_finding_kinds(0);
        pg_reset();
        std::string file = dir.file(name + ".asm");
        write_file(file, source);
        AdapterClient c(DEBUG_ADAPTER_PATH, dir.path);
        c.request("initialize");
        c.request("launch", {{"program", file}, {"stopOnEntry", true}});
        c.request("setExceptionBreakpoints", {{"filters", Json::array()}});
        Json at = Json::array();
        for (std::uint16_t b : breaks) {
            run.add_mark(MarkKind::BREAK, b);
            pg_set_breakpoint(b, 1);
            at.push_back({{"instructionReference", std::to_string(b)}});
        }
        c.request("setInstructionBreakpoints", {{"breakpoints", at}});
        // A watch on a byte the program writes, which `set` changes too.
        std::uint16_t spot = history_model::written_byte(*start);
        run.add_mark(MarkKind::WATCH, spot);
        pg_add_watch(spot);
        c.request("setDataBreakpoints", {{"breakpoints", {{{"dataId", std::to_string(spot)}}}}});
        c.request("configurationDone");

        std::string done;
        for (int i = 0; i < 150; ++i) {
            auto move = static_cast<Move>(random() % MOVES);
            bool ended = !can_go_on(run.standing());
            // Forward from the end is refused everywhere (the adapter ends
            // its session at a machine stop), and step out where no call is
            // open is the page's refusal.
            if ((ended && (move == STEP || move == NEXT || move == FINISH || move == CONTINUE)) ||
                (move == FINISH && run.open_calls().empty()))
                move = BACK;
            std::uint64_t target = random() % (run.recorded() + 1);
            unsigned value = random() % 4;
            std::string said = MOVE_NAMES[move];
            if (move == GOTO || move == SET)
                said.append(" ").append(std::to_string(move == GOTO ? target : value));
            done.append(said).append("; ");
            // The move as the recorded run takes it and as the page's script calls it.
            const MotionOrder orders[] = {{Motion::STEP},           {Motion::BACK},
                                          {Motion::NEXT},           {Motion::FINISH},
                                          {Motion::CONTINUE, 0},    {Motion::BACK_CONTINUE},
                                          {Motion::TO_STEP, target}};
            const std::function<void()> page[] = {[] { pg_step(); },
                                                  [] { pg_step_back(); },
                                                  [] { pg_step_over(BUDGET); },
                                                  [] { pg_step_out(BUDGET); },
                                                  [] { pg_run(BUDGET, 1, -1); },
                                                  [] { pg_reverse_continue(); },
                                                  [&] { pg_go_to(static_cast<double>(target)); },
                                                  [&] { pg_change(2, spot, value); }};
            if (move == SET) {
                Machine changed = run.machine();
                changed.memory[spot] = static_cast<std::uint8_t>(value);
                run.change_state(changed);
            } else {
                run.move(orders[move]);
            }
            page[move]();
            std::size_t before = c.messages.size();
            if (move == GOTO) {
                c.request("evaluate", {{"expression", said}, {"context", "repl"}});
                c.wait_for([](const Json& m) { return m.value("event", "") == "stopped"; }, before);
            } else if (move == SET) {
                c.request("writeMemory", {{"memoryReference", std::to_string(spot)},
                                          {"data", base64_byte(value)}});
            } else {
                c.request(REQUESTS[move], {{"threadId", 1}});
            }
            ASSERT_EQ(static_cast<std::uint64_t>(pg_position()), run.step())
                << name << ": " << done;
            // A run to hlt ends the adapter's session, which the editor
            // then restarts: all three start again.
            if (std::any_of(c.messages.begin() + static_cast<std::ptrdiff_t>(before),
                            c.messages.end(),
                            [](const Json& m) { return m.value("event", "") == "terminated"; })) {
                ASSERT_EQ(run.standing(), RunEnd::HALTED) << name << ": " << done;
                done += "restart; ";
                c.request("restart");
                run.restart();
                pg_reset();
            }
            ASSERT_EQ(adapter_state(c),
                      std::make_pair(unsigned{run.machine().PC}, run.machine().instruction_count))
                << name << ": " << done;
        }
        for (const Json& m : c.messages)
            watch_stops +=
                m.value("event", "") == "stopped" && m["body"]["reason"] == "data breakpoint";
        c.request("disconnect");
        EXPECT_EQ(c.finish(), 0);
    }
    EXPECT_GT(watch_stops, 20);
}

}  // namespace
