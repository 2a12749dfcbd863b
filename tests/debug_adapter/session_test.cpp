// The debug adapter through its standard input and output: one whole
// session on a program with nested calls, each stop compared with where the
// terminal debugger stands after the same commands; a run that ends in a
// stop; and hostile input that must get error responses, never an end.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "adapter_client.hpp"
#include "run_program.hpp"

namespace {

using Json = nlohmann::json;

const std::string NESTED = std::string(TEST_DIR) + "/nested.asm";

// Requests sent one at a time as an editor sends them: each run's stop is
// awaited before the next request.
struct Script {
    std::vector<std::pair<std::string, Json>> requests;
    int seq = 0;
    Script& add(const std::string& command, const Json& args = Json::object()) {
        requests.emplace_back(command, args);
        ++seq;
        return *this;
    }
};

struct Played {
    std::vector<Json> messages;
    int exit_status;
};

Played play(const Script& script, const std::string& directory) {
    AdapterClient client(DEBUG_ADAPTER_PATH, directory);
    for (const auto& [command, args] : script.requests) client.request(command, args);
    int status = client.finish();
    return {client.messages, status};
}

// The messages the adapter wrote, in order.
std::vector<Json> messages(const std::string& output) {
    std::vector<Json> list;
    std::size_t at = 0;
    while (at < output.size()) {
        std::size_t header_end = output.find("\r\n\r\n", at);
        EXPECT_NE(header_end, std::string::npos) << output.substr(at);
        if (header_end == std::string::npos) break;
        std::size_t length = std::stoul(output.substr(at + 16, header_end - at - 16));
        list.push_back(Json::parse(output.substr(header_end + 4, length)));
        at = header_end + 4 + length;
    }
    return list;
}

const Json& response_to(const std::vector<Json>& all, int seq) {
    for (const Json& m : all)
        if (m["type"] == "response" && m["request_seq"] == seq) return m;
    static const Json none;
    ADD_FAILURE() << "no response to request " << seq;
    return none;
}

std::vector<Json> events(const std::vector<Json>& all, const std::string& name) {
    std::vector<Json> found;
    for (const Json& m : all)
        if (m["type"] == "event" && m["event"] == name) found.push_back(m["body"]);
    return found;
}

// Where the debugger stands after each command of `commands`: the address
// of its last "at XXXX" line in each command's answer, or the hlt's
// address (0x000F) where the run halted.
std::vector<std::string> debugger_positions(const std::vector<std::string>& commands) {
    std::string input;
    for (std::size_t i = 0; i < commands.size(); ++i)
        input += "echo =" + std::to_string(i) + "\n" + commands[i] + "\n";
    input += "echo =done\n";
    RunResult r = run_program(DEBUGGER_PATH, {NESTED}, input, TEST_DIR);
    std::vector<std::string> positions;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        std::string section = echo_section(r.output, std::to_string(i));
        std::string position = "0x000F";  // nothing moved: still at the hlt
        std::regex at_line("(^|\n)at ([0-9A-F]{4})");
        for (std::sregex_iterator it(section.begin(), section.end(), at_line), end; it != end; ++it)
            position = "0x" + (*it)[2].str();
        if (section.find("program halted") != std::string::npos) position = "0x000F";
        positions.push_back(position);
    }
    return positions;
}

