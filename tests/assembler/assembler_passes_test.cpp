// Pass 1 and pass 2 through the executable: listings, messages with their
// line numbers, the pass-1 file left by an error, and the object code.
#include <gtest/gtest.h>

#include <string>

#include "assemble.hpp"

namespace {

std::string repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) result += text;
    return result;
}

// A source that stops in pass 1: the whole output, the pass-1 file as far
// as it was written, no object code file.
struct Pass1Error {
    const char* source;
    const char* output;  // after the prompt
    const char* pass1;
};

TEST(AssemblerPasses, Pass1MessagesWithLineNumbers) {
    const Pass1Error cases[] = {
        {"nop\n; c\n\nldi 5 ?\n", "    0: nop \n    1: ;   c \n    1: \n    1: ldi 5 ? \nERROR\nLine 4 have syntax error\n",
         "nop \n\n\nldi 5 ? "},
        {"nop\norg\n", "    0: nop \n    1: \nERROR\nLine 2 : ORG syntax error\n", "nop \n"},
        {"org -5\n", "    0: \nERROR\nLine 1 : ORG syntax error\n", ""},
        {"org\t100\n", "    0: \nERROR\nLine 1 : ORG syntax error\n", ""},
        {"db x\n", "    0: \nERROR\nLine 1 : DB syntax error\n", ""},
        {"nop\n\ndw\n", "    0: nop \n    1: \n    1: \nERROR\nLine 3 : DW syntax error\n", "nop \n\n"},
        {"ldi\t\t5\n", "    0: ldi \t \nERROR\nLine 1 have syntax error\n", "ldi \t "},
        {"ldi \xe9\n", "    0: ldi \xe9 \nERROR\nLine 1 have syntax error\n", "ldi \xe9 "},
        {"a_b\n", "    0: a _ \nERROR\nLine 1 have syntax error\n", "a _ "},
        {"ldi -5\n", "    0: ldi - \nERROR\nLine 1 have syntax error\n", "ldi - "},
        {"[loop]\n", "    0: ] \nERROR\nLine 1 have syntax error\n", "] "},
        {"[9x\n", "    0: \nERROR\nLine 1 have syntax error\n", ""},
        {"nop\n[abcdefghijklmnopqrst\n", "    0: nop \n    1: \nERROR\nLine 2 : label name too long\n", "nop \n"},
        {"db 5\ndb 12345678901234567890\n", "    0: \n    1: \nERROR\nLine 2 : operand too long\n", "db 5\n"},
    };
    for (const Pass1Error& c : cases) {
        TempDir dir;
        Assembly a = assemble(dir, c.source);
        EXPECT_EQ(a.run.output, PROMPT + c.output) << c.source;
        EXPECT_EQ(a.run.exit_status, 255) << c.source;
        EXPECT_EQ(a.pass1, c.pass1) << c.source;
        EXPECT_FALSE(a.object_exists) << c.source;
    }
}

TEST(AssemblerPasses, TokenTooLong) {
    TempDir dir;
    Assembly a = assemble(dir, "nop " + std::string(79, 'k') + "\nnop " + std::string(80, 'k') + "\n");
    EXPECT_EQ(a.run.output, PROMPT + "    0: nop " + std::string(79, 'k') + " \n    1: nop \nERROR\nLine 2 : token too long\n");
    EXPECT_EQ(a.run.exit_status, 255);
}

TEST(AssemblerPasses, SymbolTableFull) {
    std::string source;
    for (int i = 0; i <= 512; ++i) source += "[l" + std::to_string(i) + "\n";
    TempDir dir;
    Assembly a = assemble(dir, source);
    EXPECT_EQ(a.run.output, PROMPT + repeat("    0: \n", 512) + "    0: \nERROR\nLine 513 : symbol table full\n");
    EXPECT_EQ(a.run.exit_status, 255);
}

