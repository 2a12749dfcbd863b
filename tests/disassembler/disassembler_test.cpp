// The disassembler's promise: assembling its output gives object code that
// loads into the same program and data area as the file it read. Checked on
// every example and on thousands of random object code files, odd ones
// included; plus the shape of the output and the program's command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "assemble.hpp"
#include "disassemble.hpp"
#include "machine/loader.hpp"
#include "opcode_table.hpp"
#include "run_program.hpp"

namespace {

struct Loaded {
    std::vector<std::uint8_t> image = std::vector<std::uint8_t>(MAX_MEMORY, 0);
    WrittenSet written;
    bool refused = false;
};

Loaded load(const std::string& object_code) {
    Loaded l;
    l.refused = load_object_text(object_code, l.image.data(), &l.written).has_value();
    return l;
}

// Disassembles, assembles the result and compares what it loads; "" when
// the two areas are equal, else the first difference.
std::string round_trip(const Loaded& original) {
    const std::string source = disassemble(original.image.data(), original.written);
    AssemblyResult again = assemble_source(source);
    if (!again.ok) return "does not assemble: " + again.error_message + "\n" + source;
    if (!again.load_error.empty()) return "does not load: " + again.load_error + "\n" + source;
    for (int a = 0; a < MAX_MEMORY; ++a) {
        if (again.image[a] != original.image[a]) {
            return "address " + std::to_string(a) + ": " + std::to_string(original.image[a]) +
                   " became " + std::to_string(again.image[a]) + "\n" + source;
        }
    }
    return "";
}

// Random records packed into a small window (near address 0 or at the end
// of the area), so that they overlap, jump
// into each other and into the middle of instructions; every so often a
// token that the loader reads oddly, a record split over lines, or one
// reaching past the area.
std::string random_object_code(std::mt19937& random) {
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const int window = pick(8) == 0 ? MAX_MEMORY - 64 : pick(200);
    // Control reaches the end of the area only when something jumps there.
    std::string text = window > 200 ? "0 48 " + std::to_string(window + pick(64)) + "\n" : "";
    for (int records = pick(40); records > 0; --records) {
        const int address = window + pick(64);
        int opcode = pick(3) == 0 ? pick(256) : pick(112);
        if (pick(6) == 0) opcode = 255;
        int operand = pick(3) == 0 ? pick(65536) : window + pick(64);
        const char* blank = pick(5) == 0 ? "\n" : pick(2) ? " " : "\t ";
        text += std::to_string(pick(400) == 0 ? address + MAX_MEMORY : address) + blank;
        text += pick(30) == 0 ? std::to_string(opcode + 256) : std::to_string(opcode);
        text += blank;
        // A record takes an operand unless its opcode is one byte long; now
        // and then one is missing or too many, and the rest is read out of step.
        const bool operand_wanted =
            opcode == 255 || record_span(static_cast<std::uint8_t>(opcode)) != 1;
        if (operand_wanted != (pick(40) == 0)) {
            if (pick(30) == 0) text += '-';
            text += std::to_string(operand);
            if (pick(10) == 0) text += 'x';
        }
        text += "\n";
    }
    return text;
}

}  // namespace

TEST(Disassembler, WritesFlowAsInstructionsTheRestAsDataWithLabelsAndOrg) {
    // 0: jmp over an undefined opcode (3) and an ldi never reached (4);
    // 7: jz into the middle of itself, jmr over a byte to 14; 14: a pointer
    // to the data byte at 3, hlt; 100: a byte behind a gap.
    Loaded l = load("0 48 7  3 255 112  4 0 9  7 50 8  10 49 4  12 64  14 1 3  17 65\n100 255 7");
    ASSERT_FALSE(l.refused);
    EXPECT_EQ(disassemble(l.image.data(), l.written),
              "; Disassembled object code: the instructions reached from address 0,\n"
              "; every other byte loaded as db. Each line ends with its address.\n"
              "        jmp l0007               ; 00000 [0000]\n"
              "[l0003  db 112                  ; 00003 [0003]\n"
              "        db 0                    ; 00004 [0004]\n"
              "        db 9                    ; 00005 [0005]\n"
              "        org 7                   ; 00007 [0007]\n"
              "[l0007  jz 8                    ; 00007 [0007]\n"
              "        jmr 4                   ; 00010 [000A]\n"
              "        db 64                   ; 00012 [000C]\n"
              "        org 14                  ; 00014 [000E]\n"
              "[l000e  ldiw l0003              ; 00014 [000E]\n"
              "        hlt                     ; 00017 [0011]\n"
              "        org 100                 ; 00100 [0064]\n"
              "        db 7                    ; 00100 [0064]\n");
    EXPECT_EQ(round_trip(l), "");
}

// jmr's operand is a one-byte offset: the byte after it is no part of a
// jump target (read as a word, 5 | 1 << 8 would make the nop at 261 code).
TEST(Disassembler, AJmrOffsetIsNotReadAsAWordTarget) {
    Loaded l = load("0 49 5  2 255 1  5 65  261 64");
    const std::string source = disassemble(l.image.data(), l.written);
    EXPECT_NE(source.find("        db 64                   ; 00261 [0105]\n"), std::string::npos)
        << source;
    EXPECT_EQ(round_trip(l), "");
}