TEST(DebugAdapter, WholeSessionStopsWhereTheDebuggerDoes) {
    // Each run request, and the debugger command that does the same.
    const std::vector<std::pair<std::string, std::string>> moves = {
        {"continue", "continue"},
        {"continue", "continue"},
        {"stepOut", "finish"},
        {"stepBack", "back"},
        {"reverseContinue", "reverse-continue"},
        {"continue", "continue"},
        {"continue", "continue"},
        {"continue", "continue"},
        {"continue", "continue"},
    };
    Script script;
    script.add("initialize", {{"adapterID", "stackasm"}});
    script.add("launch", {{"program", "nested.asm"}, {"cwd", TEST_DIR}, {"stopOnEntry", true}});
    int breakpoints =
        script
            .add("setBreakpoints", {{"source", {{"path", NESTED}}},
                                    {"breakpoints", {{{"line", 17}}, {{"line", 99}}}}})
            .seq;
    int info = script.add("dataBreakpointInfo", {{"name", "n"}}).seq;
    script.add("setDataBreakpoints", {{"breakpoints", {{{"dataId", "43"}}}}});
    script.add("setExceptionBreakpoints", {{"filters", {"return", "code"}}});
    script.add("configurationDone");
    std::vector<int> stack_requests;
    std::vector<int> move_requests;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        move_requests.push_back(script.add(moves[i].first, {{"threadId", 1}}).seq);
        stack_requests.push_back(script.add("stackTrace", {{"threadId", 1}}).seq);
        if (i == 1) {
            script.add("scopes", {{"frameId", 0}});
            script.add("variables", {{"variablesReference", 4}});
        }
    }
    script.add("disconnect");
    Played r = play(script, TEST_DIR);
    ASSERT_EQ(r.exit_status, 0);
    std::vector<Json> all = r.messages;

    EXPECT_TRUE(response_to(all, 1)["body"]["supportsStepBack"].get<bool>());
    EXPECT_EQ(response_to(all, 1)["body"]["exceptionBreakpointFilters"].size(), 6u);
    // Breakpoints are asked for once the program is loaded: the initialized
    // event follows the launch's answer.
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all[1]["request_seq"], 2);
    EXPECT_EQ(all[2]["event"], "initialized");
    // Line 17 is blank: the breakpoint moves to inner's first line.
    const Json& set = response_to(all, breakpoints)["body"]["breakpoints"];
    EXPECT_EQ(set[0]["line"], 18);
    EXPECT_TRUE(set[0]["verified"].get<bool>());
    EXPECT_FALSE(set[1]["verified"].get<bool>());
    EXPECT_EQ(response_to(all, info)["body"]["dataId"], "43");

    std::vector<std::string> commands{"break inner", "watch n"};
    commands.reserve(commands.size() + moves.size());
    for (const auto& move : moves) commands.push_back(move.second);
    std::vector<std::string> expected = debugger_positions(commands);
    expected.erase(expected.begin(), expected.begin() + 2);

    std::vector<Json> stops = events(all, "stopped");
    ASSERT_GE(stops.size(), 2u);
    EXPECT_EQ(stops[0]["reason"], "entry");
    std::vector<std::string> reasons;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const Json& trace = response_to(all, stack_requests[i]);
        std::string position = "end";
        if (trace["success"].get<bool>())
            position = trace["body"]["stackFrames"][0]["instructionPointerReference"];
        EXPECT_EQ(position, expected[i]) << "after " << moves[i].first;
        if (i + 1 < stops.size()) reasons.push_back(stops[i + 1]["reason"]);
    }
    // The watch on n, inner's breakpoint, the watch again on the way out, a
    // step back, back to inner's breakpoint, then forward to the finding and
    // the end.
    EXPECT_EQ(reasons,
              (std::vector<std::string>{"data breakpoint", "breakpoint", "data breakpoint", "step",
                                        "breakpoint", "data breakpoint", "exception"}));
    EXPECT_EQ(stops[2]["description"], "breakpoint 1 at inner (line 18)");
    EXPECT_NE(stops.back()["description"].get<std::string>().find("writing into code"),
              std::string::npos);

    // At inner's breakpoint: three open frames, innermost first, and n is 3.
    const Json& frames = response_to(all, stack_requests[1])["body"]["stackFrames"];
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0]["name"], "inner");
    EXPECT_EQ(frames[1]["name"], "outer");
    EXPECT_EQ(frames[1]["line"], 14);
    EXPECT_EQ(frames[2]["name"], "start");
    bool saw_n = false;
    for (const Json& m : all) {
        if (m["type"] != "response" || m["command"] != "variables") continue;
        for (const Json& v : m["body"]["variables"])
            if (v["name"] == "n") saw_n = v["value"] == "3";
    }
    EXPECT_TRUE(saw_n);

    std::vector<Json> output = events(all, "output");
    ASSERT_FALSE(output.empty());
    EXPECT_EQ(output[0]["category"], "stdout");
    EXPECT_EQ(output[0]["output"], "-[4 : 04h]-\n");
    std::vector<Json> exited = events(all, "exited");
    ASSERT_EQ(exited.size(), 1u);
    EXPECT_EQ(exited[0]["exitCode"], 0);
    EXPECT_EQ(events(all, "terminated").size(), 1u);
    EXPECT_FALSE(response_to(all, move_requests.back())["success"].get<bool>());
}

