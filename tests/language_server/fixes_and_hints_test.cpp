// In process: the quick fixes applied and assembled, the address hints
// against the listing on every example, signature help against the
// manual, the smaller requests and faults of the editor support, and the
// message reader after a wrong Content-Length.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "features.hpp"
#include "instruction_notes.hpp"
#include "message_reader.hpp"
#include "opcode_table.hpp"
#include "run_program.hpp"
#include "source_model.hpp"

namespace {

const Encoding BYTES{false};

// The text with a list of one-line TextEdits applied (byte columns).
std::string applied(const SourceModel& model, const Json& edits) {
    std::string text = model.source.text;
    for (auto e = edits.rbegin(); e != edits.rend(); ++e) {
        const Json& range = (*e)["range"];
        std::size_t line = range["start"]["line"];
        std::size_t from =
            model.source.line_starts[line] + range["start"]["character"].get<std::size_t>();
        std::size_t to =
            model.source.line_starts[line] + range["end"]["character"].get<std::size_t>();
        text.replace(from, to - from, (*e)["newText"].get<std::string>());
    }
    return text;
}

std::vector<std::string> titles(const Json& actions) {
    std::vector<std::string> result;
    for (const Json& a : actions) result.push_back(a["title"]);
    return result;
}

}  // namespace

TEST(LanguageServerFixes, EachFixAppliedAssembles) {
    struct Case {
        std::string source, title, fixed;
    };
    const Case cases[] = {
        {"[loop]  ldi 1\n        jmp loop\n", "Remove the ']': a label is defined as [loop",
         "[loop  ldi 1\n        jmp loop\n"},
        {"\t\tldi 1\n", "Replace the tabs with blanks", "                ldi 1\n"},
        {"[Loop   ldi 1\n        jmp lop\n", "Change 'lop' to 'Loop': did you mean Loop?",
         "[Loop   ldi 1\n        jmp Loop\n"},
        {"        lld 5\n", "Change 'lld' to 'ldd' (load direct byte)", "        ldd 5\n"},
        {"        ldi -1\n", "Write -1 as 255, the byte it stands for", "        ldi 255\n"},
        {"        ldiw -2\n", "Write -2 as 65534, the word it stands for", "        ldiw 65534\n"},
        {"        db -128\n", "Write -128 as 128, the byte it stands for", "        db 128\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        SourceModel model = analyse_source(c.source);
        Json actions = code_actions(model, BYTES, "file:///a.asm", 0, 9, Json::array());
        ASSERT_EQ(titles(actions), std::vector<std::string>{c.title});
        EXPECT_EQ(actions[0]["kind"], "quickfix");
        std::string fixed = applied(model, actions[0]["edit"]["changes"]["file:///a.asm"]);
        EXPECT_EQ(fixed, c.fixed);
        AssemblyResult after = assemble_source(fixed);
        EXPECT_TRUE(after.ok) << after.error_message;
        EXPECT_TRUE(after.findings.empty());
    }
    // Nothing to offer: a number no byte holds, a name near no label, a
    // line whose tab is harmless but whose fix the rest would not assemble.
    for (const char* source : {"        ldi -300\n", "[loop   jmp qwerty\n", "        jmp xx\n"}) {
        SourceModel model = analyse_source(source);
        EXPECT_EQ(code_actions(model, BYTES, "u", 0, 9, Json::array()), Json::array()) << source;
    }
    // The tab fix removes its line's error even though an earlier line has
    // an error of the later pass.
    SourceModel later = analyse_source("        jmp nowhere\n        db\t1\n");
    EXPECT_EQ(titles(code_actions(later, BYTES, "u", 1, 1, Json::array())),
              std::vector<std::string>{"Replace the tabs with blanks"});
    // Several fixes on one line each hold; the client's diagnostic of the
    // line is named in each.
    SourceModel model = analyse_source("[a]     ldi -1\n");
    Json diagnostic = {{"range", {{"start", {{"line", 0}, {"character", 0}}}}}, {"message", "x"}};
    Json actions = code_actions(model, BYTES, "u", 0, 0, Json::array({diagnostic}));
    EXPECT_EQ(titles(actions),
              (std::vector<std::string>{"Remove the ']': a label is defined as [a",
                                        "Write -1 as 255, the byte it stands for"}));
    EXPECT_EQ(actions[1]["diagnostics"], Json::array({diagnostic}));
}

TEST(LanguageServerHints, AddressesAreTheListingsOnEveryExample) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() != ".asm") continue;
        ++examples;
        SCOPED_TRACE(entry.path().string());
        SourceModel model = analyse_source(read_file(entry.path()));
        // The listing: "%5d: " in front of every line the assembler read.
        std::istringstream listing(model.assembly.listing);
        std::vector<std::string> listed;
        for (std::string line; std::getline(listing, line) && !line.empty();)
            listed.push_back(line.substr(0, line.find(':')));
        std::map<int, int> placed;  // line -> first address it placed a byte at
        for (int address = MEMORY_SIZE - 1; address >= 0; --address) {
            int line = model.assembly.source_line_of_address[static_cast<std::size_t>(address)];
            if (line > 0) placed[model.editor_line(line)] = address;
        }
        Json hints = inlay_hints(model, BYTES, 0, INT_MAX, HintOptions{});
        ASSERT_EQ(hints.size(), placed.size());
        for (const Json& hint : hints) {
            int line = hint["position"]["line"];
            std::string label = hint["label"];
            EXPECT_EQ(label, std::to_string(placed[line]) + ":") << "line " << line + 1;
            int text_line = line + 1;  // the examples have no line read in pieces
            EXPECT_EQ(std::stoi(listed.at(static_cast<std::size_t>(text_line - 1))), placed[line]);
        }
        // With the option, each instruction's clocks and stack effect too.
        Json all = inlay_hints(model, BYTES, 0, INT_MAX, HintOptions{true});
        int mnemonics = 0;
        for (const SourceToken& t : model.tokens) mnemonics += t.role == Role::MNEMONIC;
        EXPECT_EQ(all.size(), hints.size() + static_cast<std::size_t>(mnemonics));
    }
    EXPECT_EQ(examples, 10);
    SourceModel model = analyse_source("[a      ldd a add\n");
    Json all = inlay_hints(model, BYTES, 0, 0, HintOptions{true});
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1]["label"], "4 clocks ( -- m[a] )");
    EXPECT_EQ(all[1]["position"]["character"], 13);  // behind the operand
    EXPECT_EQ(all[2]["label"], "6 clocks ( B A -- A+B )");
}