TEST(AssemblerPasses, Pass2Messages) {
    {
        TempDir dir;
        Assembly a = assemble(dir, "nop\nldi 12345678901234567890\n");
        EXPECT_EQ(a.run.output, PROMPT + "    0: nop \n    1: ldi 12345678901234567890 \n\nSymbol table\n"
                                         "\n-pass2-\n\nERROR\nLine 2 : operand too long\n");
        EXPECT_EQ(a.object, "0 64 \n1 0 ");
        EXPECT_EQ(a.run.exit_status, 255);
        EXPECT_TRUE(a.pass1_exists);
    }
    {
        TempDir dir;
        Assembly a = assemble(dir, "jmp abcdefghijklmnopqrst\n");
        EXPECT_EQ(a.run.output.substr(a.run.output.find("\n-pass2-")),
                  "\n-pass2-\n\nERROR\nLine 1 : operand too long\n");
        EXPECT_EQ(a.run.exit_status, 255);
    }
    {
        TempDir dir;  // a duplicate label is an error only where it is used
        Assembly a = assemble(dir, "[dup\n[dup\nnop\njmp dup\n");
        EXPECT_EQ(a.run.output, PROMPT + "    0: \n    0: \n    0: nop \n    1: jmp dup \n"
                                         "\nSymbol table\n    0:                  dup\n    0:                  dup\n"
                                         "\n-pass2-\n\nERROR\nLine 4 : symbol [dup] defined more than once\n");
        EXPECT_EQ(a.object, "0 64 \n1 48 ");
        EXPECT_EQ(a.pass1, "\n\nnop \njmp dup \n");
        EXPECT_EQ(a.run.exit_status, 255);
    }
    {
        TempDir dir;
        Assembly a = assemble(dir, "[x\nnop\n[x\nhlt\n");
        EXPECT_EQ(a.run.output.substr(a.run.output.find("\nSymbol")),
                  "\nSymbol table\n    0:                    x\n    1:                    x\n\n-pass2-\n");
        EXPECT_EQ(a.object, "0 64 \n1 65 \n");
        EXPECT_EQ(a.run.exit_status, 0);
    }
}

TEST(AssemblerPasses, EndStopsReadingAfterItsLine) {
    TempDir dir;
    Assembly a = assemble(dir, "nop end nop\nnop\n");
    EXPECT_EQ(listing_of(a.run.output), "    0: nop nop \n");
    EXPECT_EQ(a.object, "0 64 \n1 64 \n");

    TempDir dir2;  // a label named end ends pass 1 as well
    Assembly b = assemble(dir2, "[end nop\nnop\n");
    EXPECT_EQ(b.run.output, PROMPT + "    0: nop \n\nSymbol table\n    0:                  end\n\n-pass2-\n");
    EXPECT_EQ(b.object, "0 64 \n");
    EXPECT_EQ(b.run.exit_status, 0);
}

TEST(AssemblerPasses, OrgTakesDigitsOnly) {
    TempDir dir;
    Assembly a = assemble(dir, "org 0x10\nnop\n");
    EXPECT_EQ(listing_of(a.run.output), "    0: x10 \n    0: nop \n");
    EXPECT_EQ(a.object, "0 64 \n");
}

TEST(AssemblerPasses, InstructionRecords) {
    // Forward and backward references, a label on an instruction's line.
    EXPECT_EQ(object_of("jmp later\nnop\n[later hlt\njmp later\n"), "0 48 4 \n3 64 \n4 65 \n5 48 4 \n");
    // Missing operand: address and opcode only, the counter still moves by 3.
    EXPECT_EQ(object_of("jmp\nnop\n"), "0 48 \n3 64 \n");
    // Operand digits as written; stray tokens passed over.
    EXPECT_EQ(object_of("add 5\nldi 0300\nldi 5 6\nldi 12ab\nnop\n"), "0 22 \n1 0 0300 \n3 0 5 \n5 0 12 \n7 64 \n");
    // Case does not matter.
    EXPECT_EQ(object_of("LDI 5\n[Loop\nJmP LOOP\n"), "0 0 5 \n2 48 2 \n");
}

TEST(AssemblerPasses, DataRecords) {
    EXPECT_EQ(object_of("db 007\ndb 300\norg 106\ndw 1000\ndw 70000\n"),
              "0 255 007\n1 255 300\n106 255 232\n107 255 3\n108 255 112\n109 255 273\n");
    EXPECT_EQ(object_of("dw 9999999999999999999\n"), "0 255 255\n1 255 39062499999999999\n");
}