// Conditions in the debugger's form, a hit count, a read data breakpoint,
// the frames from the calls the machine ran (both routines keep their return
// address in memory) and the Stack scope naming each byte's origin; reverse
// continue goes back to the stop a run forward made and says it again.
TEST(DebugAdapter, ConditionsHitCountsReadsAndTheStackView) {
    Script script;
    script.add("initialize");
    script.add("launch", {{"program", "nested.asm"}, {"cwd", TEST_DIR}});
    int lines = script
                    .add("setBreakpoints", {{"source", {{"path", NESTED}}},
                                            {"breakpoints",
                                             {{{"line", 18}, {"condition", "[n] == 9"}},
                                              {{"line", 13}, {"condition", "[n] = 3"}}}}})
                    .seq;
    int functions =
        script
            .add("setFunctionBreakpoints",
                 {{"breakpoints",
                   {{{"name", "outer"}, {"condition", "[n] == 3"}, {"hitCondition", "1"}},
                    {{"name", "inner"}, {"hitCondition", "2"}}}}})
            .seq;
    int info = script.add("dataBreakpointInfo", {{"name", "n"}}).seq;
    int data = script
                   .add("setDataBreakpoints",
                        {{"breakpoints",
                          {{{"dataId", "43"}, {"accessType", "read"}, {"condition", "[n] == 4"}},
                           {{"dataId", "43"}, {"accessType", "exec"}}}}})
                   .seq;
    script.add("configurationDone");
    int outer_trace = script.add("stackTrace", {{"threadId", 1}}).seq;
    script.add("continue", {{"threadId", 1}});
    int inner_trace = script.add("stackTrace", {{"threadId", 1}}).seq;
    int stack = script.add("variables", {{"variablesReference", 3}}).seq;
    script.add("reverseContinue", {{"threadId", 1}});
    script.add("disconnect");
    Played r = play(script, TEST_DIR);
    ASSERT_EQ(r.exit_status, 0);
    std::vector<Json> all = r.messages;

    EXPECT_TRUE(response_to(all, 1)["body"]["supportsConditionalBreakpoints"].get<bool>());
    const Json& set = response_to(all, lines)["body"]["breakpoints"];
    EXPECT_TRUE(set[0]["verified"].get<bool>());
    EXPECT_FALSE(set[1]["verified"].get<bool>());
    EXPECT_EQ(set[1]["message"].get<std::string>().rfind("no comparison in '[n] = 3'", 0), 0u);
    EXPECT_EQ(response_to(all, functions)["body"]["breakpoints"].size(), 2u);
    EXPECT_EQ(response_to(all, info)["body"]["accessTypes"], Json({"write", "read", "readWrite"}));
    const Json& watches = response_to(all, data)["body"]["breakpoints"];
    EXPECT_TRUE(watches[0]["verified"].get<bool>());
    EXPECT_FALSE(watches[1]["verified"].get<bool>());

    // The refused condition added nothing: outer is mark 2. Stops: outer
    // (its condition holds, hit 1), then the read of n = 4 at
    // line 21 (inner's breakpoint at line 18 never holds; its hit count 2
    // is never reached), then back to outer.
    std::vector<Json> stops = events(all, "stopped");
    ASSERT_EQ(stops.size(), 3u);
    EXPECT_EQ(stops[0]["description"], "breakpoint 2 at outer (line 12)");
    EXPECT_EQ(stops[1]["reason"], "data breakpoint");
    EXPECT_EQ(stops[1]["description"], "read watchpoint 4: 002B (n) read (4) at line 21: ldd n");
    EXPECT_EQ(stops[2]["reason"], "breakpoint");
    EXPECT_EQ(stops[2]["description"], "breakpoint 2 at outer (line 12)");

    const Json& outer = response_to(all, outer_trace)["body"]["stackFrames"];
    ASSERT_EQ(outer.size(), 2u);
    EXPECT_EQ(outer[0]["name"], "outer");
    EXPECT_EQ(outer[1]["name"], "start");
    EXPECT_EQ(outer[1]["line"], 5);
    const Json& inner = response_to(all, inner_trace)["body"]["stackFrames"];
    ASSERT_EQ(inner.size(), 3u);
    EXPECT_EQ(inner[0]["name"], "inner");
    EXPECT_EQ(inner[0]["line"], 22);
    EXPECT_EQ(inner[1]["name"], "outer");
    EXPECT_EQ(inner[1]["line"], 14);
    // Both routines took their return addresses off the stack: one byte is
    // left, the n that inner loaded.
    const Json& bytes = response_to(all, stack)["body"]["variables"];
    ASSERT_EQ(bytes.size(), 1u);
    EXPECT_EQ(bytes[0]["name"], "0x3FFF");
    EXPECT_EQ(bytes[0]["value"], "4 (pushed by line 21: ldd n)");
}

// A routine's stack comment names its arguments at the top of the Stack
// scope, as the debugger's stop inside it does.
TEST(DebugAdapter, TheStackScopeNamesTheArgumentsOfTheRoutine) {
    Script script;
    script.add("initialize");
    script.add("launch", {{"program", "../../examples/subroutine.asm"}, {"cwd", TEST_DIR}});
    script.add("setFunctionBreakpoints", {{"breakpoints", {{{"name", "square"}}}}});
    script.add("configurationDone");
    int stack = script.add("variables", {{"variablesReference", 3}}).seq;
    script.add("disconnect");
    Played r = play(script, TEST_DIR);
    ASSERT_EQ(r.exit_status, 0);
    const Json& entries = response_to(r.messages, stack)["body"]["variables"];
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[0]["name"], "arguments of square");
    EXPECT_EQ(entries[0]["value"], "x = 1 from line 23");
}

