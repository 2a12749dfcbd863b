// The debug adapter through its standard input and output: one whole
// session on a program with nested calls, each stop compared with where the
// terminal debugger stands after the same commands; a run that ends in a
// stop; and hostile input that must get error responses, never an end.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <string>
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
    EXPECT_EQ(response_to(all, 1)["body"]["exceptionBreakpointFilters"].size(), 5u);
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

TEST(DebugAdapter, ConsoleHoverMemoryAndAStop) {
    TempDir dir;
    write_file(dir.file("stop.asm"), "        ldi 1\n        out 0\n        div\n        hlt\n");
    Script script;
    script.add("initialize");
    script.add("launch", {{"program", dir.file("stop.asm")}});
    script.add("setFunctionBreakpoints", {{"breakpoints", {{{"name", "nowhere"}}}}});
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
    EXPECT_NE(stops[0]["description"].get<std::string>().find("Stack underflow"), std::string::npos);
    EXPECT_NE(response_to(all, exception)["body"]["description"].get<std::string>().find(
                  "Stack underflow"),
              std::string::npos);
    std::vector<Json> exited = events(all, "exited");
    ASSERT_EQ(exited.size(), 1u);
    EXPECT_EQ(exited[0]["exitCode"], 255);
    bool stderr_seen = false;
    for (const Json& o : events(all, "output"))
        if (o["category"] == "stderr")
            stderr_seen = stderr_seen ||
                          o["output"].get<std::string>().find("Stack underflow") != std::string::npos;
    EXPECT_TRUE(stderr_seen);
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
    };
    std::string input;
    for (const std::string& h : hostile) {
        if (h.starts_with("{"))
            input += "Content-Length: " + std::to_string(h.size()) + "\r\n\r\n" + h;
        else
            input += h;
    }
    std::string threads_request = R"({"seq":100,"type":"request","command":"threads"})";
    input += "Content-Length: " + std::to_string(threads_request.size()) + "\r\n\r\n" +
             threads_request;
    RunResult r = run_program(DEBUG_ADAPTER_PATH, {}, input, TEST_DIR);
    ASSERT_EQ(r.exit_status, 0);
    std::vector<Json> all = messages(r.output);
    std::size_t failures = 0;
    for (const Json& m : all)
        if (m["type"] == "response" && !m["success"].get<bool>()) ++failures;
    EXPECT_GE(failures, hostile.size());
    const Json& threads = response_to(all, 100);
    EXPECT_TRUE(threads["success"].get<bool>());
    EXPECT_EQ(threads["body"]["threads"].size(), 1u);
}

}  // namespace
