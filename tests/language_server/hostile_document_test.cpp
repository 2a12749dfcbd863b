// Documents meant to stall or exhaust the server, handled in process: a
// line of a megabyte, a message nested sixty-four million deep, a NUL byte
// in a line. Times and memory are checked with generous factors only.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>

#include "run_program.hpp"
#include "server.hpp"

namespace {

using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

Json request(int id, const std::string& method, const Json& params) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}

const Json DOCUMENT = {{"textDocument", {{"uri", "file:///a.asm"}}}};

// The server after initialize, with text open as file:///a.asm; returns the
// diagnostics it published.
Json open_document(Server& server, const std::string& text) {
    server.handle(request(1, "initialize", Json::object()).dump());
    server.handle(R"({"jsonrpc":"2.0","method":"initialized","params":{}})");
    Json open = {{"jsonrpc", "2.0"},
                 {"method", "textDocument/didOpen"},
                 {"params", {{"textDocument", {{"uri", "file:///a.asm"}, {"text", text}}}}}};
    std::vector<std::string> out = server.handle(open.dump());
    return out.empty() ? Json() : Json::parse(out.back())["params"]["diagnostics"];
}

Json answer(Server& server, const Json& message) {
    std::vector<std::string> out = server.handle(message.dump());
    return out.empty() ? Json() : Json::parse(out.back());
}

long max_resident_kb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(LanguageServerDocuments, HostileOnesAreAnsweredInTime) {
    // A line of 262,144 tokens.
    {
        Server server;
        const int tokens = 1 << 18;
        std::string line;
        for (int i = 0; i < tokens; ++i) line += "nop ";
        open_document(server, line + "\nhlt\n");
        auto start = Clock::now();
        Json tokens_answer =
            answer(server, request(2, "textDocument/semanticTokens/full", DOCUMENT));
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const Json& data = tokens_answer["result"]["data"];
        // Every nop but those the assembler's 255-byte reads cut in two, then
        // the hlt on the next line.
        ASSERT_GT(data.size(), 5U * (tokens - tokens / 64));
        std::size_t last = data.size() - 5;
        EXPECT_EQ(data[last - 5 + 2], 3);  // a nop
        EXPECT_EQ(data[last], 1);
        EXPECT_EQ(data[last + 1], 0);
        // A guard against the gross slowdown only: counted from the line's
        // start for every token this line took minutes; one pass takes under
        // a second (about 30 s in the sanitizer build on a busy machine).
        EXPECT_LT(seconds, 100.0) << "semantic tokens of a long line";
    }
    // 64 MB of '[': a parse error, without the gigabytes the parser would
    // take, and the server goes on.
    {
        Server server;
        open_document(server, "nop\n");
        long before = max_resident_kb();
        auto start = Clock::now();
        std::vector<std::string> out = server.handle(std::string(64 << 20, '['));
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        ASSERT_EQ(out.size(), 1U);
        EXPECT_EQ(Json::parse(out[0])["error"]["code"], -32700);
        EXPECT_LT(seconds, 20.0);
        EXPECT_LT(max_resident_kb() - before, 512L << 10) << "KB more resident";
        std::string nested = std::string(256, '[') + std::string(256, ']');
        EXPECT_EQ(Json::parse(server.handle(nested)[0])["error"]["code"], -32600)
            << "256 deep is parsed (and refused as no object)";
        EXPECT_EQ(answer(server, request(3, "shutdown", nullptr))["result"], nullptr);
    }
}

// Out of memory while handling a request (the address space bounded below
// what a 60 MB parameter needs): that request is answered with an error
// under its own id, and the next ones as usual.
TEST(LanguageServerDocuments, OutOfMemoryAnswersTheRequestAndServesTheNext) {
    if (built_with_sanitizers())
        GTEST_SKIP() << "the sanitizers' reserved memory defeats ulimit -v";
    auto frame = [](const Json& message) {
        std::string body = message.dump();
        return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    std::string input =
        frame(request(1, "initialize", Json::object())) +
        frame(request(2, "textDocument/hover", {{"pad", std::string(60 << 20, 'A')}, {"id", 7}})) +
        frame(request(3, "shutdown", nullptr)) + frame({{"jsonrpc", "2.0"}, {"method", "exit"}});
    TempDir dir;
    RunResult run = run_program(
        "/bin/sh", {"-c", std::string("ulimit -v 200000 && exec ") + LANGUAGE_SERVER_PATH}, input,
        dir.path);
    EXPECT_EQ(run.exit_status, 0) << run.errors;
    EXPECT_NE(run.output.find(R"({"error":{"code":-32603,"message":"out of memory handling the )"
                              R"(message"},"id":2,"jsonrpc":"2.0"})"),
              std::string::npos)
        << run.output.substr(0, 2000);
    EXPECT_NE(run.output.find(R"({"id":3,"jsonrpc":"2.0","result":null})"), std::string::npos);
}

