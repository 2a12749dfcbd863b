// The tokenizer on single lines, with the console double catching the
// comment echo and the error exits.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "console_double.hpp"
#include "driver.hpp"
#include "pass1.hpp"
#include "pass2.hpp"
#include "tokenizer.hpp"

namespace {

using Tokens = std::vector<std::pair<int, std::string>>;
const int NAME = TOKEN_NAME, MNEMONIC = TOKEN_MNEMONIC, DIRECTIVE = TOKEN_DIRECTIVE,
          NUMBER = TOKEN_NUMBER, INVALID = TOKEN_INVALID, END = TOKEN_END_OF_LINE;

class Tokenizer : public ::testing::Test {
protected:
    void SetUp() override {
        console_double_reset();
        current_pass = 1;
        location_counter = symbol_count = line_number = end_seen = 0;
        pass1_stream = std::tmpfile();
        object_stream = std::tmpfile();
    }
    void TearDown() override {
        for (std::FILE** stream : {&pass1_stream, &object_stream}) {
            if (*stream != nullptr) std::fclose(*stream);
            *stream = nullptr;
        }
    }

    // Every token of the line, up to and including the end of the line.
    static Tokens tokens_of(const std::string& text) {
        std::memcpy(line_buffer, text.c_str(), text.size() + 1);
        cursor = 0;
        Tokens tokens;
        for (int kind = 0; kind != END && tokens.size() < 50;) {
            kind = next_token();
            tokens.emplace_back(kind, token_buffer);
        }
        return tokens;
    }

    static std::string file_text(std::FILE* stream) {
        std::fflush(stream);
        std::rewind(stream);
        std::string text;
        for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream))
            text += static_cast<char>(c);
        return text;
    }
};

TEST_F(Tokenizer, Lines) {
    struct Case {
        const char* line;
        Tokens tokens;
    } cases[] = {
        {"ldi 5\n", {{MNEMONIC, "ldi"}, {NUMBER, "5"}, {END, ""}}},
        {"LDI Foo ORG 7 End",
         {{MNEMONIC, "ldi"}, {NAME, "foo"}, {DIRECTIVE, "org"}, {DIRECTIVE, "end"}, {END, ""}}},
        {"[loop]", {{NAME, "loop"}, {INVALID, "]"}, {END, ""}}},
        {"[9x", {{INVALID, ""}, {NUMBER, "9"}, {NAME, "x"}, {END, ""}}},
        {"[ x", {{INVALID, ""}, {NAME, "x"}, {END, ""}}},
        // Only the character under the cursor is normalised, only blanks are skipped.
        {"ldi\t5", {{MNEMONIC, "ldi"}, {NUMBER, "5"}, {END, ""}}},
        {"ldi\t\t5", {{MNEMONIC, "ldi"}, {INVALID, "\t"}, {NUMBER, "5"}, {END, ""}}},
        {"ldi \t5", {{MNEMONIC, "ldi"}, {INVALID, "\t"}, {NUMBER, "5"}, {END, ""}}},
        {"ldi\xe9"
         "5",
         {{MNEMONIC, "ldi"}, {NUMBER, "5"}, {END, ""}}},
        {"ldi \xe9", {{MNEMONIC, "ldi"}, {INVALID, "\xe9"}, {END, ""}}},
        {"nop \r\n", {{MNEMONIC, "nop"}, {END, ""}}},
        {"12ab", {{NUMBER, "12"}, {NAME, "ab"}, {END, ""}}},
        {"a_b", {{NAME, "a"}, {INVALID, "_"}, {NAME, "b"}, {END, ""}}},
        {"-5 007", {{INVALID, "-"}, {NUMBER, "5"}, {NUMBER, "007"}, {END, ""}}},
        {"   \n", {{END, ""}}},
    };
    for (const Case& c : cases) EXPECT_EQ(tokens_of(c.line), c.tokens) << c.line;
    EXPECT_EQ(line_number, 15);
    EXPECT_EQ(location_counter, 7 + 5 * 2 + 1);  // org 7, then five ldi and a nop
    EXPECT_EQ(file_text(pass1_stream), "org 7");
}

TEST_F(Tokenizer, LabelDefinitions) {
    location_counter = 0x12345;  // only the low 16 bits are kept
    EXPECT_EQ(tokens_of("[Loop[b"), (Tokens{{NAME, "loop"}, {NAME, "b"}, {END, ""}}));
    ASSERT_EQ(symbol_count, 2);
    EXPECT_STREQ(SymbolTable[0].name, "loop");
    EXPECT_EQ(SymbolTable[0].value, 0x2345);
    EXPECT_EQ(SymbolTable[1].value, 0x2345);

    tokens_of("[" + std::string(19, 'q'));
    EXPECT_EQ(SymbolTable[2].name, std::string(19, 'q'));
    try {
        tokens_of("[" + std::string(20, 'q'));
        ADD_FAILURE() << "a 20-character label was accepted";
    } catch (const ExitRequest& exit) {
        EXPECT_EQ(exit.status, 255);
        EXPECT_EQ(console_double_output(), "\nERROR\nLine 3 : label name too long\n");
    }
    EXPECT_EQ(symbol_count, 3);
}

TEST_F(Tokenizer, CommentsAreEchoedAndLeaveTheCursorOnTheLineEnd) {
    EXPECT_EQ(tokens_of("; Hi\n"), (Tokens{{END, ""}}));
    EXPECT_EQ(line_buffer[cursor], '\n');
    EXPECT_EQ(tokens_of("nop ;X\r\n"), (Tokens{{MNEMONIC, "nop"}, {END, ""}}));
    EXPECT_EQ(console_double_output(), ";   H i ; X ");
    EXPECT_EQ(next_token(), END);  // asking again stays on the line end and counts again
    EXPECT_EQ(line_number, 3);
}

TEST_F(Tokenizer, PassTwoHandlersWriteRecords) {
    current_pass = 2;
    symbol_count = 1;
    std::strcpy(SymbolTable[0].name, "there");
    SymbolTable[0].value = 300;
    build_symbol_index();
    EXPECT_EQ(tokens_of("ldi 005 6"),
              (Tokens{{MNEMONIC, "ldi"}, {NUMBER, "6"}, {END, ""}}));  // operand consumed
    tokens_of("jmp there");
    tokens_of("db 7 dw 70000");
    tokens_of("org 10 add 5");
    EXPECT_EQ(file_text(object_stream),
              "0 0 005 \n2 48 300 \n5 255 7\n6 255 112\n7 255 273\n10 22 \n");
    EXPECT_EQ(file_text(pass1_stream), "");
}

}  // namespace
