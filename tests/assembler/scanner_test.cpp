// The scanner on single lines, and the passes' handling of what it hands
// out: which name is a directive or mnemonic, the comment echo, and the
// records pass 2 writes for a line.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "assemble.hpp"
#include "pass2.hpp"
#include "scanner.hpp"
#include "stop.hpp"

namespace {

using Tokens = std::vector<std::pair<int, std::string>>;
const int NAME = TOKEN_NAME, LABEL = TOKEN_LABEL, BAD_LABEL = TOKEN_BAD_LABEL,
          NUMBER = TOKEN_NUMBER, INVALID = TOKEN_INVALID, END = TOKEN_END_OF_LINE;

void set_line(SourceCursor& s, const std::string& text) {
    std::memcpy(s.line_buffer, text.c_str(), text.size() + 1);
    start_line(s);
}

// Every token of the line, up to and including the end of the line.
Tokens tokens_of(SourceCursor& s, const std::string& text) {
    set_line(s, text);
    Tokens tokens;
    for (int kind = -1; kind != END && tokens.size() < 50;) {
        Token t = next_token(s);
        kind = t.kind;
        tokens.emplace_back(kind, std::string(t.text));
    }
    return tokens;
}

TEST(Scanner, Lines) {
    struct Case {
        const char* line;
        Tokens tokens;
    } cases[] = {
        {"ldi 5\n", {{NAME, "ldi"}, {NUMBER, "5"}, {END, ""}}},
        {"LDI Foo ORG 7 End",
         {{NAME, "ldi"}, {NAME, "foo"}, {NAME, "org"}, {NUMBER, "7"}, {NAME, "end"}, {END, ""}}},
        {"[loop]", {{LABEL, "loop"}, {INVALID, "]"}, {END, ""}}},
        {"[Loop[b", {{LABEL, "loop"}, {LABEL, "b"}, {END, ""}}},
        {"[9x", {{BAD_LABEL, ""}, {NUMBER, "9"}, {NAME, "x"}, {END, ""}}},
        {"[ x", {{BAD_LABEL, ""}, {NAME, "x"}, {END, ""}}},
        // Only the character under the cursor is normalised, only blanks are skipped.
        {"ldi\t5", {{NAME, "ldi"}, {NUMBER, "5"}, {END, ""}}},
        {"ldi\t\t5", {{NAME, "ldi"}, {INVALID, "\t"}, {NUMBER, "5"}, {END, ""}}},
        {"ldi \t5", {{NAME, "ldi"}, {INVALID, "\t"}, {NUMBER, "5"}, {END, ""}}},
        {"ldi\xe9"
         "5",
         {{NAME, "ldi"}, {NUMBER, "5"}, {END, ""}}},
        {"ldi \xe9", {{NAME, "ldi"}, {INVALID, "\xe9"}, {END, ""}}},
        {"nop \r\n", {{NAME, "nop"}, {END, ""}}},
        {"12ab", {{NUMBER, "12"}, {NAME, "ab"}, {END, ""}}},
        {"a_b", {{NAME, "a"}, {INVALID, "_"}, {NAME, "b"}, {END, ""}}},
        {"-5 007", {{INVALID, "-"}, {NUMBER, "5"}, {NUMBER, "007"}, {END, ""}}},
        {"   \n", {{END, ""}}},
        // A comment comes with the line end, as written, up to CR, LF or NUL.
        {"nop ;X Y\r\n", {{NAME, "nop"}, {END, ";X Y"}}},
        {"; Hi\n", {{END, "; Hi"}}},
    };
    SourceCursor s;
    for (const Case& c : cases) EXPECT_EQ(tokens_of(s, c.line), c.tokens) << c.line;
    EXPECT_EQ(s.line_buffer[s.cursor], '\n');
    EXPECT_EQ(next_token(s).line, 19);  // asking again stays on the line end and counts again
    EXPECT_EQ(s.line_number, 19);
}

TEST(Scanner, LongTextStopsTheAssemblyWithItsLine) {
    struct Case {
        std::string line, message;
    } cases[] = {
        {"[" + std::string(20, 'q'), "\nERROR\nLine 1 : label name too long\n"},
        {"nop " + std::string(80, 'k'), "\nERROR\nLine 1 : token too long\n"},
        {std::string(80, '8'), "\nERROR\nLine 1 : token too long\n"},
    };
    for (const Case& c : cases) {
        SourceCursor s;
        set_line(s, c.line);
        try {
            for (int i = 0; i < 3; ++i) next_token(s);
            ADD_FAILURE() << c.line << " was accepted";
        } catch (const AssemblyStop& stop) {
            EXPECT_EQ(stop.message, c.message);
            EXPECT_EQ(stop.line, 1);
        }
    }
    SourceCursor s;
    EXPECT_EQ(tokens_of(s, "[" + std::string(19, 'q')),
              (Tokens{{LABEL, std::string(19, 'q')}, {END, ""}}));
}

TEST(Passes, NamesCommentsAndLabelValuesInPassOne) {
    // org consumes its operand and is not listed; end ends the pass after its line.
    AssemblyResult r = assemble_source(
        "org 74565 [Loop[b LDI Foo ORG 7 End nop\n"
        "; Hi\n");
    EXPECT_EQ(r.listing,
              "    0: ldi foo nop \n\nSymbol table\n 9029:                 loop\n"
              " 9029:                    b\n");
    EXPECT_EQ(r.pass1_text, "org 74565 ldi foo org 7 nop \n");
    ASSERT_EQ(r.symbols.size(), 2u);
    EXPECT_EQ(r.symbols[1].value, 74565 & 0xFFFF);  // only the low 16 bits are kept

    r = assemble_source("; Hi\nnop ;X\r\n");
    EXPECT_EQ(r.listing, "    0: ;   H i \n    0: nop ; X \n\nSymbol table\n");
}

TEST(Passes, PassTwoWritesRecordsFromThePass1Text) {
    auto a = std::make_unique<Assembly>();
    a->symbol_count = 1;
    std::strcpy(a->SymbolTable[0].name, "there");
    a->SymbolTable[0].value = 300;
    a->pass1_input.text = "ldi 005 6\njmp there\ndb 7 dw 70000\norg 10 add 5\njmp where\n";
    AssemblyOutcome outcome = run_pass2(*a);
    EXPECT_EQ(a->object_code.text,
              "0 0 005 \n2 48 300 \n5 255 7\n6 255 112\n7 255 273\n10 22 \n11 48 ");
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.error_message, "\nERROR\nCan not find symbol [where]\n");
    EXPECT_EQ(outcome.error_line, 5);
    EXPECT_EQ(a->pass1_text.text, "");
}

}  // namespace
