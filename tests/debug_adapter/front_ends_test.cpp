// The same random motions through the recorded run, the page's core (its
// functions called as the page's script calls them) and the debug adapter
// (its requests, as an editor sends them) leave the run at the same step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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
constexpr std::uint32_t BUDGET = 1u << 30;

// A motion: the recorded run's order (TO_STEP's count is the target), the
// page's call (given the target, the watched byte and a value) and the
// adapter's request (goto through its console; set: the byte, by hand).
struct MoveRow {
    const char* name;
    MotionOrder order;
    void (*page)(std::uint64_t target, unsigned spot, unsigned value);
    const char* request;
    bool forward;
};
// clang-format off
const MoveRow MOVES[] = {
    {"step",      {Motion::STEP},          [](auto, auto, auto) { pg_step(); },              "stepIn",          true},
    {"back",      {Motion::BACK},          [](auto, auto, auto) { pg_step_back(); },         "stepBack",        false},
    {"next",      {Motion::NEXT},          [](auto, auto, auto) { pg_step_over(BUDGET); },   "next",            true},
    {"finish",    {Motion::FINISH},        [](auto, auto, auto) { pg_step_out(BUDGET); },    "stepOut",         true},
    {"continue",  {Motion::CONTINUE, 0},   [](auto, auto, auto) { pg_run(BUDGET, 1, -1); },  "continue",        true},
    {"rcontinue", {Motion::BACK_CONTINUE}, [](auto, auto, auto) { pg_reverse_continue(); },  "reverseContinue", false},
    {"goto",      {Motion::TO_STEP},       [](std::uint64_t t, auto, auto) { pg_go_to(static_cast<double>(t)); }, "evaluate", false},
    {"set",       {Motion::STEP, 0},       [](auto, unsigned a, unsigned v) { pg_change(2, a, v); }, "writeMemory", false}};
// clang-format on

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
    std::vector<std::pair<std::string, std::string>> programs(std::begin(history_model::PROGRAMS),
                                                              std::end(history_model::PROGRAMS));
    for (const char* example : {"sort.asm", "subroutine.asm"})
        programs.emplace_back(example, read_file(std::string(EXAMPLES_DIR) + "/" + example));
    std::mt19937 random(45);
    TempDir dir;
    int watch_stops = 0;  // the adapter's, that the motions were not all plain
    for (const auto& [name, source] : programs) {
        AssemblyResult program = assemble_source(source);
        ASSERT_TRUE(program.ok) << name;
        auto start = std::make_unique<Machine>();
        reset_and_load(*start, program.image);
        RecordedRun run;
        run.load(*start, program.written, program.code);
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
        // Breakpoints at two instructions, and a watch on a byte the
        // program writes, which `set` changes too.
        std::vector<std::uint16_t> starts;
        for (unsigned a = 0; a < MAX_MEMORY; ++a)
            if (program.code.test(a) && OpcodeTable[start->memory[a]].defined())
                starts.push_back(a);
        Json at = Json::array();
        for (int k = 0; k < 2; ++k) {
            std::uint16_t b = starts[random() % starts.size()];
            run.add_mark(MarkKind::BREAK, b);
            pg_set_breakpoint(b, 1);
            at.push_back({{"instructionReference", std::to_string(b)}});
        }
        c.request("setInstructionBreakpoints", {{"breakpoints", at}});
        std::uint16_t spot = history_model::written_byte(*start);
        run.add_mark(MarkKind::WATCH, spot);
        pg_add_watch(spot);
        c.request("setDataBreakpoints", {{"breakpoints", {{{"dataId", std::to_string(spot)}}}}});
        c.request("configurationDone");

        std::string done;
        for (int i = 0; i < 150; ++i) {
            std::size_t k = random() % std::size(MOVES);
            // Forward from the end is refused everywhere (the adapter ends
            // its session at a machine stop), and step out where no call is
            // open is the page's refusal.
            if ((MOVES[k].forward && !can_go_on(run.standing())) ||
                (MOVES[k].order.motion == Motion::FINISH && run.open_calls().empty()))
                k = 1;
            const MoveRow* move = &MOVES[k];
            bool to_step = k == 6, set = k == 7;
            std::uint64_t target = random() % (run.recorded() + 1);
            unsigned value = random() % 4;
            std::string said = move->name;
            if (to_step || set) said.append(" ").append(std::to_string(to_step ? target : value));
            done += said + "; ";
            if (set) {
                Machine changed = run.machine();
                changed.memory[spot] = static_cast<std::uint8_t>(value);
                run.change_state(changed);
            } else {
                run.move(to_step ? MotionOrder{Motion::TO_STEP, target} : move->order);
            }
            move->page(target, spot, value);
            std::size_t before = c.messages.size();
            if (to_step) {
                c.request("evaluate", {{"expression", said}, {"context", "repl"}});
                c.wait_for([](const Json& m) { return m.value("event", "") == "stopped"; }, before);
            } else if (set) {
                constexpr const char* BASE64 = "AQgw";  // one byte of 0 to 3: A?==
                c.request("writeMemory", {{"memoryReference", std::to_string(spot)},
                                          {"data", std::string("A") + BASE64[value] + "=="}});
            } else {
                c.request(move->request, {{"threadId", 1}});
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
