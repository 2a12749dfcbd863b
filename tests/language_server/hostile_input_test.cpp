// Input a client should not send, and input at the edges: each case gets an
// error response or nothing, never a crash, and the exit status the
// lifecycle gives.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "run_program.hpp"

namespace {

using Json = nlohmann::json;

std::string frame(const Json& message) {
    std::string body = message.dump();
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string raw(const std::string& body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

Json request(int id, const std::string& method, const Json& params) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}

Json notification(const std::string& method, const Json& params) {
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", params}};
}

Json open(const std::string& text) {
    return notification("textDocument/didOpen",
                        {{"textDocument", {{"uri", "file:///a.asm"}, {"text", text}}}});
}

Json at(const Json& line, const Json& character) {
    return {{"textDocument", {{"uri", "file:///a.asm"}}},
            {"position", {{"line", line}, {"character", character}}}};
}

std::vector<std::string> bodies(const std::string& output) {
    std::vector<std::string> result;
    for (std::size_t at = 0; at < output.size();) {
        std::size_t end = output.find("\r\n\r\n", at);
        if (end == std::string::npos) break;
        std::size_t length = std::stoul(output.substr(at + 16, end - at - 16));
        result.push_back(output.substr(end + 4, length));
        at = end + 4 + length;
    }
    return result;
}

std::string error(const std::string& id, int code, const std::string& message) {
    return R"({"error":{"code":)" + std::to_string(code) + R"(,"message":")" + message +
           R"("},"id":)" + id + R"(,"jsonrpc":"2.0"})";
}

std::string diagnostics(const std::string& list) {
    return R"({"jsonrpc":"2.0","method":"textDocument/publishDiagnostics","params":{"diagnostics":[)" +
           list + R"(],"uri":"file:///a.asm"}})";
}

std::string warning(int line, int end, const std::string& text) {
    std::string l = std::to_string(line);
    return R"({"message":")" + text + R"(","range":{"end":{"character":)" + std::to_string(end) +
           R"(,"line":)" + l + R"(},"start":{"character":0,"line":)" + l +
           R"(}},"severity":2,"source":"assembler"})";
}

const std::string INITIALIZE = frame(request(0, "initialize", {{"capabilities", Json::object()}}));
const std::string SHUTDOWN_EXIT =
    frame(request(99, "shutdown", nullptr)) + frame(notification("exit", nullptr));
const std::string SHUT_DOWN = R"({"id":99,"jsonrpc":"2.0","result":null})";

}  // namespace

