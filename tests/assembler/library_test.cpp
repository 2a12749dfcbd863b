// The assembler library in memory: the image, written set, symbols and line
// map of a source, errors as values with their line, the loader's rules, and
// agreement with the program on what it prints and leaves on disk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assemble.hpp"
#include "run_assembler.hpp"

namespace {

TEST(AssemblyLibrary, ImageWrittenSetSymbolsAndLineMap) {
    const std::string source =
        "; demo\norg 100\n[start\nldi 5\njmp start\ndb 300\ndw 70000\n[after\n";
    AssemblyResult r = assemble_source(source);
    ASSERT_TRUE(r.ok) << r.error_message;
    EXPECT_EQ(r.error_line, 0);
    EXPECT_EQ(r.load_error, "");
    EXPECT_EQ(r.listing,
              "    0: ;   d e m o \n    0: \n  100: \n  100: ldi 5 \n  102: jmp start \n"
              "  105: \n  106: \n  108: \n\nSymbol table\n  100:                start\n"
              "  108:                after\n");
    EXPECT_EQ(r.object_code, "100 0 5 \n102 48 100 \n105 255 300\n106 255 112\n107 255 273\n");
    ASSERT_EQ(r.symbols.size(), 2u);
    EXPECT_EQ(std::string(r.symbols[1].name) + "=" + std::to_string(r.symbols[1].value),
              "after=108");

    // address, byte, source line
    const int placed[][3] = {{100, 0, 4}, {101, 5, 4},  {102, 48, 5},  {103, 100, 5},
                             {104, 0, 5}, {105, 44, 6}, {106, 112, 7}, {107, 17, 7}};
    for (const auto& p : placed) {
        EXPECT_EQ(r.image[p[0]], p[1]) << p[0];
        EXPECT_TRUE(r.written[p[0]]) << p[0];
        EXPECT_EQ(r.source_line_of_address[p[0]], p[2]) << p[0];
    }
    EXPECT_EQ(r.written.count(), 8u);
    EXPECT_EQ(r.source_line_of_address[99] + r.source_line_of_address[108], 0);

    // A second run in the same process starts from nothing left by the first.
    AssemblyResult again = assemble_source(source);
    EXPECT_EQ(again.listing, r.listing);
    EXPECT_EQ(again.object_code, r.object_code);
    EXPECT_EQ(again.image, r.image);
    EXPECT_EQ(again.written, r.written);
    EXPECT_EQ(again.source_line_of_address, r.source_line_of_address);
    EXPECT_EQ(again.symbols.size(), 2u);
}

TEST(AssemblyLibrary, ErrorsComeBackWithTheirLine) {
    struct Case {
        std::string source, message;
        int line;
    } cases[] = {
        {"nop\n\nldi 5 ?\n", "\nERROR\nLine 3 have syntax error\n", 3},
        {"nop\norg\n", "\nERROR\nLine 2 : ORG syntax error\n", 2},
        {"[a\nnop\njmp a\njmp gone\n", "\nERROR\nCan not find symbol [gone]\n", 4},
        {"[x\n[x\njmp x\n", "\nERROR\nLine 3 : symbol [x] defined more than once\n", 3},
    };
    for (const Case& c : cases) {
        AssemblyResult r = assemble_source(c.source);
        EXPECT_FALSE(r.ok) << c.source;
        EXPECT_EQ(r.error_message, c.message);
        EXPECT_EQ(r.error_line, c.line) << c.source;
        EXPECT_EQ(r.written.count(), 0u) << c.source;
    }
    // Assembled, but the simulator would refuse to load it.
    AssemblyResult r = assemble_source("ldi 1\norg 12286\nldiw 5\n");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.load_error, "\nERROR\nObject code address out of range : 12286\n");
    EXPECT_EQ(r.written.count(), 0u);
}

TEST(AssemblyLibrary, ObjectTextLoadsByTheLoadersRules) {
    struct Case {
        std::string text, error;
        std::vector<std::pair<int, int>> bytes;  // every address written, with its byte
    } cases[] = {
        // Any spacing; values truncated to 8 bits; opcode 12 is an empty slot and
        // takes a two-byte operand, here missing at the end of the text.
        {"10 1 300 \n 20 255 -1\t30 64 40 12",
         "",
         {{10, 1}, {11, 44}, {12, 1}, {20, 255}, {30, 64}, {40, 12}}},
        // Opcode 200 has no slot (length 1); 511 is the data marker on its low 8 bits.
        {"0 200 1 511 9 0 255 7", "", {{0, 7}, {1, 9}}},
        {"12286 1 5", "\nERROR\nObject code address out of range : 12286\n", {}},
        {"5 255 1 -1 64", "\nERROR\nObject code address out of range : -1\n", {{5, 1}}},
        {"12345678901234567890 1",
         "\nERROR\nObject code token too long : 1234567890123456789...\n",
         {}},
        {"", "", {}},
    };
    for (const Case& c : cases) {
        std::uint8_t image[MAX_MEMORY] = {};
        WrittenSet written;
        std::optional<Stop> refused = load_object_text(c.text, image, &written);
        EXPECT_EQ(refused ? stop_message(*refused) : "", c.error) << c.text;
        std::vector<std::pair<int, int>> bytes;
        for (int at = 0; at < MAX_MEMORY; ++at) {
            if (written[at])
                bytes.emplace_back(at, image[at]);
            else
                EXPECT_EQ(image[at], 0) << at;
        }
        EXPECT_EQ(bytes, c.bytes) << c.text;
    }
}

// What the program prints and leaves on disk, composed from the library's
// result: pass 2 runs (and prints its heading) unless pass 1 failed, and a
// pass-2 error always leaves a started record behind.
TEST(AssemblyLibrary, AgreesWithTheProgram) {
    const std::string sources[] = {
        "; demo\norg 100\n[start\nldi 5\njmp start\ndb 7\ndw 1000\nend\nnop\n",
        "[end nop\nnop",
        "ldi 0300\nldi 5 6\nLDI 12ab\n[Loop\tJmP LOOP",
        "db 5 6\ndb 5 org 9\ndw 1 2x\njmp gone\n",
        "org 4294967295\nnop\nnop\norg 9999999999999999999\n[x jmp x\n",
        "nop" + std::string(252, ' ') + "hlt\n?\n",
        "[x\nnop\n[x\njmp x\n",
        "ldi\t\t5\n",
        "nop\n[9x\n",
        "\ndw\n",
        "nop\nldi 12345678901234567890\n",
        "",
    };
    for (const std::string& source : sources) {
        SCOPED_TRACE(source.substr(0, 40));
        TempDir dir;
        ProgramRun program = assemble(dir, source);
        AssemblyResult r = assemble_source(source);
        bool reached_pass2 = r.ok || !r.object_code.empty();
        EXPECT_EQ(program.run.output,
                  PROMPT + r.listing + (reached_pass2 ? "\n-pass2-\n" : "") + r.error_message);
        EXPECT_EQ(program.run.exit_status, r.ok ? 0 : 255);
        // A failed run's object code stays in memory, never on disk.
        EXPECT_EQ(program.object, r.ok ? r.object_code : NO_FILE);
        EXPECT_EQ(program.pass1, r.ok ? NO_FILE : r.pass1_text);
    }
}

}  // namespace