TEST(LanguageServerSignature, OperandAndStackAsTheManualGivesThem) {
    // "### `ldi` — ..." then "Opcode ... · operand: byte n".
    std::map<std::string, std::string> manual;
    std::istringstream lines(read_file(MANUAL_PATH));
    std::string current;
    static const std::regex heading(R"(^### `([a-z]+)`)"), operand(R"(· operand: (.*)$)");
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, heading))
            current = m[1];
        else if (!current.empty() && std::regex_search(line, m, operand))
            manual[current] = m[1];
    }
    int with_operand = 0;
    for (const InstructionNote& note : INSTRUCTION_NOTES) {
        std::string mnemonic(note.mnemonic);
        SourceModel model = analyse_source("        " + mnemonic + " \n");
        Json help = signature_help(model, BYTES, 0, 9 + static_cast<int>(mnemonic.size()));
        ASSERT_TRUE(help.is_object()) << mnemonic;
        const Json& signature = help["signatures"][0];
        bool operand_expected = find_mnemonic(mnemonic.c_str())->length > 1;
        with_operand += operand_expected;
        EXPECT_EQ(signature["parameters"].size(), operand_expected ? 1u : 0u) << mnemonic;
        std::string label = mnemonic + (operand_expected ? " " + manual[mnemonic] : "") + "  " +
                            std::string(note.stack);
        EXPECT_EQ(signature["label"], label);
        EXPECT_EQ(help.contains("activeParameter"), operand_expected);
    }
    EXPECT_EQ(with_operand, 23);
    // While the operand is typed it still shows; not after it, nor in a comment.
    SourceModel model = analyse_source("        jmp lo ldi 5 ; add \n");
    EXPECT_EQ(signature_help(model, BYTES, 0, 14)["signatures"][0]["label"],
              "jmp address w  ( -- )");
    EXPECT_EQ(signature_help(model, BYTES, 0, 15), nullptr);
    EXPECT_EQ(signature_help(model, BYTES, 0, 21), nullptr);
    EXPECT_EQ(signature_help(model, BYTES, 0, 28), nullptr);
}