TEST(LanguageServerInput, ErrorsOrNothingNeverACrash) {
    struct Case {
        std::string name;
        bool initialize;  // the input starts with initialize, its answer not compared
        std::string input;
        std::vector<std::string> answers;
        int status;
    };
    const std::string huge_source = [] {
        std::string text;
        for (int i = 0; i < 60000; ++i) text += "        ldi 1           ; one\n";
        return text + "        jmp nowhere\n";
    }();
    // A comment of hlt: pushed into a line of its own, they would assemble.
    std::string split_line = "[a jmp a ;";
    for (int i = 0; i < 61; ++i) split_line += " hlt";
    const Case cases[] = {
        {"a request before initialize",
         false,
         frame(request(1, "textDocument/hover", at(0, 0))),
         {error("1", -32002, "initialize comes first")},
         1},
        {"exit without shutdown", true, frame(notification("exit", nullptr)), {}, 1},
        {"the input ends without exit, after shutdown",
         true,
         frame(request(99, "shutdown", nullptr)),
         {SHUT_DOWN},
         0},
        {"a Content-Length that is not a number, then the next message",
         true,
         "Content-Length: 1x\r\n\r\n{}" + SHUTDOWN_EXIT,
         {error("null", -32700, "unreadable message: a Content-Length that is not a number"),
          SHUT_DOWN},
         0},
        {"a header without Content-Length",
         true,
         "Content-Type: a\r\n\r\n{}" + SHUTDOWN_EXIT,
         {error("null", -32700, "unreadable message: a header without Content-Length"), SHUT_DOWN},
         0},
        {"a header line without a colon",
         true,
         "Content-Length 2\r\n\r\n{}" + SHUTDOWN_EXIT,
         {error("null", -32700, "unreadable message: a header line without ':'"), SHUT_DOWN},
         0},
        {"a body that is not JSON",
         true,
         raw("{oops") + SHUTDOWN_EXIT,
         {error("null", -32700, "unreadable message: the body is not JSON"), SHUT_DOWN},
         0},
        {"a body that is not an object",
         true,
         raw("[1,2]"),
         {error("null", -32600, "a message is an object")},
         1},
        {"an id that is neither number nor string",
         true,
         raw(R"({"id":1.5,"method":"shutdown"})"),
         {error("null", -32600, "an id is a number or a string")},
         1},
        {"a request without method",
         true,
         raw(R"({"jsonrpc":"2.0","id":3})"),
         {error("3", -32600, "missing method")},
         1},
        {"initialize twice",
         true,
         INITIALIZE,
         {error("0", -32600, "initialize was already received")},
         1},
        {"an open without text, then a request on it",
         true,
         frame(
             notification("textDocument/didOpen", {{"textDocument", {{"uri", "file:///a.asm"}}}})) +
             frame(request(4, "textDocument/hover", at(0, 0))),
         {error("4", -32803, "not an open document: file:///a.asm")},
         1},
        {"a notification of no known method, a request without position",
         true,
         frame(notification("$/cancelRequest", {{"id", 1}})) + frame(open("hlt\n")) +
             frame(
                 request(5, "textDocument/hover", {{"textDocument", {{"uri", "file:///a.asm"}}}})),
         {diagnostics(""), error("5", -32602, "missing position")},
         1},
        {"a line that is not an integer, positions far outside",
         true,
         frame(open("hlt\n")) + frame(request(6, "textDocument/definition", at(1e300, 0))) +
             frame(request(7, "textDocument/hover", at(std::int64_t{1} << 40, -5))),
         {diagnostics(""), error("6", -32602, "line is not an integer"),
          R"({"id":7,"jsonrpc":"2.0","result":null})"},
         1},
        {"requests after shutdown",
         true,
         frame(request(99, "shutdown", nullptr)) + frame(request(8, "shutdown", nullptr)) +
             frame(notification("exit", nullptr)),
         {SHUT_DOWN, error("8", -32600, "the server is shut down")},
         0},
        {"a message longer than the limit",
         true,
         "Content-Length: 999999999999\r\n\r\n{}",
         {error("null", -32700,
                "unreadable message: a message of 999999999999 bytes, more than 67108864")},
         1},
        {"a change of a range, a warning with a comment in UTF-16 units",
         true,
         frame(open("ldi 1 ; \xF0\x9F\x98\x80\n")) +
             frame(notification("textDocument/didChange",
                                {{"textDocument", {{"uri", "file:///a.asm"}}},
                                 {"contentChanges",
                                  {{{"range",
                                     {{"start", {{"line", 0}, {"character", 4}}},
                                      {"end", {{"line", 0}, {"character", 5}}}}},
                                    {"text", "300"}}}}})),
         {diagnostics(""), diagnostics(warning(0, 12, "300 does not fit in a byte: 44 is stored"))},
         1},
        {"a mistake the assembler sees, as a warning",
         true,
         frame(open("jnz n\n[n db 0\n")),
         {diagnostics(warning(0, 5, "jnz n: n is data (line 2), not an instruction"))},
         1},
        {"a huge document",
         true,
         frame(open(huge_source)),
         {diagnostics(
             R"({"message":"ERROR\nCan not find symbol [nowhere]","range":{"end":{"character":19,"line":60000},"start":{"character":12,"line":60000}},"severity":1,"source":"assembler"},)" +
             warning(6144, 29, "bytes at address 12288 or above: the simulator refuses the file"))},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        RunResult r = run_program(LANGUAGE_SERVER_PATH, {},
                                  (c.initialize ? INITIALIZE : "") + c.input, dir.path);
        std::vector<std::string> answers = bodies(r.output);
        if (c.initialize) {
            ASSERT_FALSE(answers.empty());
            EXPECT_TRUE(
                answers[0].starts_with(R"({"id":0,"jsonrpc":"2.0","result":{"capabilities")"));
            answers.erase(answers.begin());
        }
        EXPECT_EQ(answers, c.answers);
        EXPECT_EQ(r.exit_status, c.status);
        EXPECT_EQ(r.errors, "");
    }
    // With UTF-8 offered, columns count bytes: the same warning ends at 14.
    TempDir dir;
    RunResult r = run_program(
        LANGUAGE_SERVER_PATH, {},
        frame(request(
            0, "initialize",
            {{"capabilities", {{"general", {{"positionEncodings", {"utf-8", "utf-16"}}}}}}})) +
            frame(open("ldi 300 ; \xF0\x9F\x98\x80\n")),
        dir.path);
    std::vector<std::string> answers = bodies(r.output);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_NE(answers[0].find(R"("positionEncoding":"utf-8")"), std::string::npos);
    EXPECT_EQ(answers[1], diagnostics(warning(0, 14, "300 does not fit in a byte: 44 is stored")));
}