TEST(LanguageServerDocuments, ANulByteIsWarnedAboutAndNeverFormattedAway) {
    Server server;
    std::string text("ldi 1\0 out 0\n   hlt\n", 19);
    Json diagnostics = open_document(server, text);
    ASSERT_EQ(diagnostics.size(), 1U);
    EXPECT_EQ(diagnostics[0]["message"], "a NUL byte ends the line here; what follows is not read");
    EXPECT_EQ(diagnostics[0]["range"]["start"]["line"], 0);
    Json edits =
        answer(server, request(2, "textDocument/formatting",
                               {{"textDocument", {{"uri", "file:///a.asm"}}},
                                {"options", {{"tabSize", 8}, {"insertSpaces", true}}}}))["result"];
    // Only the second line moves; the first keeps what follows its NUL.
    ASSERT_EQ(edits.size(), 1U);
    EXPECT_EQ(edits[0]["range"]["start"]["line"], 1);
    EXPECT_EQ(edits[0]["newText"], "        hlt");
}

}  // namespace

// Diagnostics carry the version they are of; a range formatting that ends
// at character 0 of a line (whole lines selected) leaves that line alone.
TEST(LanguageServerDocuments, VersionsAndWholeLineRanges) {
    Server server;
    server.handle(request(1, "initialize", Json::object()).dump());
    Json open = {
        {"jsonrpc", "2.0"},
        {"method", "textDocument/didOpen"},
        {"params",
         {{"textDocument",
           {{"uri", "file:///a.asm"}, {"version", 4}, {"text", "  ldi 1\n  ldi 2\n  hlt\n"}}}}}};
    EXPECT_EQ(answer(server, open)["params"]["version"], 4);
    Json change = {{"jsonrpc", "2.0"},
                   {"method", "textDocument/didChange"},
                   {"params",
                    {{"textDocument", {{"uri", "file:///a.asm"}, {"version", 5}}},
                     {"contentChanges", {{{"text", "  ldi 1\n  ldi 2\n  hlt\n"}}}}}}};
    EXPECT_EQ(answer(server, change)["params"]["version"], 5);
    Json params = DOCUMENT;
    params["range"] = {{"start", {{"line", 0}, {"character", 0}}},
                       {"end", {{"line", 2}, {"character", 0}}}};
    params["options"] = {{"tabSize", 8}, {"insertSpaces", true}};
    Json edits = answer(server, request(2, "textDocument/rangeFormatting", params))["result"];
    std::vector<int> lines;
    for (const Json& e : edits) lines.push_back(e["range"]["start"]["line"]);
    EXPECT_EQ(lines, (std::vector<int>{0, 1}));
}

// Every error of a source: pass 1's first, then pass 2's, each on the label
// it names where it names one.
TEST(LanguageServerDocuments, EveryErrorAtItsToken) {
    Server server;
    Json list =
        open_document(server, "        jmp nowhere\n        db\t1\n        jmp elsewhere\n");
    std::vector<std::string> shown;
    for (const Json& d : list)
        shown.push_back(std::to_string(d["range"]["start"]["line"].get<int>()) + ":" +
                        std::to_string(d["range"]["start"]["character"].get<int>()) + " " +
                        d["message"].get<std::string>());
    EXPECT_EQ(shown, (std::vector<std::string>{"1:0 ERROR\nLine 2 : DB syntax error",
                                               "0:12 ERROR\nCan not find symbol [nowhere]",
                                               "2:12 ERROR\nCan not find symbol [elsewhere]"}));
}