TEST(DebugAdapter, ConsoleHoverMemoryAndAStop) {
    TempDir dir;
    write_file(dir.file("stop.asm"), "        ldi 1\n        out 0\n        div\n        hlt\n");
    Script script;
    script.add("initialize");
    script.add("launch", {{"program", dir.file("stop.asm")}});
    // An address inside an instruction is refused with the instruction.
    int functions = script
                        .add("setFunctionBreakpoints",
                             {{"breakpoints", {{{"name", "nowhere"}}, {{"name", "3"}}}}})
                        .seq;
    script.add("configurationDone");
    int exception = script.add("exceptionInfo", {{"threadId", 1}}).seq;
    int console =
        script.add("evaluate", {{"expression", "info findings"}, {"context", "repl"}}).seq;
    int memory = script.add("readMemory", {{"memoryReference", "0x0000"}, {"count", 3}}).seq;
    int listing =
        script.add("disassemble", {{"memoryReference", "0"}, {"instructionCount", 2}}).seq;
    int back = script.add("stepBack", {{"threadId", 1}}).seq;
    int registers = script.add("variables", {{"variablesReference", 1}}).seq;
    int set =
        script.add("setVariable", {{"variablesReference", 2}, {"name", "C"}, {"value", "1"}}).seq;
    // The run goes on from the changed state; what came before it is kept.
    int back_after_set = script.add("stepBack", {{"threadId", 1}}).seq;
    int registers_after_set = script.add("variables", {{"variablesReference", 1}}).seq;
    int goto_start = script.add("evaluate", {{"expression", "goto 0"}, {"context", "repl"}}).seq;
    int write = script.add("writeMemory", {{"memoryReference", "2"}, {"data", "/w=="}}).seq;
    int reread = script.add("readMemory", {{"memoryReference", "2"}, {"count", 1}}).seq;
    // Continuing from the stop ends the session.
    script.add("continue", {{"threadId", 1}});
    script.add("continue", {{"threadId", 1}});
    Played r = play(script, dir.path);
    ASSERT_EQ(r.exit_status, 0);
    std::vector<Json> all = r.messages;

    // The stop is a stopped event the run can be stepped back from.
    std::vector<Json> stops = events(all, "stopped");
    ASSERT_GE(stops.size(), 1u);
    EXPECT_EQ(stops[0]["reason"], "exception");
    EXPECT_NE(stops[0]["description"].get<std::string>().find("Stack underflow"),
              std::string::npos);
    EXPECT_NE(response_to(all, exception)["body"]["description"].get<std::string>().find(
                  "Stack underflow"),
              std::string::npos);
    std::vector<Json> exited = events(all, "exited");
    ASSERT_EQ(exited.size(), 1u);
    EXPECT_EQ(exited[0]["exitCode"], 255);
    bool stderr_seen = false;
    for (const Json& o : events(all, "output"))
        if (o["category"] == "stderr")
            stderr_seen = stderr_seen || o["output"].get<std::string>().find("Stack underflow") !=
                                             std::string::npos;
    EXPECT_TRUE(stderr_seen);
    EXPECT_EQ(response_to(all, functions)["body"]["breakpoints"][1]["message"],
              "3 is inside out at 0002 (2 bytes); break at 0002?");
    EXPECT_EQ(response_to(all, console)["body"]["result"], "no findings\n");
    EXPECT_EQ(response_to(all, memory)["body"]["data"], "AAEJ");  // ldi 1, out 0
    EXPECT_EQ(response_to(all, listing)["body"]["instructions"][0]["instruction"], "ldi 1");
    EXPECT_EQ(response_to(all, listing)["body"]["instructions"][1]["address"], "0x0002");
    EXPECT_TRUE(response_to(all, back)["success"].get<bool>());
    EXPECT_EQ(response_to(all, registers)["body"]["variables"][0]["value"], "0x0004");
    EXPECT_TRUE(response_to(all, set)["success"].get<bool>());
    EXPECT_TRUE(response_to(all, back_after_set)["success"].get<bool>());
    EXPECT_EQ(response_to(all, registers_after_set)["body"]["variables"][0]["value"], "0x0002");
    EXPECT_TRUE(response_to(all, goto_start)["success"].get<bool>());
    EXPECT_TRUE(response_to(all, write)["success"].get<bool>());
    EXPECT_EQ(response_to(all, reread)["body"]["data"], "/w==");
}

TEST(DebugAdapter, MalformedMessagesGetErrorsAndTheAdapterGoesOn) {
    const std::vector<std::string> hostile = {
        "Content-Length: 5\r\n\r\n{bad}",
        "Content-Length: 2\r\n\r\n[]",
        "Content-Length: 16\r\n\r\n{\"command\": 42}",
        "garbage without a header\r\n\r\n",
        R"({"seq":1,"type":"request","command":"noSuchThing"})",
        R"({"seq":2,"type":"request","command":"launch","arguments":{"program":7}})",
        R"({"seq":3,"type":"request","command":"launch","arguments":{"program":"/nonexistent.asm"}})",
        R"({"seq":4,"type":"request","command":"continue"})",
        R"({"seq":5,"type":"request","command":"readMemory","arguments":[1,2]})",
        R"({"seq":6,"type":"request","command":"variables","arguments":{"variablesReference":"x"}})",
        R"({"seq":7,"type":"request","command":")" + std::string(300, 'y') + R"("})",
        R"({"seq":8,"type":"request","command":"launch","arguments":{"program":")" +
            std::string(300, 'z') + R"("}})",
    };
    std::string input;
    for (const std::string& h : hostile) {
        if (h.starts_with("{"))
            input += "Content-Length: " + std::to_string(h.size()) + "\r\n\r\n" + h;
        else
            input += h;
    }
    std::string threads_request = R"({"seq":100,"type":"request","command":"threads"})";
    input +=
        "Content-Length: " + std::to_string(threads_request.size()) + "\r\n\r\n" + threads_request;
    RunResult r = run_program(DEBUG_ADAPTER_PATH, {}, input, TEST_DIR);
    ASSERT_EQ(r.exit_status, 0);
    std::vector<Json> all = messages(r.output);
    std::size_t failures = 0;
    for (const Json& m : all)
        if (m["type"] == "response" && !m["success"].get<bool>()) ++failures;
    EXPECT_GE(failures, hostile.size());
    // An error echoes at most 80 characters of what it was sent.
    for (int seq : {7, 8}) {
        std::string message = response_to(all, seq)["message"];
        EXPECT_NE(message.find(std::string(80, seq == 7 ? 'y' : 'z') + "..."), std::string::npos)
            << message;
        EXPECT_LT(message.size(), 130u) << message;
    }
    const Json& threads = response_to(all, 100);
    EXPECT_TRUE(threads["success"].get<bool>());
    EXPECT_EQ(threads["body"]["threads"].size(), 1u);
}

}  // namespace

