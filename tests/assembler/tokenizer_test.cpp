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

class Tokenizer : public ::testing::Test {
protected:
    void SetUp() override {
        console_double_reset();
        current_pass = 1;
        location_counter = 0;
        symbol_count = 0;
        line_number = 0;
        end_seen = 0;
        pass1_stream = std::tmpfile();
        ASSERT_NE(pass1_stream, nullptr);
    }
    void TearDown() override {
        for (std::FILE** stream : {&pass1_stream, &object_stream}) {
            if (*stream != nullptr) std::fclose(*stream);
            *stream = nullptr;
        }
    }

    static void set_line(const std::string& text) {
        ASSERT_LT(text.size(), sizeof line_buffer);
        std::memcpy(line_buffer, text.data(), text.size());
        line_buffer[text.size()] = '\0';
        cursor = 0;
    }

    // Every token up to and including the end of the line.
    static Tokens tokens_of(const std::string& text) {
        set_line(text);
        Tokens tokens;
        for (int guard = 0; guard < 100; ++guard) {
            TokenKind kind = next_token();
            tokens.emplace_back(kind, token_buffer);
            if (kind == TOKEN_END_OF_LINE) break;
        }
        return tokens;
    }

    // Runs one line that must end in an error exit; returns the message.
    static std::string error_of(const std::string& text) {
        set_line(text);
        try {
            for (int guard = 0; guard < 100; ++guard) {
                if (next_token() == TOKEN_END_OF_LINE) break;
            }
        } catch (const ExitRequest& exit) {
            EXPECT_EQ(exit.status, 255);
            return console_double_output();
        }
        ADD_FAILURE() << "no error exit for " << text;
        return "";
    }

    static std::string file_text(std::FILE* stream) {
        std::fflush(stream);
        std::rewind(stream);
        std::string text;
        for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) text += static_cast<char>(c);
        return text;
    }
};

const int END = TOKEN_END_OF_LINE;

TEST_F(Tokenizer, MnemonicOperandAndEndOfLine) {
    EXPECT_EQ(tokens_of("ldi 5\n"), (Tokens{{TOKEN_MNEMONIC, "ldi"}, {TOKEN_NUMBER, "5"}, {END, ""}}));
    EXPECT_EQ(location_counter, 2);
    EXPECT_EQ(line_number, 1);
    // The line feed under the cursor was blanked; the cursor rests on the NUL.
    EXPECT_EQ(cursor, 6);
    EXPECT_EQ(line_buffer[cursor], '\0');
}

TEST_F(Tokenizer, NamesAreLowerCasedDirectivesRecognised) {
    EXPECT_EQ(tokens_of("LDI Foo ORG 7 End"),
              (Tokens{{TOKEN_MNEMONIC, "ldi"}, {TOKEN_NAME, "foo"}, {TOKEN_DIRECTIVE, "org"},
                      {TOKEN_DIRECTIVE, "end"}, {END, ""}}));
    EXPECT_EQ(location_counter, 7);  // org consumed its operand
    EXPECT_EQ(file_text(pass1_stream), "org 7");
}

TEST_F(Tokenizer, LabelDefinitions) {
    location_counter = 0x12345;  // only the low 16 bits are kept
    set_line("[Loop");
    EXPECT_EQ(next_token(), TOKEN_NAME);
    EXPECT_EQ(label_flag, 1);
    EXPECT_STREQ(token_buffer, "loop");
    ASSERT_EQ(symbol_count, 1);
    EXPECT_STREQ(SymbolTable[0].name, "loop");
    EXPECT_EQ(SymbolTable[0].value, 0x2345);
    EXPECT_EQ(next_token(), TOKEN_END_OF_LINE);
    EXPECT_EQ(label_flag, 0);  // cleared on every call

    // No closing bracket: "]" is a character of its own.
    EXPECT_EQ(tokens_of("[loop]"), (Tokens{{TOKEN_NAME, "loop"}, {TOKEN_INVALID, "]"}, {END, ""}}));

    EXPECT_EQ(tokens_of("[a[b"), (Tokens{{TOKEN_NAME, "a"}, {TOKEN_NAME, "b"}, {END, ""}}));
    EXPECT_EQ(symbol_count, 4);
    EXPECT_EQ(SymbolTable[2].value, SymbolTable[3].value);
}

