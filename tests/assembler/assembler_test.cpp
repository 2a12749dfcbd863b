// The assembler through its executable: listings, messages with their line
// numbers, the object code file, and the pass-1 file an error leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_assembler.hpp"

namespace {

std::string repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) result += text;
    return result;
}

// Console output of a run that gets through both passes.
std::string done(const std::string& listing, const std::string& symbols = "") {
    return listing + "\nSymbol table\n" + symbols + "\n-pass2-\n";
}

std::string syntax_error(int line) {
    return "\nERROR\nLine " + std::to_string(line) + " have syntax error\n";
}

const std::string DEMO = "; demo\norg 100\n[start\nldi 5\njmp start\ndb 7\ndw 1000\n";
const std::string DEMO_LISTING =
    "    0: ;   d e m o \n    0: \n  100: \n  100: ldi 5 \n  102: jmp start \n  105: \n  106: \n";
const std::string DEMO_OBJECT = "100 0 5 \n102 48 100 \n105 255 7\n106 255 232\n107 255 3\n";
const std::string START = "  100:                start\n";

struct Case {
    std::string source;
    std::string output;  // after the prompt
    std::string object;
    std::string pass1;
    int status;
};

std::vector<Case> cases() {
    std::string crlf;
    for (char c : DEMO) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::string labels_513;
    for (int i = 0; i <= 512; ++i) labels_513 += "[l" + std::to_string(i) + "\n";
    const std::string digits20 = "12345678901234567890";
    return {
        // The worked example, with LF and with CRLF lines.
        {DEMO + "end\n", done(DEMO_LISTING + "  108: \n", START), DEMO_OBJECT, NO_FILE, 0},
        {crlf, done(DEMO_LISTING, START), DEMO_OBJECT, NO_FILE, 0},
        // A missing symbol leaves the pass-1 file and the object code up to the unfinished record.
        {DEMO + "jmp nowhere\nend\n",
         done(DEMO_LISTING + "  108: jmp nowhere \n  111: \n", START) +
             "\nERROR\nCan not find symbol [nowhere]\n",
         DEMO_OBJECT + "108 48 ",
         "\norg 100\n\nldi 5 \njmp start \ndb 7\ndw 1000\njmp nowhere \n\n", 255},
        {"", done(""), "", NO_FILE, 0},
        // end, also as a label, ends reading after its own line.
        {"nop end nop\nnop\n", done("    0: nop nop \n"), "0 64 \n1 64 \n", NO_FILE, 0},
        {"[end nop\nnop", done("    0: nop \n", "    0:                  end\n"), "0 64 \n",
         NO_FILE, 0},
        {"org 0x10\nnop\n", done("    0: x10 \n    0: nop \n"), "0 64 \n", NO_FILE, 0},
        // Forward references, missing operands, stray tokens, operand digits as written.
        {"jmp later\njmp\n[later hlt\nadd 5\n",
         done("    0: jmp later \n    3: jmp \n    6: hlt \n    7: add 5 \n",
              "    6:                later\n"),
         "0 48 6 \n3 48 \n6 65 \n7 22 \n", NO_FILE, 0},
        {"ldi 0300\nldi 5 6\nLDI 12ab\n[Loop\tJmP LOOP",
         done("    0: ldi 0300 \n    2: ldi 5 6 \n    4: ldi 12 ab \n    6: jmp loop \n",
              "    6:                 loop\n"),
         "0 0 0300 \n2 0 5 \n4 0 12 \n6 48 6 \n", NO_FILE, 0},
        {"ldi\t5\nldi\xe9"
         "7 ; \xff\n",
         done("    0: ldi 5 \n    2: ldi 7 ;   \xff \n"), "0 0 5 \n2 0 7 \n", NO_FILE, 0},
        {"db 007\ndb 300\norg 106\ndw 1000\ndw 70000\ndw 9999999999999999999\n",
         done("    0: \n    1: \n    2: \n  106: \n  108: \n  110: \n"),
         "0 255 007\n1 255 300\n106 255 232\n107 255 3\n108 255 112\n109 255 273\n110 255 255\n111 "
         "255 39062499999999999\n",
         NO_FILE, 0},
        // A token after a directive's operand is a stray token, kept apart from the digits.
        {"db 5 6\ndb 5\ndb 5 org 9\ndw 1 2x\njmp gone\n",
         done("    0: 6 \n    1: \n    2: \n    9: 2 x \n   11: jmp gone \n") +
             "\nERROR\nCan not find symbol [gone]\n",
         "0 255 5\n1 255 5\n2 255 5\n9 255 1\n10 255 0\n11 48 ",
         "db 5 6 \ndb 5\ndb 5 org 9\ndw 1 2 x \njmp gone \n", 255},
        // The location counter wraps around at 32 bits.
        {"org 4294967295\nnop\nnop\norg 9999999999999999999\n[x jmp x\n",
         done("    0: \n   -1: nop \n    0: nop \n    1: \n-1981284353: jmp x \n",
              "65535:                    x\n"),
         "-1 64 \n0 64 \n-1981284353 48 65535 \n", NO_FILE, 0},
        // Lines of more than 255 characters are read in pieces that count as lines.
        {"nop" + std::string(252, ' ') + "hlt\n?\n",
         "    0: nop \n    1: hlt \n    2: ? " + syntax_error(3), NO_FILE, "nop \nhlt \n? ", 255},
        {"nop" + std::string(252, ' ') + "\n?\n",
         "    0: nop \n    1: \n    1: ? " + syntax_error(3), NO_FILE, "nop \n\n? ", 255},
        // "1a " is copied as "1 a ": pass 2 reads back a 258-character line whole, line numbers
        // unchanged.
        {repeat("1a ", 63) + "ldi 7\n[d\n[d\njmp d\n",
         done("    0: " + repeat("1 a ", 63) + "ldi 7 \n    2: \n    2: \n    2: jmp d \n",
              "    2:                    d\n    2:                    d\n") +
             "\nERROR\nLine 4 : symbol [d] defined more than once\n",
         "0 0 7 \n2 48 ", repeat("1 a ", 63) + "ldi 7 \n\n\njmp d \n", 255},
        // A duplicate label nobody refers to is accepted.
        {"[x\nnop\n[x\n",
         done("    0: \n    0: nop \n    1: \n",
              "    0:                    x\n    1:                    x\n"),
         "0 64 \n", NO_FILE, 0},
        // Messages of pass 1, each with the listing and pass-1 file up to it.
        {"nop\n; c\n\nldi 5 ?\n",
         "    0: nop \n    1: ;   c \n    1: \n    1: ldi 5 ? " + syntax_error(4), NO_FILE,
         "nop \n\n\nldi 5 ? ", 255},
        {"ldi\t\t5\n", "    0: ldi \t " + syntax_error(1), NO_FILE, "ldi \t ", 255},
        {"ldi \x80\n", "    0: ldi \x80 " + syntax_error(1), NO_FILE, "ldi \x80 ", 255},
        {"a_b\n", "    0: a _ " + syntax_error(1), NO_FILE, "a _ ", 255},
        {"ldi -5\n", "    0: ldi - " + syntax_error(1), NO_FILE, "ldi - ", 255},
        {"[loop]\n", "    0: ] " + syntax_error(1), NO_FILE, "] ", 255},
        {"nop\n[9x\n", "    0: nop \n    1: " + syntax_error(2), NO_FILE, "nop \n", 255},
        {"nop\norg\n", "    0: nop \n    1: \nERROR\nLine 2 : ORG syntax error\n", NO_FILE,
         "nop \n", 255},
        {"org -5\n", "    0: \nERROR\nLine 1 : ORG syntax error\n", NO_FILE, "", 255},
        {"org\t100\n", "    0: \nERROR\nLine 1 : ORG syntax error\n", NO_FILE, "", 255},
        {"db x\n", "    0: \nERROR\nLine 1 : DB syntax error\n", NO_FILE, "", 255},
        {"\ndw\n", "    0: \n    0: \nERROR\nLine 2 : DW syntax error\n", NO_FILE, "\n", 255},
        {"[abcdefghijklmnopqrs\n[abcdefghijklmnopqrst\n",
         "    0: \n    0: \nERROR\nLine 2 : label name too long\n", NO_FILE, "\n", 255},
        {labels_513, repeat("    0: \n", 512) + "    0: \nERROR\nLine 513 : symbol table full\n",
         NO_FILE, repeat("\n", 512), 255},
        {"nop " + std::string(79, 'k') + "\n" + std::string(80, '8'),
         "    0: nop " + std::string(79, 'k') + " \n    1: \nERROR\nLine 2 : token too long\n",
         NO_FILE, "nop " + std::string(79, 'k') + " \n", 255},
        {"db " + digits20 + "\n", "    0: \nERROR\nLine 1 : operand too long\n", NO_FILE, "", 255},
        // Operand limits of pass 2.
        {"nop\nldi " + digits20 + "\n",
         done("    0: nop \n    1: ldi " + digits20 + " \n") +
             "\nERROR\nLine 2 : operand too long\n",
         "0 64 \n1 0 ", "nop \nldi " + digits20 + " \n", 255},
        {"jmp abcdefghijklmnopqrst\n",
         done("    0: jmp abcdefghijklmnopqrst \n") + "\nERROR\nLine 1 : operand too long\n",
         "0 48 ", "jmp abcdefghijklmnopqrst \n", 255},
    };
}

TEST(AssemblerPasses, SourcesGiveTheirListingObjectAndPass1File) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.source.substr(0, 60));
        TempDir dir;
        ProgramRun a = assemble(dir, c.source);
        EXPECT_EQ(a.run.output, PROMPT + c.output);
        // The object code of a failed run (what pass 2 wrote before the
        // error, as the library gives it) is not put in place.
        EXPECT_EQ(a.object, c.status == 0 ? c.object : NO_FILE);
        EXPECT_EQ(a.pass1, c.pass1);
        EXPECT_EQ(a.run.exit_status, c.status);
    }
}

}  // namespace
