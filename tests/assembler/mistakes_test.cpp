// The warnings for mistakes the assembler can see: each fires on its
// mistake with its line and nothing else, the right use of the same thing
// makes none, and no example makes any warning at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "assemble.hpp"

namespace {

std::vector<std::string> warnings_of(const std::string& source) {
    AssemblyResult r = assemble_source(source);
    EXPECT_TRUE(r.ok) << r.error_message;
    std::vector<std::string> lines;
    for (const Finding& f : r.findings) lines.push_back(std::to_string(f.line) + ": " + f.text);
    return lines;
}

struct Case {
    const char* name;
    const char* source;
    std::vector<std::string> warnings;
};

TEST(AssemblerMistakes, EachFiresOnItsMistakeAndNoneOnTheRightUse) {
    const Case cases[] = {
        {"a branch to data",
         "[loop ldi 1\ndec\njnz n\njmp loop\n[n db 0\n",
         {"3: jnz n: n is data (line 5), not an instruction"}},
        {"a call to a word, a jump to a label on later data",
         "call w\njmp x\nhlt\n[w dw 1\n[x\n; comment\n  db 1 db 2\n",
         {"1: call w: w is data (line 4), not an instruction",
          "2: jmp x: x is data (line 7), not an instruction"}},
        {"jumps and calls to code", "[a call b\njz a\nhlt\n[b ret\n", {}},
        {"byte load and store of a word",
         "ldd w\nstd w\nhlt\n[w dw 0\n",
         {"1: ldd w: w is a word (dw, line 4), but ldd takes one byte; lddw takes both",
          "2: std w: w is a word (dw, line 4), but std takes one byte; stdw takes both"}},
        {"word load and store of a byte",
         "lddw b\nstdw b\nhlt\n[b db 0\n[c db 0\n",
         {"1: lddw b: b is one byte (db, line 4), but lddw takes two, the byte after it too; "
          "ldd takes one",
          "2: stdw b: b is one byte (db, line 4), but stdw takes two, the byte after it too; "
          "std takes one"}},
        {"widths that match, arrays taken either way; a word only ever read as a byte",
         "ldd b\nlddw w\nstdw w\nldd a\nlddw a\nldd v\nstdw q\nldd q\nhlt\n[b db 0\n[w dw 0\n"
         "[a db 1 db 2\n[v dw 1 dw 2\n[q dw 0\n",
         {"8: q is written as a word at line 7 (stdw) and read as a byte at line 8 (ldd)"}},
        {"a variable whose label reserves no byte, read first or written first",
         "ldd best\nstd best\nstdw w\nhlt\n[w\n[best\n",
         {"1: best (line 6) reserves no byte; ldd best at line 1 reads memory the program never "
          "loads",
          "3: w (line 5) reserves no byte; stdw w at line 3 writes memory the program never "
          "loads"}},
        {"a label with bytes after it, or before an org, reserves them",
         "ldd a\nldd b\nhlt\n[a\ndb 1\n[b\norg 40\nnop\n",
         {}},
        {"a word written as a byte and read as a word",
         "lddw sum\nldiw 5\naddw\nstd sum\nhlt\n[sum dw 0\n",
         {"4: sum is written as a byte at line 4 (std) and read as a word at line 1 (lddw)"}},
        {"a word written as a word and read as a byte; a low byte read beside lddw",
         "ldiw 300\nstdw sum\nldd sum\nout 0\nstdw w\nldd w\nlddw w\nhlt\n[sum dw 0\n[w dw 0\n",
         {"3: sum is written as a word at line 2 (stdw) and read as a byte at line 3 (ldd)"}},
        {"a label spelled like an instruction",
         "ldi 1\nldi 2\n[add\nout 0\nhlt\n",
         {"3: [add defines a label spelled like the instruction add: an instruction is written "
          "without ["}},
        {"a label named end",
         "ldi 1\n[end out 0\nhlt\n",
         {"2: [end defines a label named end: the source ends after this line"}},
        {"running on into a routine",
         "ldi 1\ncall f\nout 0\n[f inc\nret\n",
         {"3: out runs on into f (line 4), a routine entered only by call: a jmp, ret or hlt "
          "missing?"}},
        {"a branch before a routine still runs on into it",
         "call f\njz f2\n[f2\n[f ret\n",
         {"2: jz runs on into f (line 4), a routine entered only by call: a jmp, ret or hlt "
          "missing?"}},
        {"a routine after hlt, ret or jmp, or also jumped to",
         "call f\ncall g\ncall h\nhlt\n[f ret\n[g jmp f\n[h ret\nldi 1\n[k ret\njmp k\n",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(warnings_of(c.source), c.warnings);
    }
}

TEST(AssemblerMistakes, NoExampleMakesAWarning) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() != ".asm") continue;
        ++examples;
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        EXPECT_EQ(warnings_of(text.str()), std::vector<std::string>{});
    }
    EXPECT_GE(examples, 10);
}

}  // namespace