TEST_F(Tokenizer, BracketWithoutLetterIsInvalidAndNotConsumed) {
    for (const char* text : {"[9x", "[ x"}) {
        set_line(text);
        EXPECT_EQ(next_token(), TOKEN_INVALID) << text;
        EXPECT_EQ(label_flag, 1);
        EXPECT_STREQ(token_buffer, "");
        EXPECT_EQ(cursor, 1);
    }
    EXPECT_EQ(symbol_count, 0);
}

TEST_F(Tokenizer, OnlyTheCharacterUnderTheCursorIsNormalised) {
    EXPECT_EQ(tokens_of("ldi\t5"), (Tokens{{TOKEN_MNEMONIC, "ldi"}, {TOKEN_NUMBER, "5"}, {END, ""}}));
    EXPECT_EQ(tokens_of("ldi\t\t5")[1], (std::pair<int, std::string>{TOKEN_INVALID, "\t"}));
    EXPECT_EQ(tokens_of("ldi \t5")[1], (std::pair<int, std::string>{TOKEN_INVALID, "\t"}));
    // A byte of 128 or above acts as a blank directly behind a token ...
    EXPECT_EQ(tokens_of("ldi\xe9" "5"), (Tokens{{TOKEN_MNEMONIC, "ldi"}, {TOKEN_NUMBER, "5"}, {END, ""}}));
    // ... and is invalid behind a blank.
    EXPECT_EQ(tokens_of("ldi \xe9")[1], (std::pair<int, std::string>{TOKEN_INVALID, "\xe9"}));
    // A CR before the line feed ends the line like the line feed itself.
    EXPECT_EQ(tokens_of("nop\r\n"), (Tokens{{TOKEN_MNEMONIC, "nop"}, {END, ""}}));
    EXPECT_EQ(tokens_of("nop \r\n"), (Tokens{{TOKEN_MNEMONIC, "nop"}, {END, ""}}));
}

TEST_F(Tokenizer, NumbersNamesAndOtherCharacters) {
    EXPECT_EQ(tokens_of("12ab"), (Tokens{{TOKEN_NUMBER, "12"}, {TOKEN_NAME, "ab"}, {END, ""}}));
    EXPECT_EQ(tokens_of("a_b"), (Tokens{{TOKEN_NAME, "a"}, {TOKEN_INVALID, "_"}, {TOKEN_NAME, "b"}, {END, ""}}));
    EXPECT_EQ(tokens_of("-5"), (Tokens{{TOKEN_INVALID, "-"}, {TOKEN_NUMBER, "5"}, {END, ""}}));
    EXPECT_EQ(tokens_of("007 0x10"),
              (Tokens{{TOKEN_NUMBER, "007"}, {TOKEN_NUMBER, "0"}, {TOKEN_NAME, "x10"}, {END, ""}}));
}

TEST_F(Tokenizer, CommentsAreEchoedAndEndTheLine) {
    EXPECT_EQ(tokens_of("; Hi\n"), (Tokens{{END, ""}}));
    EXPECT_EQ(console_double_output(), ";   H i ");
    EXPECT_EQ(line_buffer[cursor], '\n');

    console_double_reset();
    EXPECT_EQ(tokens_of("nop ;X\r\n"), (Tokens{{TOKEN_MNEMONIC, "nop"}, {END, ""}}));
    EXPECT_EQ(console_double_output(), "; X ");  // the CR is not echoed
}

TEST_F(Tokenizer, EmptyLinesCountOnce) {
    EXPECT_EQ(tokens_of(""), (Tokens{{END, ""}}));
    EXPECT_EQ(tokens_of("   \n"), (Tokens{{END, ""}}));
    EXPECT_EQ(line_number, 2);
    EXPECT_EQ(next_token(), TOKEN_END_OF_LINE);  // stays on the line end
    EXPECT_EQ(line_number, 3);
}