// ---- as an editor drives it: one request at a time, runs answered at once ----

namespace {

using Clock = std::chrono::steady_clock;

int index_of(const std::vector<Json>& all, const std::string& type, const std::string& name,
             std::size_t from = 0) {
    for (std::size_t i = from; i < all.size(); ++i)
        if (all[i]["type"] == type && all[i][type == "event" ? "event" : "command"] == name)
            return static_cast<int>(i);
    return -1;
}

Json source_breakpoints(const std::string& path, const Json& lines) {
    return {{"source", {{"path", path}}}, {"breakpoints", lines}};
}

}  // namespace

// Breakpoints of two files before and after the launch, a run that goes on
// forever while requests are answered, a pause, watches in the debugger's
// syntax and a disconnect that ends the endless run at once.
TEST(DebugAdapterAsAnEditor, BreakpointsPerFileAndAnEndlessRun) {
    TempDir dir;
    write_file(dir.file("loop.asm"),
               "[start  ldi 7\n        std count\n[loop   nop\n        jmp loop\n"
               "[count  db 52\n        db 18\n");
    write_file(dir.file("other.asm"), "        nop\n        nop\n        hlt\n");
    AdapterClient c(DEBUG_ADAPTER_PATH, dir.path);
    c.request("initialize", {{"adapterID", "stackasm"}});
    const Json early =
        c.request("setBreakpoints", source_breakpoints(dir.file("other.asm"), {{{"line", 2}}}));
    EXPECT_FALSE(early["body"]["breakpoints"][0]["verified"].get<bool>());
    const Json mine =
        c.request("setBreakpoints", source_breakpoints(dir.file("loop.asm"), {{{"line", 2}}}));
    std::size_t launch = c.messages.size();
    c.request("launch", {{"program", "./loop.asm"}, {"cwd", dir.path}});
    // After the launch each early breakpoint is placed or refused by an
    // event under the ID it was answered with.
    std::map<int, Json> changed;
    for (int i = 0; i < 2; ++i) {
        int event =
            c.wait_for([](const Json& m) { return m.value("event", "") == "breakpoint"; }, launch);
        ASSERT_GE(event, 0);
        const Json& b = c.messages[static_cast<std::size_t>(event)]["body"];
        EXPECT_EQ(b["reason"], "changed");
        changed[b["breakpoint"]["id"].get<int>()] = b["breakpoint"];
        launch = static_cast<std::size_t>(event) + 1;
    }
    const Json& placed = changed[mine["body"]["breakpoints"][0]["id"].get<int>()];
    EXPECT_TRUE(placed.value("verified", false));
    EXPECT_EQ(placed["line"], 2);
    EXPECT_EQ(changed[early["body"]["breakpoints"][0]["id"].get<int>()]["message"],
              "not the program being debugged");
    // Another file's breakpoints, and clearing them, leave the program's alone.
    const Json other =
        c.request("setBreakpoints", source_breakpoints(dir.file("other.asm"), {{{"line", 1}}}));
    EXPECT_EQ(other["body"]["breakpoints"][0]["message"], "not the program being debugged");
    c.request("setBreakpoints", source_breakpoints(dir.file("other.asm"), Json::array()));
    const Json same =
        c.request("setBreakpoints", source_breakpoints(dir.path + "/./loop.asm", {{{"line", 2}}}));
    EXPECT_TRUE(same["body"]["breakpoints"][0]["verified"].get<bool>());
    c.request("configurationDone");
    int stop = index_of(c.messages, "event", "stopped");
    ASSERT_GE(stop, 0);
    EXPECT_EQ(c.messages[static_cast<std::size_t>(stop)]["body"]["reason"], "breakpoint");

    // Watches in the debugger's location syntax, with its formats.
    const std::vector<std::pair<std::string, std::string>> watches = {
        {"count", "0009 (count) = 0x34 52 '4'"},
        {"[count]", "0009 (count) = 0x34 52 '4'"},
        {"word count", "0009 (count) = 0x1234 4660"},
        {"count+1 char", "000A (count+1) = '\\x12'"},
        {"sp", "0x3FFE 16382"},
        {"pc", "0x0002 2"},
        {"Z", "0"}};
    for (const auto& [expression, shown] : watches) {
        const Json& r = c.request("evaluate", {{"expression", expression}, {"context", "watch"}});
        EXPECT_EQ(r["body"]["result"], shown) << expression;
    }
    EXPECT_FALSE(c.request("evaluate", {{"expression", "nowhere"}, {"context", "hover"}})["success"]
                     .get<bool>());

    // The endless loop: continue, threads and stackTrace are answered while
    // it runs; pause's response comes before its stopped event.
    c.request("setBreakpoints", source_breakpoints(dir.file("loop.asm"), Json::array()));
    std::size_t before = c.messages.size();
    auto sent = Clock::now();
    int go = c.send("continue", {{"threadId", 1}});
    ASSERT_GE(c.response_index(go, std::chrono::milliseconds(1000)), 0);
    EXPECT_LT(Clock::now() - sent, std::chrono::milliseconds(1000));
    EXPECT_TRUE(c.request("threads")["success"].get<bool>());
    const Json& busy = c.request("stackTrace", {{"threadId", 1}});
    EXPECT_FALSE(busy["success"].get<bool>());
    EXPECT_EQ(busy["message"], "the program is running: pause it first");
    int pause = c.send("pause", {{"threadId", 1}});
    int paused =
        c.wait_for([](const Json& m) { return m.value("event", "") == "stopped"; }, before);
    ASSERT_GE(paused, 0);
    EXPECT_LT(c.response_index(pause), paused);
    EXPECT_EQ(c.messages[static_cast<std::size_t>(paused)]["body"]["reason"], "pause");

    // The console's continue is a run as well: answered at once, its text
    // before its stopped event, ended by a pause.
    before = c.messages.size();
    int console = c.send("evaluate", {{"expression", "c"}, {"context", "repl"}});
    ASSERT_GE(c.response_index(console, std::chrono::milliseconds(1000)), 0);
    EXPECT_TRUE(c.request("threads")["success"].get<bool>());
    pause = c.send("pause", {{"threadId", 1}});
    paused = c.wait_for([](const Json& m) { return m.value("event", "") == "stopped"; }, before);
    ASSERT_GE(paused, 0);
    EXPECT_LT(c.response_index(pause), paused);
    EXPECT_EQ(c.messages[static_cast<std::size_t>(paused)]["body"]["reason"], "pause");
    int said = index_of(c.messages, "event", "output", before);
    ASSERT_GE(said, 0);
    EXPECT_LT(said, paused);
    EXPECT_TRUE(
        c.messages[static_cast<std::size_t>(said)]["body"]["output"].get<std::string>().starts_with(
            "interrupted\n"));

    // Running again, a disconnect ends the run and the adapter at once.
    c.send("continue", {{"threadId", 1}});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    sent = Clock::now();
    int bye = c.send("disconnect");
    EXPECT_GE(c.response_index(bye), 0);
    EXPECT_EQ(c.finish(), 0);
    auto took = Clock::now() - sent;
    if (!built_with_sanitizers()) {
        EXPECT_LT(took, std::chrono::milliseconds(200))
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    }
}

