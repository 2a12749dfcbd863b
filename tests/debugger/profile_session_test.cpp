// The debugger's profile command through a pipe. On every example, at the
// end of the run and after going back into it, the annotated lines add up to
// the run's counts and so do the callgrind file's cost lines (and, where
// callgrind_annotate is installed, what it reads from the file). Then one
// session on a small program pins the text, the refusals and the file.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "run_program.hpp"

namespace {

using Counts = std::pair<unsigned long long, unsigned long long>;  // instructions, clocks

// The first two numbers after `pattern`'s group in text (commas dropped).
Counts counts_after(const std::string& text, const std::string& pattern) {
    std::smatch m;
    EXPECT_TRUE(std::regex_search(
        text, m, std::regex(pattern + "([0-9,]+)[^0-9]+(?:100\\.0%\\) +)?([0-9,]+)")))
        << pattern << " in\n"
        << text;
    auto number = [](std::string digits) {
        std::erase(digits, ',');
        return digits.empty() ? 0ull : std::stoull(digits);
    };
    return m.empty() ? Counts{} : Counts{number(m[1]), number(m[2])};
}

// Lines of two numbers and a rest added up, up to the first blank line
// after `from`; a line after calls= (a call's inclusive cost) is left out.
Counts sum_lines(const std::string& text, const std::string& from, const std::regex& line) {
    Counts sum;
    std::istringstream in(text.substr(std::min(text.find(from), text.size())));
    bool after_calls = false;
    for (std::string l; std::getline(in, l) && !l.empty();) {
        if (std::smatch m; std::regex_match(l, m, line) && !after_calls) {
            sum.first += std::stoull(m[1]);
            sum.second += std::stoull(m[2]);
        }
        after_calls = l.starts_with("calls=");
    }
    return sum;
}

constexpr const char* EXAMPLE_SCRIPT =
    "continue\necho =end\nprofile\nregs\nprofile end.cg\n"
    "goto 9\necho =part\nprofile\nregs\nprofile part.cg\necho =done\n";

std::string find_in_path(const std::string& name) {
    std::istringstream path(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "");
    for (std::string folder; std::getline(path, folder, ':');) {
        folder.append("/").append(name);
        if (file_exists(folder)) return folder;
    }
    return "";
}

// At the end of the run and back at instruction 9: the annotated lines, the
// head line and the callgrind file's summary and own cost lines all add up
// to the counts regs shows. callgrind_annotate, where installed, reads the
// file without a complaint: its totals and the top level's inclusive cost
// (its own and the calls= lines) are the run's counts.
TEST(ProfileSession, AddsUpToTheRunOnEveryExample) {
    std::string annotate = find_in_path("callgrind_annotate");
    if (annotate.empty()) std::printf("SKIPPED: callgrind_annotate (valgrind) is not installed\n");
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() != ".asm") continue;
        ++examples;
        SCOPED_TRACE(entry.path().filename().string());
        TempDir dir;
        std::filesystem::copy_file(entry.path(), dir.file("prog.asm"));
        RunResult run =
            run_program(DEBUGGER_PATH, std::string("prog.asm\n") + EXAMPLE_SCRIPT, dir.path);
        ASSERT_EQ(run.exit_status, 0);
        for (const char* part : {"end", "part"}) {
            std::string text = echo_section(run.output, part);
            Counts counts = counts_after(text, "instructions=");
            EXPECT_NE(counts.first, 0u);
            EXPECT_EQ(counts_after(text, "^profile of the run so far: "), counts);
            EXPECT_EQ(sum_lines(text, "    count", std::regex(" *([0-9]+) +([0-9]+)  .*")), counts);
            std::string file_name = std::string(part) + ".cg";
            std::string file = read_file(dir.file(file_name));
            EXPECT_EQ(counts_after(file, "\nsummary: "), counts);
            EXPECT_EQ(sum_lines(file, "fl=", std::regex("[0-9]+ ([0-9]+) ([0-9]+)")), counts);
            if (annotate.empty()) continue;
            RunResult read = run_program(annotate, {"--inclusive=yes", file_name}, "", dir.path);
            EXPECT_EQ(read.exit_status, 0);
            EXPECT_EQ(read.errors, "");
            EXPECT_EQ(counts_after(read.output, "-\n *"), counts);  // PROGRAM TOTALS
            EXPECT_EQ(counts_after(read.output, "file:function\n-+\n *"), counts);
            EXPECT_NE(read.output.find("  prog.asm:(top level)\n"), std::string::npos);
        }
    }
    EXPECT_GE(examples, 10);
}

constexpr const char* PROGRAM = R"(; counts n down from 2 in a subroutine
        ldi 2
        std n