TEST(AssemblerPasses, TokensAfterADirectiveOperand) {
    // db 5 6 is the byte 5 and a stray 6, not the byte 56.
    TempDir dir;
    Assembly a = assemble(dir, "db 5 6\nnop\n");
    EXPECT_EQ(listing_of(a.run.output), "    0: 6 \n    1: nop \n");
    EXPECT_EQ(a.object, "0 255 5\n1 64 \n");

    TempDir kept;  // the pass-1 file, kept by the error on the last line
    Assembly b = assemble(kept, "db 5 6\ndb 5\ndb 5 org 9\ndw 1 2x\njmp missing\n");
    EXPECT_EQ(b.pass1, "db 5 6 \ndb 5\ndb 5 org 9\ndw 1 2 x \njmp missing \n");
    EXPECT_EQ(b.object, "0 255 5\n1 255 5\n2 255 5\n9 255 1\n10 255 0\n11 48 ");
}

TEST(AssemblerPasses, LocationCounterWrapsAround) {
    TempDir dir;
    Assembly a = assemble(dir, "org 4294967295\nnop\nnop\n");
    EXPECT_EQ(listing_of(a.run.output), "    0: \n   -1: nop \n    0: nop \n");
    EXPECT_EQ(a.object, "-1 64 \n0 64 \n");
    EXPECT_EQ(object_of("org 9999999999999999999\n[x nop\njmp x\n"),
              "-1981284353 64 \n-1981284352 48 65535 \n");
}

TEST(AssemblerPasses, LineEndsAndLineLengths) {
    // CRLF lines give what LF lines give.
    const std::string lf = "; demo\norg 100\n[start\nldi 5\njmp start\ndb 7\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    TempDir a_dir, b_dir;
    Assembly a = assemble(a_dir, lf);
    Assembly b = assemble(b_dir, crlf);
    EXPECT_EQ(b.run.output, a.run.output);
    EXPECT_EQ(b.object, a.object);
    EXPECT_EQ(b.object, "100 0 5 \n102 48 100 \n105 255 7\n");

    // A last line without line feed.
    EXPECT_EQ(object_of("nop\nhlt"), "0 64 \n1 65 \n");
    EXPECT_EQ(object_of("nop\nend"), "0 64 \n");

    // A line longer than 255 characters is read in pieces that count as lines.
    TempDir c_dir;
    Assembly c = assemble(c_dir, "nop" + std::string(252, ' ') + "hlt\n?\n");
    EXPECT_EQ(c.run.output, PROMPT + "    0: nop \n    1: hlt \n    2: ? \nERROR\nLine 3 have syntax error\n");
    TempDir d_dir;  // 255 characters and the line feed: the line feed is a line of its own
    Assembly d = assemble(d_dir, "nop" + std::string(252, ' ') + "\n?\n");
    EXPECT_EQ(d.run.output, PROMPT + "    0: nop \n    1: \n    1: ? \nERROR\nLine 3 have syntax error\n");
}

TEST(AssemblerPasses, LongPass1LinesAreReadBackWhole) {
    // "1a " is copied as "1 a ": this line of 195 characters becomes 258 in
    // the pass-1 file, and its ldi and 7 must stay together.
    TempDir dir;
    Assembly a = assemble(dir, repeat("1a ", 63) + "ldi 7\n[d\n[d\njmp d\n");
    EXPECT_EQ(a.pass1.substr(0, a.pass1.find('\n')), repeat("1 a ", 63) + "ldi 7 ");
    EXPECT_EQ(a.object, "0 0 7 \n2 48 ");
    // Line numbers in pass 2 are still those of the source.
    EXPECT_EQ(a.run.output.substr(a.run.output.find("\n-pass2-")),
              "\n-pass2-\n\nERROR\nLine 4 : symbol [d] defined more than once\n");

    // 254 characters that become 340.
    EXPECT_EQ(object_of(repeat("1a ", 84) + "1a\nhlt\n"), "0 65 \n");
}

TEST(AssemblerPasses, TabsAndHighBytesBehindTokens) {
    EXPECT_EQ(object_of("ldi\t5\nldi\xe9" "7\nout\x80" "0 ; \xff\n"), "0 0 5 \n2 0 7 \n4 9 0 \n");
}

}  // namespace
