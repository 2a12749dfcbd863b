// The language server through its standard input and output: one scripted
// session over sieve.asm with a deliberate error, pinned byte for byte where
// the answer is short, and hostile input that must get an error or nothing.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "assemble.hpp"
#include "opcode_table.hpp"
#include "run_program.hpp"

namespace {

using Json = nlohmann::json;

const std::string URI = "file:///work/sieve.asm";

std::string frame(const Json& message) {
    std::string body = message.dump();
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

Json request(int id, const std::string& method, const Json& params) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}

Json notification(const std::string& method, const Json& params) {
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", params}};
}

// A position in the document, with one more member when given.
Json at(int line, int character, const char* key = nullptr, const Json& value = nullptr) {
    Json params = {{"textDocument", {{"uri", URI}}},
                   {"position", {{"line", line}, {"character", character}}}};
    if (key != nullptr) params[key] = value;
    return params;
}

// The bodies of the framed output; every header must be exactly one
// Content-Length that matches its body.
std::vector<std::string> bodies(const std::string& output) {
    std::vector<std::string> result;
    std::size_t at = 0;
    while (at < output.size()) {
        std::size_t end = output.find("\r\n\r\n", at);
        EXPECT_EQ(output.compare(at, 16, "Content-Length: "), 0) << output.substr(at, 40);
        if (end == std::string::npos) break;
        std::size_t length = std::stoul(output.substr(at + 16, end - at - 16));
        result.push_back(output.substr(end + 4, length));
        EXPECT_EQ(result.back().size(), length);
        at = end + 4 + length;
    }
    return result;
}

std::string run_server(const std::string& input, int& status) {
    TempDir dir;
    RunResult r = run_program(LANGUAGE_SERVER_PATH, {}, input, dir.path);
    status = r.exit_status;
    EXPECT_EQ(r.errors, "");
    return r.output;
}

// The text with every edit (one line each) of a list of TextEdits applied.
std::string edited(const std::string& text, const Json& edits) {
    std::vector<std::string> lines;
    for (std::size_t start = 0;;) {
        std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    // Right to left, so earlier columns stay valid.
    for (auto e = edits.rbegin(); e != edits.rend(); ++e) {
        const Json& range = (*e)["range"];
        std::string& line = lines[range["start"]["line"].get<std::size_t>()];
        std::size_t from = range["start"]["character"], to = range["end"]["character"];
        line.replace(from, to - from, (*e)["newText"].get<std::string>());
    }
    std::string result;
    for (std::size_t i = 0; i < lines.size(); ++i) result += (i ? "\n" : "") + lines[i];
    return result;
}

}  // namespace

TEST(LanguageServerSession, AnExampleFromOpenToExit) {
    const std::string example = read_file(EXAMPLES_DIR "/sieve.asm");
    // A byte operand cut to fit (a warning) and a misspelt label (the error).
    std::string fixed = example;
    fixed.replace(fixed.find("ldi 2\n"), 5, "ldi 258");
    std::string broken = fixed;
    broken.replace(broken.find("jmp test"), 8, "jmp tset");
    std::string messy = fixed;
    messy.replace(messy.find("        ldd j\n"), 13, "  ldd   j");

    std::string input =
        frame(
            request(1, "initialize", {{"processId", nullptr}, {"capabilities", Json::object()}})) +
        frame(notification("initialized", Json::object())) +
        frame(notification(
            "textDocument/didOpen",
            {{"textDocument",
              {{"uri", URI}, {"languageId", "stackasm"}, {"version", 1}, {"text", broken}}}})) +
        frame(notification("textDocument/didChange",
                           {{"textDocument", {{"uri", URI}, {"version", 2}}},
                            {"contentChanges", {{{"text", fixed}}}}})) +
        frame(request(2, "textDocument/definition", at(30, 13))) +
        frame(request(3, "textDocument/references",
                      at(29, 12, "context", {{"includeDeclaration", true}}))) +
        frame(request(4, "textDocument/prepareRename", at(29, 12))) +
        frame(request(5, "textDocument/rename", at(29, 12, "newName", "Second"))) +
        frame(request(6, "textDocument/rename", at(29, 12, "newName", "add"))) +
        frame(request(7, "textDocument/rename", at(29, 12, "newName", "Mark"))) +
        frame(request(8, "textDocument/rename", at(29, 12, "newName", "2nd"))) +
        frame(request(9, "textDocument/hover", at(28, 9))) +
        frame(request(10, "textDocument/hover", at(17, 13))) +
        frame(request(11, "textDocument/hover", at(42, 12))) +
        frame(request(12, "textDocument/completion", at(28, 8))) +
        frame(request(13, "textDocument/documentSymbol", {{"textDocument", {{"uri", URI}}}})) +
        frame(request(14, "textDocument/semanticTokens/full", {{"textDocument", {{"uri", URI}}}})) +
        frame(notification("textDocument/didChange",
                           {{"textDocument", {{"uri", URI}, {"version", 3}}},
                            {"contentChanges", {{{"text", messy}}}}})) +
        frame(request(15, "textDocument/formatting",
                      {{"textDocument", {{"uri", URI}}}, {"options", {{"tabSize", 8}}}})) +
        frame(request(16, "textDocument/implementation", at(0, 0))) +
        frame(request(17, "shutdown", nullptr)) + frame(notification("exit", nullptr));
    int status = -1;
    std::vector<std::string> out = bodies(run_server(input, status));
    EXPECT_EQ(status, 0);
    ASSERT_EQ(out.size(), 20u);
    std::vector<Json> reply;
    reply.reserve(out.size());
    for (const std::string& body : out) reply.push_back(Json::parse(body));

    EXPECT_EQ(out[0],
              R"({"id":1,"jsonrpc":"2.0","result":{"capabilities":{)"
              R"("codeActionProvider":{"codeActionKinds":["quickfix"]},"completionProvider":{},)"
              R"("definitionProvider":true,"documentFormattingProvider":true,)"
              R"("documentHighlightProvider":true,"documentRangeFormattingProvider":true,)"
              R"("documentSymbolProvider":true,"foldingRangeProvider":true,"hoverProvider":true,)"
              R"("inlayHintProvider":true,"positionEncoding":"utf-16",)"
              R"("referencesProvider":true,"renameProvider":{"prepareProvider":true},)"
              R"("semanticTokensProvider":{"full":true,"legend":{"tokenModifiers":["declaration"],)"
              R"("tokenTypes":["keyword","macro","variable","number","comment"]}},)"
              R"("signatureHelpProvider":{"triggerCharacters":[" "]},)"
              R"("textDocumentSync":{"change":1,"openClose":true}},)"
              R"("serverInfo":{"name":"language-server","version":")" PROJECT_VERSION R"("}}})");
    // The assembler's error as it prints it, on the label it names, then the warning.
    const std::string warning =
        R"({"message":"258 does not fit in a byte: 2 is stored","range":{"end":{"character":15,)"
        R"("line":13},"start":{"character":0,"line":13}},"severity":2,"source":"assembler"})";
    EXPECT_EQ(out[1],
              R"({"jsonrpc":"2.0","method":"textDocument/publishDiagnostics","params":{)"
              R"("diagnostics":[{"message":"ERROR\nCan not find symbol [tset]","range":{"end":)"
              R"({"character":16,"line":30},"start":{"character":12,"line":30}},"severity":1,)"
              R"("source":"assembler"},)" +
                  warning + R"(],"uri":")" + URI + R"(","version":1}})");
    // Each carries the version of the document it is about.
    EXPECT_EQ(out[2], R"({"jsonrpc":"2.0","method":"textDocument/publishDiagnostics","params":{)"
                      R"("diagnostics":[)" +
                          warning + R"(],"uri":")" + URI + R"(","version":2}})");
    // jmp test: to the definition [test on line 43.
    EXPECT_EQ(out[3],
              R"({"id":2,"jsonrpc":"2.0","result":{"range":{"end":{"character":5,"line":42},)"
              R"("start":{"character":1,"line":42}},"uri":")" +
                  URI + R"("}})");
    std::vector<int> lines;
    for (const Json& location : reply[4]["result"])
        lines.push_back(location["range"]["start"]["line"]);
    EXPECT_EQ(lines, (std::vector<int>{29, 32, 39, 41, 43, 56}));
    EXPECT_EQ(out[5], R"({"id":4,"jsonrpc":"2.0","result":{"placeholder":"j","range":{"end":)"
                      R"({"character":13,"line":29},"start":{"character":12,"line":29}}}})");
    // The rename's edits give the same object code.
    const Json edits = reply[6]["result"]["changes"][URI];
    EXPECT_EQ(edits.size(), 6u);
    AssemblyResult before = assemble_source(fixed), after = assemble_source(edited(fixed, edits));
    EXPECT_TRUE(before.ok && after.ok);
    EXPECT_EQ(after.object_code, before.object_code);
    EXPECT_NE(edited(fixed, edits).find("[Second      db 0"), std::string::npos);
    EXPECT_EQ(
        out[7],
        R"({"error":{"code":-32803,"message":"'add' is an instruction, not a label name"},"id":6,"jsonrpc":"2.0"})");
    EXPECT_EQ(
        out[8],
        R"({"error":{"code":-32803,"message":"'Mark' is already defined on line 32"},"id":7,"jsonrpc":"2.0"})");
    EXPECT_EQ(
        out[9],
        R"({"error":{"code":-32803,"message":"'2nd' is not a label name: a letter, then letters and digits, at most 19 characters"},"id":8,"jsonrpc":"2.0"})");
    EXPECT_EQ(out[10],
              R"x({"id":9,"jsonrpc":"2.0","result":{"contents":{"kind":"markdown","value":)x"
              R"x("`add` — add bytes\n\n1 byte · 6 clocks · opcode 22 (0x16)\n\n)x"
              R"x(Stack: `( B A -- A+B )`\n\nFlags: `Z` ← A = 0 and B = 0; `S` ← 0; )x"
              R"x(`O` ← A + B > 127. `C` unchanged."},"range":{"end":{"character":11,"line":28},)x"
              R"x("start":{"character":8,"line":28}}}})x");
    EXPECT_NE(out[11].find(R"x("value":"label `sieve`: address 101 (0x0065)")x"),
              std::string::npos);
    EXPECT_NE(out[12].find(R"("value":"`50` = 0x32 = '2'")"), std::string::npos);

    std::vector<std::string> offered;
    for (const Json& item : reply[13]["result"]["items"]) offered.push_back(item["label"]);
    for (const OpcodeEntry& slot : OpcodeTable) {
        if (slot.mnemonic[0] == '\0') continue;
        EXPECT_NE(std::find(offered.begin(), offered.end(), slot.mnemonic), offered.end())
            << slot.mnemonic;
    }
    // At the start of a line: instructions and directives, no bare labels.
    for (const char* other : {"org", "db", "dw", "end"})
        EXPECT_NE(std::find(offered.begin(), offered.end(), other), offered.end()) << other;
    EXPECT_EQ(offered.size(), 56u + 4u);

    std::vector<std::string> symbols;
    for (const Json& s : reply[14]["result"])
        symbols.push_back(s["name"].get<std::string>() + "/" +
                          std::to_string(s["kind"].get<int>()));
    EXPECT_EQ(symbols, (std::vector<std::string>{"outer/12", "mark/12", "test/12", "nexti/12",
                                                 "i/13", "j/13", "p/13", "sieve/13"}));
    // Line 16, "[outer  ldi 0           ; i as ...": a label definition, a
    // mnemonic, a number, a comment (type, modifiers: variable+declaration,
    // keyword, number, comment), each relative to the one before.
    Json data = reply[15]["result"]["data"];
    std::vector<int> line16;
    for (std::size_t i = 0, line = 0; i + 4 < data.size(); i += 5) {
        line += data[i].get<std::size_t>();
        if (line == 15) {
            for (std::size_t k = 0; k < 5; ++k) line16.push_back(data[i + k]);
        }
    }
    EXPECT_EQ(line16,
              (std::vector<int>{1, 1, 5, 2, 1, 0, 7, 3, 0, 0, 0, 4, 1, 3, 0, 0, 12, 36, 4, 0}));
    // Diagnostics of the messy text, then its one line laid out again.
    EXPECT_EQ(out[17],
              R"({"id":15,"jsonrpc":"2.0","result":[{"newText":"        ldd j","range":{"end":)"
              R"({"character":9,"line":32},"start":{"character":0,"line":32}}}]})");
    EXPECT_EQ(
        out[18],
        R"({"error":{"code":-32601,"message":"unknown method: textDocument/implementation"},"id":16,"jsonrpc":"2.0"})");
    EXPECT_EQ(out[19], R"({"id":17,"jsonrpc":"2.0","result":null})");
}