// A machine stop to step back from, hit conditions good and bad, a stack
// trace in pages, memory by the variables' references.
TEST(DebugAdapterAsAnEditor, HitConditionsAStackOverflowPagingAndMemory) {
    TempDir dir;
    write_file(dir.file("down.asm"),
               "[start  ldi 5\n        std n\n        call down\n        hlt\n"
               "[down   ldd n\n        dec\n        std n\n        call down\n        ret\n"
               "[n      db 0\n");
    AdapterClient c(DEBUG_ADAPTER_PATH, dir.path);
    c.request("initialize");
    c.request("launch", {{"program", dir.file("down.asm")}});
    const Json& set = c.request(
        "setBreakpoints",
        source_breakpoints(dir.file("down.asm"), {{{"line", 5}, {"hitCondition", ">3"}},
                                                  {{"line", 6}, {"hitCondition", "==2"}},
                                                  {{"line", 7}, {"hitCondition", "x3"}},
                                                  {{"line", 8}, {"hitCondition", "%0"}}}));
    std::vector<bool> verified;
    for (const Json& b : set["body"]["breakpoints"]) verified.push_back(b["verified"].get<bool>());
    EXPECT_EQ(verified, (std::vector<bool>{true, true, false, false}));
    EXPECT_NE(set["body"]["breakpoints"][2]["message"].get<std::string>().find("'x3'"),
              std::string::npos);
    // Hits: line 5 (1), line 6 (1), line 5 (2), line 6 (2: stop), line 5
    // (3), line 6 (3), line 5 (4: stop).
    c.request("configurationDone");
    const Json& page = c.request("stackTrace", {{"threadId", 1}, {"startFrame", 1}, {"levels", 1}});
    EXPECT_EQ(page["body"]["totalFrames"], 3);
    ASSERT_EQ(page["body"]["stackFrames"].size(), 1u);
    EXPECT_EQ(page["body"]["stackFrames"][0]["id"], 1);
    EXPECT_EQ(page["body"]["stackFrames"][0]["name"], "down");
    c.request("continue", {{"threadId", 1}});
    const Json& deeper = c.request("stackTrace", {{"threadId", 1}});
    EXPECT_EQ(deeper["body"]["totalFrames"], 5);
    EXPECT_EQ(deeper["body"]["stackFrames"][0]["line"], 5);

    // Memory: n's reference from the Labels scope, read, written, and the
    // write stepped back over.
    std::string n_reference;
    for (const Json& v : c.request("variables", {{"variablesReference", 4}})["body"]["variables"])
        if (v["name"] == "n") n_reference = v["memoryReference"];
    EXPECT_EQ(n_reference, "0x0014");
    const Json& read = c.request("readMemory", {{"memoryReference", n_reference}, {"count", 2}});
    EXPECT_EQ(read["body"]["data"], "AgA=");  // 2, then past the program: 0
    c.request("writeMemory", {{"memoryReference", "0x0013"}, {"offset", 1}, {"data", "KA=="}});
    EXPECT_EQ(c.request("readMemory", {{"memoryReference", "20"}, {"count", 1}})["body"]["data"],
              "KA==");
    EXPECT_TRUE(c.request("stepBack", {{"threadId", 1}})["success"].get<bool>());
    EXPECT_EQ(c.request("readMemory", {{"memoryReference", "20"}, {"count", 1}})["body"]["data"],
              "Ag==");

    // Without breakpoints the recursion overflows the stack: a stop, from
    // which the run steps back.
    c.request("setBreakpoints", source_breakpoints(dir.file("down.asm"), Json::array()));
    std::size_t before = c.messages.size();
    c.request("continue", {{"threadId", 1}});
    int stop = c.wait_for([](const Json& m) { return m.value("event", "") == "stopped"; }, before);
    ASSERT_GE(stop, 0);
    const Json& stopped = c.messages[static_cast<std::size_t>(stop)]["body"];
    EXPECT_EQ(stopped["reason"], "exception");
    EXPECT_NE(stopped["description"].get<std::string>().find("Stack overflow"), std::string::npos);
    EXPECT_EQ(index_of(c.messages, "event", "terminated"), -1);
    EXPECT_NE(c.request("exceptionInfo", {{"threadId", 1}})["body"]["description"]
                  .get<std::string>()
                  .find("Stack overflow"),
              std::string::npos);
    EXPECT_TRUE(c.request("stepBack", {{"threadId", 1}})["success"].get<bool>());
    // Reverse continue counts hits from the start as a run forward does:
    // %3 stops at every third hit of line 5 (frames: hits + 1), ==4 at the
    // fourth alone, and before it nothing stops.
    auto frames = [&c] {
        return c.request("stackTrace", {{"threadId", 1}})["body"]["totalFrames"].get<int>();
    };
    c.request("setBreakpoints",
              source_breakpoints(dir.file("down.asm"), {{{"line", 5}, {"hitCondition", "%3"}}}));
    c.request("reverseContinue", {{"threadId", 1}});
    int every = frames();
    EXPECT_EQ((every - 1) % 3, 0) << every;
    EXPECT_GT(every, 1000);
    c.request("reverseContinue", {{"threadId", 1}});
    EXPECT_EQ(frames(), every - 3);
    c.request("setBreakpoints",
              source_breakpoints(dir.file("down.asm"), {{{"line", 5}, {"hitCondition", "==4"}}}));
    std::size_t back = c.messages.size();
    c.request("reverseContinue", {{"threadId", 1}});
    EXPECT_EQ(frames(), 5);
    c.request("reverseContinue", {{"threadId", 1}});
    EXPECT_EQ(frames(), 1);
    std::vector<std::string> reasons;
    for (std::size_t i = back; i < c.messages.size(); ++i)
        if (c.messages[i].value("event", "") == "stopped")
            reasons.push_back(c.messages[i]["body"]["reason"]);
    EXPECT_EQ(reasons, (std::vector<std::string>{"breakpoint", "entry"}));
    c.request("disconnect");
    EXPECT_EQ(c.finish(), 0);
}