[loop   call down
        jnz loop
        hlt
[down   ldd n
        dec
        std n           ; Z = 1 at 0
        ret
[n      db 0
)";

// Inside the second call to down: the call is counted, its cost so far is
// nothing yet.
constexpr const char* IN_THE_SECOND_CALL = R"(profile of the run so far: 9 instructions, 35 clocks
    count     clocks  line
                          1: ; counts n down from 2 in a subroutine
        1          3      2:         ldi 2
        1          4      3:         std n
        2          8      4: [loop   call down
        1          5      5:         jnz loop
    #####                 6:         hlt
        1          4      7: [down   ldd n
        1          4      8:         dec
        1          4      9:         std n           ; Z = 1 at 0
        1          3     10:         ret
                         11: [n      db 0

costliest lines:
    clocks       %     count  line
         8   22.9%         2      4: [loop   call down
         5   14.3%         1      5:         jnz loop
         4   11.4%         1      3:         std n
         4   11.4%         1      7: [down   ldd n
         4   11.4%         1      8:         dec
         4   11.4%         1      9:         std n           ; Z = 1 at 0
         3    8.6%         1      2:         ldi 2
         3    8.6%         1     10:         ret

subroutines, with what they call:
    calls instructions     clocks       % own clocks  subroutine
        2            4         15   42.9%         15  down
)";

constexpr const char* FILES =
    R"(profile written to 'out.cg' in callgrind format (15 instructions, 55 clocks)
not written: 'prog.asm' is the program's source
not written: 'prog.hx' is the program's object code
cannot write '.': Is a directory
)";

// After the header and the file's name: the top level's own costs by line,
// its calls to down (at line 4, down at line 7, 8 instructions and 30
// clocks in all), then down's own.
constexpr const char* CALLGRIND_BODY =
    "fn=(top level)\n2 1 3\n3 1 4\n4 2 8\n5 2 10\n6 1 0\n"
    "cfn=down\ncalls=2 7\n4 8 30\n"
    "fn=down\n7 2 8\n8 2 8\n9 2 8\n10 2 6\n";

TEST(ProfileSession, PinsTheProfileOfASmallProgram) {
    TempDir dir;
    write_file(dir.file("prog.asm"), PROGRAM);
    RunResult run = run_program(DEBUGGER_PATH,
                                "prog.asm\nbreak down\ncontinue\ncontinue\necho =second\nprofile\n"
                                "echo =on\ndelete\ncontinue\necho =files\nprofile out.cg\n"
                                "profile prog.asm\nprofile prog.hx\nprofile .\necho =end\n",
                                dir.path);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(echo_section(run.output, "second"), IN_THE_SECOND_CALL);
    EXPECT_EQ(echo_section(run.output, "files"), FILES);
    std::string expected =
        "# callgrind format\nversion: 1\ncreator: debugger profile\n"
        "cmd: prog.asm\npositions: line\nevents: Instructions Clocks\n"
        "summary: 15 55\n\nfl=";
    expected += std::filesystem::canonical(dir.path).string() + "/prog.asm\n" + CALLGRIND_BODY;
    EXPECT_EQ(read_file(dir.file("out.cg")), expected);

    // Object code: addresses in place of lines and subroutine names, ???
    // as the file.
    ASSERT_EQ(run_program(assembler_path(), "prog.asm\n", dir.path).exit_status, 0);
    run = run_program(DEBUGGER_PATH, "prog.hx\ncontinue\nprofile\nprofile obj.cg\n", dir.path);
    EXPECT_NE(run.output.find("        2          8  000C  ldd 20\n"), std::string::npos);
    EXPECT_NE(run.output.find("        2            8         30   54.5%         30  000C\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(read_file(dir.file("obj.cg"))
                  .find("positions: instr\nevents: Instructions Clocks\nsummary: 15 55\n\nfl=???\n"
                        "fn=(top level)\n0x0000 1 3\n"),
              std::string::npos);
}

// A subroutine that calls itself three deep: callgrind_annotate's inclusive
// cost of it (the arcs into it added up) is the text profile's, the
// recursive call's arc carrying nothing of its own.
TEST(ProfileSession, RecursionKeepsItsInclusiveCostInTheCallgrindFile) {
    std::string annotate = find_in_path("callgrind_annotate");
    TempDir dir;
    write_file(dir.file("prog.asm"),
               "        ldi 3\n        std n\n        call down\n        hlt\n"
               "[down   ldd n\n        dec\n        std n\n        jz done\n"
               "        call down\n[done   ret\n[n      db 0\n");
    RunResult run =
        run_program(DEBUGGER_PATH, "prog.asm\ncontinue\nprofile\nprofile rec.cg\n", dir.path);
    ASSERT_EQ(run.exit_status, 0);
    // 3 calls; each runs ldd, dec, std, jz and ret, the outer two a call too.
    std::smatch m;
    EXPECT_TRUE(std::regex_search(run.output, m, std::regex("\n +3 +([0-9]+) +68 [^\n]*  down\n")))
        << run.output;
    EXPECT_EQ(m.empty() ? "" : m[1].str(), "17");
    std::string file = read_file(dir.file("rec.cg"));
    EXPECT_NE(file.find("fn=down\n"), std::string::npos);
    EXPECT_NE(file.find("cfn=down\ncalls=2 5\n9 0 0\n"), std::string::npos) << file;
    EXPECT_NE(file.find("cfn=down\ncalls=1 5\n3 17 "), std::string::npos) << file;
    if (annotate.empty()) {
        std::printf("SKIPPED: callgrind_annotate (valgrind) is not installed\n");
        return;
    }
    RunResult read = run_program(annotate, {"--inclusive=yes", "rec.cg"}, "", dir.path);
    EXPECT_EQ(read.exit_status, 0);
    ASSERT_TRUE(
        std::regex_search(read.output, m, std::regex("\n *([0-9,]+) [^\n]*prog\\.asm:down\n")))
        << read.output;
    EXPECT_EQ(m[1].str(), "17") << read.output;
}

}  // namespace