TEST(Disassembler, RoundTripsEveryExampleAndOddCornersOfTheArea) {
    std::vector<std::string> files = {
        "",
        "5 0 1",                                  // nothing at address 0
        "0 48 12286  12286 255 48  12287 255 7",  // a jmp cut off by the end of the area
        "0 48 12287  12287 65",                   // hlt in the last byte
        "0 48 12287  12287 255 49",               // a jmr cut off by the end of the area
        "0 48 12286  12286 255 49 255 47 255 7",  // jmr in the last two bytes
        "0 48 12286  12286 255 32",               // a call cut off
        "0 49 0",                                 // jmr to itself
        "0 0 1  1 0 2  2 50 1",                   // overlapping records, jz into itself
        "0 48",                                   // an operand missing at the end
        "0 32 6  3 48 0  6 33  7 112",            // call, ret, an undefined opcode after
    };
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() != ".asm") continue;
        AssemblyResult program = assemble_source(read_file(entry.path()));
        ASSERT_TRUE(program.ok) << entry.path();
        files.push_back(program.object_code);
    }
    EXPECT_GE(files.size(), 11u + 10u);  // at least ten examples
    for (const std::string& object_code : files) {
        Loaded l = load(object_code);
        ASSERT_FALSE(l.refused) << object_code;
        EXPECT_EQ(round_trip(l), "") << object_code;
    }
}

TEST(Disassembler, RoundTripsThousandsOfRandomObjectCodeFiles) {
    std::mt19937 random(14);
    int loaded = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string object_code = random_object_code(random);
        Loaded l = load(object_code);
        if (l.refused) continue;
        ++loaded;
        ASSERT_EQ(round_trip(l), "") << "object code:\n" << object_code;
    }
    EXPECT_GT(loaded, 2000);  // most files load; the rest are refused as they should be
}

TEST(Disassembler, KeepsTheLabelsWithinTheAssemblersSymbolTable) {
    // 600 jumps to 600 different instructions: 512 get labels, the rest
    // keep their numbers, and the output still assembles.
    std::string object_code;
    for (int a = 0; a < 600 * 3; a += 3)
        object_code += std::to_string(a) + " 50 " + std::to_string(a + 3) + "\n";
    object_code += "1800 65\n";
    Loaded l = load(object_code);
    EXPECT_EQ(round_trip(l), "");
    const std::string source = disassemble(l.image.data(), l.written);
    int labels = 0;
    for (std::size_t at = 0; (at = source.find("\n[", at)) != std::string::npos; ++at) ++labels;
    EXPECT_EQ(labels, 512);
}

TEST(Disassembler, CommandLine) {
    TempDir dir;
    write_file(dir.file("p.hx"), "0 0 5\n2 9 0\n4 65\n");
    write_file(dir.file("far.hx"), "12286 48 0\n");
    write_file(dir.file("long.hx"), "00000000000000000001 65\n");
    const std::string program_text =
        "; Disassembled object code: the instructions reached from address 0,\n"
        "; every other byte loaded as db. Each line ends with its address.\n"
        "        ldi 5                   ; 00000 [0000]\n"
        "        out 0                   ; 00002 [0002]\n"
        "        hlt                     ; 00004 [0004]\n";
    struct Case {
        std::vector<std::string> arguments;
        std::string output, errors;
        int status;
    };
    const Case cases[] = {
        {{"p.hx"}, program_text, "", 0},
        {{"-o", "p.asm", "p.hx"}, "", "", 0},
        {{"far.hx"}, "", "\nERROR\nObject code address out of range : 12286\n", 1},
        {{"long.hx"}, "", "\nERROR\nObject code token too long : 0000000000000000000...\n", 1},
        {{"missing.hx"}, "", "\nERROR\nFile not found\n", 1},
        {{"."}, "", "\nERROR\nFile not found\n", 1},
        {{"-o", "no/such/dir.asm", "p.hx"},
         "",
         "disassembler: cannot write the output file 'no/such/dir.asm': No such file or "
         "directory\n",
         1},
        {{}, "", "disassembler: no object code file\n", 2},
        {{"p.hx", "p.hx"}, "", "disassembler: more than one object code file\n", 2},
        {{"-x", "p.hx"}, "", "disassembler: unknown option '-x'\n", 2},
        {{"p.hx", "-o"}, "", "disassembler: option '-o' needs an argument\n", 2},
    };
    const std::string usage = "Usage: disassembler [-o OUTPUT] OBJECT_FILE\n";
    for (const Case& c : cases) {
        RunResult r = run_program(DISASSEMBLER_PATH, c.arguments, "", dir.path);
        const std::string what = c.arguments.empty() ? "(none)" : c.arguments.back();
        EXPECT_EQ(r.exit_status, c.status) << what;
        EXPECT_EQ(r.output, c.output) << what;
        // Without arguments standard error is not collected.
        if (!c.arguments.empty()) {
            EXPECT_EQ(r.errors, c.errors + (c.status == 2 ? usage : "")) << what;
        }
    }
    EXPECT_EQ(read_file(dir.file("p.asm")), program_text);
}