// `in 1` waits for a key from the launch or the console, a logpoint, an
// object code file debugged by address with the disassembler's listing,
// running without debugging and launch errors.
TEST(DebugAdapterAsAnEditor, KeysLogpointsObjectCodeAndRunningWithoutDebugging) {
    TempDir dir;
    write_file(dir.file("keys.asm"),
               "        ldi 1\n        in 1\n        out 0\n        in 1\n        hlt\n");
    {
        AdapterClient c(DEBUG_ADAPTER_PATH, dir.path);
        c.request("initialize");
        std::filesystem::create_directory(dir.file("sub"));
        c.request("launch",
                  {{"program", dir.file("keys.asm")}, {"cwd", dir.file("sub")}, {"keys", "a"}});
        c.request("setBreakpoints",
                  source_breakpoints(dir.file("keys.asm"),
                                     {{{"line", 3}, {"logMessage", "at {pc}, sp {sp}"}}}));
        c.request("configurationDone");
        // The launch's key passes the first in 1; the second waits. A
        // restart keeps the launch's keys: the same again.
        for (int run = 0; run < 2; ++run) {
            int wait = index_of(c.messages, "event", "stopped", run == 0 ? 0 : c.messages.size());
            if (run == 1) {
                std::size_t from = c.messages.size();
                c.request("restart");
                wait = index_of(c.messages, "event", "stopped", from);
            }
            ASSERT_GE(wait, 0);
            EXPECT_EQ(c.messages[static_cast<std::size_t>(wait)]["body"]["reason"], "key wait");
            EXPECT_EQ(c.request("stackTrace", {{"threadId", 1}})["body"]["stackFrames"][0]["line"],
                      4);
        }
        // A file a console command names is found from the launch's cwd.
        c.request("evaluate", {{"expression", "profile keys.out"}, {"context", "repl"}});
        EXPECT_TRUE(std::filesystem::exists(dir.file("sub/keys.out")));
        std::size_t before = c.messages.size();
        c.request("evaluate", {{"expression", "key b"}, {"context", "repl"}});
        EXPECT_GE(index_of(c.messages, "event", "exited", before), 0);
        std::vector<std::string> console;
        for (const Json& m : c.messages)
            if (m.value("event", "") == "output" && m["body"].value("category", "") == "console")
                console.push_back(m["body"]["output"]);
        ASSERT_FALSE(console.empty());
        EXPECT_EQ(console[0], "at 0x0004 4, sp 0x3FFE 16382\n");
        c.request("disconnect");
        c.finish();
    }
    {
        // The console's motions pass a logpoint as the buttons do: `next`
        // over a call logs the logpoint inside and stops after the call.
        write_file(dir.file("log.asm"),
                   "        call work\n        call work\n        hlt\n[work   ret\n");
        AdapterClient c(DEBUG_ADAPTER_PATH, dir.path);
        c.request("initialize");
        c.request("launch", {{"program", dir.file("log.asm")}, {"stopOnEntry", true}});
        c.request("setBreakpoints", source_breakpoints(dir.file("log.asm"),
                                                       {{{"line", 4}, {"logMessage", "in work"}}}));
        c.request("configurationDone");
        // (The client waits for the stop or the end of each.)
        for (const char* command : {"next", "continue"})
            c.request("evaluate", {{"expression", command}, {"context", "repl"}});
        std::vector<std::string> logged;
        for (const Json& m : c.messages)
            if (m.value("event", "") == "output" && m["body"].value("line", 0) == 4)
                logged.push_back(m["body"]["output"]);
        EXPECT_EQ(logged, (std::vector<std::string>{"in work\n", "in work\n"}));
        c.request("disconnect");
        c.finish();
    }
    {
        // An object code file: breakpoints by address, the disassembler's listing.
        write_file(dir.file("count.hx"), "0 0 3 \n2 26 \n3 51 2 \n6 65 \n");
        AdapterClient c(DEBUG_ADAPTER_PATH, dir.path);
        c.request("initialize");
        c.request("launch", {{"program", dir.file("count.hx")}});
        const Json& lines =
            c.request("setBreakpoints", source_breakpoints(dir.file("count.hx"), {{{"line", 1}}}));
        EXPECT_FALSE(lines["body"]["breakpoints"][0]["verified"].get<bool>());
        const Json& at = c.request(
            "setInstructionBreakpoints",
            {{"breakpoints",
              {{{"instructionReference", "0x0002"}, {"offset", 1}, {"hitCondition", "==2"}}}}});
        EXPECT_TRUE(at["body"]["breakpoints"][0]["verified"].get<bool>());
        c.request("setFunctionBreakpoints", {{"breakpoints", {{{"name", "0x0006"}}}}});
        c.request("configurationDone");
        const Json& frame = c.request("stackTrace", {{"threadId", 1}})["body"]["stackFrames"][0];
        EXPECT_EQ(frame["instructionPointerReference"], "0x0003");
        EXPECT_FALSE(frame.contains("source"));
        const Json& listing =
            c.request("disassemble", {{"memoryReference", "0x0000"}, {"instructionCount", 4}});
        std::vector<std::string> text;
        for (const Json& i : listing["body"]["instructions"])
            text.push_back(i["address"].get<std::string>() + " " + i.value("symbol", "") + " " +
                           i["instruction"].get<std::string>());
        EXPECT_EQ(text, (std::vector<std::string>{"0x0000  ldi 3", "0x0002 l0002 dec",
                                                  "0x0003  jnz l0002", "0x0006  hlt"}));
        c.request("continue", {{"threadId", 1}});
        const Json& end = c.request("stackTrace", {{"threadId", 1}})["body"]["stackFrames"][0];
        EXPECT_EQ(end["instructionPointerReference"], "0x0006");
        c.request("disconnect");
        c.finish();
    }
    {
        // Without debugging: no stop at breakpoints or keys, output and the
        // exit code; launch errors name the argument or the file.
        AdapterClient c(DEBUG_ADAPTER_PATH, dir.path);
        c.request("initialize");
        const Json& wrong = c.request(
            "launch", {{"program", "keys.asm"}, {"cwd", dir.path}, {"stopOnEntry", "yes"}});
        EXPECT_EQ(wrong["message"], "launch: 'stopOnEntry' must be true or false");
        const Json& missing = c.request("launch", {{"program", dir.file("missing.asm")}});
        EXPECT_EQ(missing["message"],
                  "cannot debug " + dir.file("missing.asm") + ": File not found");
        c.request("launch", {{"program", "keys.asm"}, {"cwd", dir.path}, {"noDebug", true}});
        const Json& set =
            c.request("setBreakpoints", source_breakpoints(dir.file("keys.asm"), {{{"line", 3}}}));
        EXPECT_FALSE(set["body"]["breakpoints"][0]["verified"].get<bool>());
        c.request("configurationDone");
        int exited = index_of(c.messages, "event", "exited");
        ASSERT_GE(exited, 0);
        EXPECT_EQ(c.messages[static_cast<std::size_t>(exited)]["body"]["exitCode"], 0);
        EXPECT_EQ(index_of(c.messages, "event", "stopped"), -1);
        int output = index_of(c.messages, "event", "output");
        ASSERT_GE(output, 0);
        EXPECT_EQ(c.messages[static_cast<std::size_t>(output)]["body"]["output"], "-[1 : 01h]-\n");
        c.request("disconnect");
        c.finish();
    }
}