TEST(LanguageServerRequests, SmallerRequestsAndEditorFaults) {
    // A long line: the warning, and the error named by the editor's line.
    SourceModel model = analyse_source(";" + std::string(261, 'c') + "\nldi -1\n");
    Json list = diagnostics(model, BYTES);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]["message"], "ERROR\nLine 2 have syntax error (the assembler's line 3)");
    EXPECT_EQ(list[0]["range"]["start"]["line"], 1);
    EXPECT_EQ(list[1]["message"],
              "line of 262 characters: the assembler reads it as 2 lines (the second starts at "
              "column 256)");
    EXPECT_EQ(diagnostics(analyse_source(std::string(600, ' ') + "hlt\n"), BYTES)[0]["message"],
              "line of 603 characters: the assembler reads it as 3 lines (the second starts at "
              "column 256, the third at 511)");

    // A rename onto a name used, though undefined, is refused.
    model = analyse_source("[bar    nop\n        jmp foo\n");
    try {
        rename(model, BYTES, "u", 0, 2, "Foo");
        ADD_FAILURE() << "the rename was carried out";
    } catch (const RequestRefused& refused) {
        EXPECT_EQ(refused.message, "'Foo' is already used on line 2");
    }

    // Completion: nothing in a comment; labels as written after a jump;
    // at the start of a line the definition of a label used but undefined.
    model = analyse_source("[Sqr    jmp \n        jmp loop ; x\n\n");
    auto labels = [&](int line, int character) {
        std::vector<std::string> result;
        Json items = completion(model, BYTES, line, character)["items"];
        for (const Json& item : items) result.push_back(item["label"]);
        return result;
    };
    EXPECT_TRUE(labels(1, 20).empty());
    EXPECT_EQ(labels(0, 12), std::vector<std::string>{"Sqr"});
    std::vector<std::string> at_start = labels(2, 0);
    EXPECT_EQ(at_start.size(), 56u + 4u + 1u);
    EXPECT_EQ(at_start.back(), "[loop");
    EXPECT_EQ(document_symbols(model, BYTES)[0]["name"], "Sqr");

    // Highlights: the definition text, the stores at the label written
    // (std, stdw; not sta, which reads it as a pointer), the other uses read.
    model = analyse_source(
        "[top    call sub\n        jmp top\n; a\n; b\n[sub    ldi 1\n        ret\n"
        "        std top\n        stdw top\n        sta top\n        ldd top\n");
    Json highlights = document_highlight(model, BYTES, 1, 13);
    std::vector<int> kinds;
    for (const Json& h : highlights) kinds.push_back(h["kind"]);
    EXPECT_EQ(kinds, (std::vector<int>{1, 2, 3, 3, 2, 2}));
    model =
        analyse_source("[top    call sub\n        jmp top\n; a\n; b\n[sub    ldi 1\n        ret\n");
    EXPECT_EQ(folding_ranges(model),
              Json::parse(R"([{"endLine":3,"kind":"comment","startLine":2},)"
                          R"({"endLine":5,"kind":"region","startLine":4}])"));
    // Range formatting touches only the lines asked for.
    model = analyse_source("  ldi 1\n  ldi 2\n");
    Json edits = formatting(model, BYTES, 1, 1);
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0]["range"]["start"]["line"], 1);
    EXPECT_EQ(edits[0]["newText"], "        ldi 2");
}

TEST(LanguageServerReader, AWrongContentLengthCostsOnlyItsMessage) {
    // Through the program: a request whose length is one too large is
    // answered at once, and so is the one after it.
    const std::string init = R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})";
    const std::string shutdown = R"({"jsonrpc":"2.0","id":2,"method":"shutdown"})";
    TempDir dir;
    RunResult r = run_program(LANGUAGE_SERVER_PATH, {},
                              "Content-Length: " + std::to_string(init.size() + 1) + "\r\n\r\n" +
                                  init + "Content-Length: " + std::to_string(shutdown.size()) +
                                  "\r\n\r\n" + shutdown,
                              dir.path);
    EXPECT_NE(r.output.find(R"("id":1,"jsonrpc":"2.0","result":{"capabilities")"),
              std::string::npos);
    EXPECT_NE(r.output.find(R"({"id":2,"jsonrpc":"2.0","result":null})"), std::string::npos);
    EXPECT_EQ(r.exit_status, 0);
}