TEST_F(Tokenizer, LengthLimits) {
    std::string name79(79, 'a');
    EXPECT_EQ(tokens_of(name79)[0], (std::pair<int, std::string>{TOKEN_NAME, name79}));
    std::string digits79(79, '7');
    EXPECT_EQ(tokens_of(digits79)[0], (std::pair<int, std::string>{TOKEN_NUMBER, digits79}));
    line_number = 4;
    EXPECT_EQ(error_of(std::string(80, 'a')), "\nERROR\nLine 5 : token too long\n");
    console_double_reset();
    EXPECT_EQ(error_of(std::string(80, '7')), "\nERROR\nLine 5 : token too long\n");

    console_double_reset();
    EXPECT_EQ(tokens_of("[" + std::string(19, 'q'))[0].second, std::string(19, 'q'));
    EXPECT_EQ(error_of("[" + std::string(20, 'q')), "\nERROR\nLine 6 : label name too long\n");

    console_double_reset();
    EXPECT_EQ(error_of("org " + std::string(20, '1')), "\nERROR\nLine 6 : operand too long\n");
}

TEST_F(Tokenizer, SymbolTableHoldsExactly512Labels) {
    for (int i = 0; i < SYMBOL_TABLE_SIZE; ++i) {
        set_line("[l" + std::to_string(i));
        ASSERT_EQ(next_token(), TOKEN_NAME);
    }
    EXPECT_EQ(symbol_count, 512);
    EXPECT_STREQ(SymbolTable[511].name, "l511");
    EXPECT_EQ(error_of("[extra"), "\nERROR\nLine 1 : symbol table full\n");
    EXPECT_EQ(symbol_count, 512);
}

TEST_F(Tokenizer, ErrorExitClosesTheFiles) {
    EXPECT_EQ(error_of("db x"), "\nERROR\nLine 1 : DB syntax error\n");
    EXPECT_EQ(pass1_stream, nullptr);
}

TEST_F(Tokenizer, PassTwoHandlersWriteRecords) {
    current_pass = 2;
    object_stream = std::tmpfile();
    ASSERT_NE(object_stream, nullptr);
    symbol_count = 1;
    std::strcpy(SymbolTable[0].name, "there");
    SymbolTable[0].value = 300;
    build_symbol_index();

    EXPECT_EQ(tokens_of("ldi 005 6"),
              (Tokens{{TOKEN_MNEMONIC, "ldi"}, {TOKEN_NUMBER, "6"}, {END, ""}}));  // the operand is consumed
    tokens_of("jmp there");
    tokens_of("db 7 dw 70000");
    tokens_of("org 10 add 5");
    EXPECT_EQ(file_text(object_stream), "0 0 005 \n2 48 300 \n5 255 7\n6 255 112\n7 255 273\n10 22 \n");
    EXPECT_EQ(location_counter, 11);
    EXPECT_EQ(file_text(pass1_stream), "");  // pass 2 never writes the pass-1 file
}

TEST_F(Tokenizer, PassTwoOperandLimitsAndUnknownSymbols) {
    current_pass = 2;
    object_stream = std::tmpfile();
    ASSERT_NE(object_stream, nullptr);
    build_symbol_index();
    EXPECT_EQ(error_of("jmp " + std::string(20, 'z')), "\nERROR\nLine 1 : operand too long\n");
    console_double_reset();
    object_stream = std::tmpfile();
    EXPECT_EQ(error_of("jmp " + std::string(20, '9')), "\nERROR\nLine 1 : operand too long\n");
    console_double_reset();
    object_stream = std::tmpfile();
    EXPECT_EQ(error_of("jmp " + std::string(19, 'z')),
              "\nERROR\nCan not find symbol [" + std::string(19, 'z') + "]\n");
    EXPECT_EQ(object_stream, nullptr);
}

}  // namespace
