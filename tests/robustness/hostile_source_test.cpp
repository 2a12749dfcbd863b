// The assembler against hostile input: sources with NUL bytes, very long
// lines, thousands of labels and references, names and operands at and past
// every length limit, no final line feed, binary garbage; and source names
// that cannot be read or whose pass-1 file cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>
#include <string>

#include "run_program.hpp"

namespace fs = std::filesystem;

namespace {

const std::string PROMPT = "Stack machine assembler ? ";
const std::string NOT_FOUND_TWICE = PROMPT + "\n File not found\n\n-pass2-\n\n File not found\n";

struct Assembly {
    RunResult run;
    std::string object;  // "" when not written
    bool pass1_left;
};

Assembly assemble(const std::string& source) {
    TempDir dir;
    write_file(dir.file("prog.asm"), source);
    Assembly a{run_program(assembler_path(), "prog.asm\n", dir.path), "", false};
    if (file_exists(dir.file("prog.hx"))) a.object = read_file(dir.file("prog.hx"));
    a.pass1_left = file_exists(dir.file("prog.ps1"));
    return a;
}

// Output of a source that stops with message at the end.
std::string error_tail(const std::string& message) { return "\nERROR\n" + message + "\n"; }

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(HostileSource, NulBytesEndTheLineTheyStandIn) {
    Assembly a = assemble(std::string("nop\0hlt\n\0ldi 5\nhlt\n", 19));
    EXPECT_EQ(a.run.output,
              PROMPT + "    0: nop \n    1: \n    1: hlt \n\nSymbol table\n\n-pass2-\n");
    EXPECT_EQ(a.object, "0 64 \n1 65 \n");
    EXPECT_EQ(a.run.exit_status, 0);

    // A NUL does not stop the 255-character piece around it: the rest of
    // the line after the piece is a line of its own.
    Assembly b = assemble(std::string("nop\0", 4) + std::string(300, 'x') + "\nhlt\n");
    EXPECT_EQ(b.run.output, PROMPT + "    0: nop \n    1: " + std::string(49, 'x') +
                                " \n    1: hlt \n\nSymbol table\n\n-pass2-\n");
    EXPECT_EQ(b.object, "0 64 \n1 65 \n");
}

TEST(HostileSource, VeryLongLinesAreReadIn255CharacterPieces) {
    // 64 KB of "nop ": every piece holds the nops that lie wholly inside it;
    // a nop cut by a piece boundary leaves two stray names.
    std::string line;
    while (line.size() < 65536) line += "nop ";
    std::string expected_object;
    int address = 0;
    int pieces = 0;
    std::string text = line + "\n";
    for (std::size_t at = 0; at < text.size(); at += 255, ++pieces) {
        std::string piece = text.substr(at, 255);
        for (std::size_t p = 0; (p = piece.find("nop", p)) != std::string::npos; p += 3) {
            bool whole = (p == 0 || piece[p - 1] == ' ') &&
                         (p + 3 == piece.size() || piece[p + 3] == ' ' || piece[p + 3] == '\n');
            if (whole) expected_object += std::to_string(address++) + " 64 \n";
        }
    }
    Assembly a = assemble(line + "\n");
    EXPECT_EQ(a.run.exit_status, 0);
    EXPECT_EQ(a.object, expected_object);
    std::size_t listed = 0;
    for (std::size_t p = a.run.output.find(": "); p != std::string::npos;
         p = a.run.output.find(": ", p + 1)) {
        ++listed;
    }
    EXPECT_EQ(listed, static_cast<std::size_t>(pieces));

    // A megabyte of blanks, then hlt: pieces of nothing.
    Assembly blank = assemble(std::string(1 << 20, ' ') + "hlt\n");
    EXPECT_EQ(blank.run.exit_status, 0);
    EXPECT_EQ(blank.object, "0 65 \n");

    // A name that runs on for a kilobyte is too long in its first piece.
    Assembly name = assemble("nop\n" + std::string(1024, 'a') + "\n");
    EXPECT_TRUE(ends_with(name.run.output, error_tail("Line 2 : token too long")));
    EXPECT_EQ(name.run.exit_status, 255);
}

TEST(HostileSource, ThousandsOfLabelReferences) {
    // A full table of 512 labels and 4000 jumps to them, forward and back.
    std::string source;
    std::string expected;
    std::mt19937 random(3);
    int address = 0;
    for (int i = 0; i < 512; ++i) {
        source += "[label" + std::to_string(i) + " nop\n";
        expected += std::to_string(address++) + " 64 \n";
    }
    for (int i = 0; i < 4000; ++i) {
        int target = static_cast<int>(random() % 512);
        source += "jmp LABEL" + std::to_string(target) + "\n";
        expected += std::to_string(address) + " 48 " + std::to_string(target) + " \n";
        address += 3;
    }
    Assembly a = assemble(source);
    EXPECT_EQ(a.run.exit_status, 0);
    EXPECT_EQ(a.object, expected);
    EXPECT_FALSE(a.pass1_left);
}

TEST(HostileSource, LengthLimitsOfLabelsNamesAndOperands) {
    const std::string name19(19, 'q');
    const std::string name20(20, 'q');
    // At the limits: accepted.
    Assembly fits = assemble("[" + name19 + "\njmp " + name19 +
                             "\nldi 1234567890123456789\n"
                             "org 1234567890123456789\ndb 7 " +
                             std::string(79, '9') + " " + std::string(79, 'z') + "\n");
    EXPECT_EQ(fits.run.exit_status, 0) << fits.run.output;
    EXPECT_EQ(fits.object, "0 48 0 \n3 0 1234567890123456789 \n2112454933 255 7\n");

    // Past them: each with its message and line.
    struct Case {
        std::string source;
        std::string message;
    };
    const Case cases[] = {
        {"nop\n[" + name20 + "\n", "Line 2 : label name too long"},
        // a label definition is judged as a label however long it is
        {"[" + std::string(80, 'q') + "\n", "Line 1 : label name too long"},
        {"[" + std::string(254, 'q') + "\n", "Line 1 : label name too long"},
        {"nop\nnop\n" + std::string(80, '9') + "\n", "Line 3 : token too long"},
        {"ldi " + std::string(80, '9') + "\n", "Line 1 : token too long"},
        {"db " + std::string(80, '9') + "\n", "Line 1 : operand too long"},
        {"ldi " + std::string(20, '9') + "\n", "Line 1 : operand too long"},
        {"[" + name19 + "\njmp " + name19 + "x\n", "Line 2 : operand too long"},
        {"jmp " + name19 + "\n", "Can not find symbol [" + name19 + "]"},
    };
    for (const Case& c : cases) {
        Assembly a = assemble(c.source);
        EXPECT_TRUE(ends_with(a.run.output, error_tail(c.message))) << c.message << "\n"
                                                                    << a.run.output;
        EXPECT_EQ(a.run.exit_status, 255) << c.message;
        EXPECT_TRUE(a.pass1_left) << c.message;
    }
}

TEST(HostileSource, LastLineWithoutLineFeed) {
    EXPECT_EQ(assemble("jmp x\n[x").object, "0 48 3 \n");
    EXPECT_EQ(assemble("db 5").object, "0 255 5\n");
    EXPECT_EQ(assemble("nop ; the end").object, "0 64 \n");
    // Exactly 255 characters and no line feed: one piece, one line.
    Assembly a = assemble("nop" + std::string(249, ' ') + "hlt");
    EXPECT_EQ(a.object, "0 64 \n1 65 \n");
    EXPECT_EQ(a.run.output, PROMPT + "    0: nop hlt \n\nSymbol table\n\n-pass2-\n");
}

TEST(HostileSource, BinaryGarbage) {
    // Only the byte under the cursor counts as a blank: the second is an error.
    Assembly a = assemble("\xff\xfe\xfd nop\n");
    EXPECT_EQ(a.run.output, PROMPT + "    0: \xfe \nERROR\nLine 1 have syntax error\n");
    EXPECT_EQ(a.run.exit_status, 255);

    // Random bytes: every run ends with success or with one of the messages.
    const std::regex failure(
        "[^]*\nERROR\n(Line [0-9]+ (have syntax error|: [A-Za-z -]+)|Can not find symbol "
        "\\[[a-z0-9]*\\])\n");
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        std::string noise;
        // Mostly letters, digits and blanks, so that runs get past the first line.
        const std::string common = "abcdefghijklmnopqrstuvwxyz0123456789 [\n";
        for (int i = 0; i < 4000; ++i) {
            noise += random() % 8 == 0 ? static_cast<char>(random() % 256)
                                       : common[random() % common.size()];
        }
        Assembly g = assemble(noise);
        EXPECT_EQ(g.run.output.rfind(PROMPT, 0), 0u) << "seed " << seed;
        if (g.run.exit_status == 0) {
            EXPECT_FALSE(g.pass1_left) << "seed " << seed;
        } else {
            EXPECT_EQ(g.run.exit_status, 255) << "seed " << seed;
            EXPECT_TRUE(std::regex_match(g.run.output, failure)) << "seed " << seed << "\n"
                                                                 << g.run.output;
        }
    }
}

TEST(HostileSourceNames, NamesThatCannotBeRead) {
    TempDir dir;
    write_file(dir.file("prog.asm"), "nop\n");
    fs::create_symlink("loop.asm", dir.file("loop.asm"));
    std::vector<std::string> names = {" prog.asm", "prog.asm/x.asm", "loop.asm"};
    // Opens, but every read fails: the assembler's own memory at address 0.
    if (file_exists("/proc/self/mem")) names.push_back("/proc/self/mem");
    for (const std::string& name : names) {
        RunResult r = run_program(assembler_path(), name + "\n", dir.path);
        EXPECT_EQ(r.output, NOT_FOUND_TWICE) << name;
        EXPECT_EQ(r.exit_status, 255) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
}

TEST(HostileSourceNames, NamesThatAreNotANameAtAll) {
    TempDir dir;
    const std::string refused = PROMPT + "\nERROR\n Inputfile error\nprogram terminated!\n";
    for (const std::string& typed :
         {std::string("pro\0g.asm\n", 10), std::string(100000, 'a') + "\n"}) {
        RunResult r = run_program(assembler_path(), typed, dir.path);
        EXPECT_EQ(r.output, refused);
        EXPECT_EQ(r.exit_status, 255);
    }
    EXPECT_TRUE(fs::is_empty(dir.path));
}

TEST(HostileSourceNames, Pass1FileInADirectoryWhereNothingCanBeCreated) {
    // The source is readable, but its pass-1 file would be made in /proc,
    // where not even root can create a file.
    if (!file_exists("/proc/self/cmdline")) GTEST_SKIP() << "no /proc";
    TempDir dir;
    RunResult r = run_program(assembler_path(), "/proc/self/cmdline\n", dir.path);
    EXPECT_EQ(r.output,
              PROMPT + "\n File can not create for PASS1\n\n-pass2-\n\n File not found\n");
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_TRUE(fs::is_empty(dir.path));
}

}  // namespace
