// The debugger's profile command through a pipe. On every example, at the
// end of the run and after going back into it, the annotated lines add up to
// the run's counts and so do the callgrind file's cost lines (and, where
// callgrind_annotate is installed, what it reads from the file). Then one
// session on a small program pins the text, the refusals and the file.
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run_program.hpp"

namespace {

struct Counts {
    unsigned long long instructions = 0;
    unsigned long long clocks = 0;
    bool operator==(const Counts&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Counts& c) {
    return out << c.instructions << " instructions, " << c.clocks << " clocks";
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// The output between "echo =name" and the next "=" mark.
std::string section(const std::string& output, const std::string& name) {
    std::size_t start = output.find("=" + name + "\n");
    if (start == std::string::npos) return "";
    start += name.size() + 2;
    std::size_t end = output.find("\n=", start - 1);
    return output.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
}

Counts regs_counts(const std::string& text) {
    std::smatch m;
    EXPECT_TRUE(std::regex_search(text, m, std::regex("instructions=([0-9]+) clocks=([0-9]+)")))
        << text;
    return m.empty() ? Counts{} : Counts{std::stoull(m[1]), std::stoull(m[2])};
}

// The annotated lines' counts added up: from the column heads to the first
// blank line; "#####" and blank counts add nothing.
Counts annotated_sum(const std::string& text) {
    Counts sum;
    bool inside = false;
    static const std::regex counted(" *([0-9]+) +([0-9]+)  .*");
    for (const std::string& line : split(text)) {
        if (line.starts_with("    count     clocks  ")) {
            inside = true;
        } else if (inside && line.empty()) {
            break;
        } else if (std::smatch m; inside && std::regex_match(line, m, counted)) {
            sum.instructions += std::stoull(m[1]);
            sum.clocks += std::stoull(m[2]);
        }
    }
    return sum;
}

// The callgrind file's own cost lines added up (a cost line after calls= is
// the call's inclusive cost, not counted again), and its summary.
void expect_callgrind_totals(const std::string& text, const Counts& run) {
    Counts sum;
    Counts summary;
    bool after_calls = false;
    static const std::regex cost("(0x[0-9A-F]+|[0-9]+) ([0-9]+) ([0-9]+)");
    for (const std::string& line : split(text)) {
        std::smatch m;
        if (line.starts_with("summary: ")) {
            std::istringstream(line.substr(9)) >> summary.instructions >> summary.clocks;
        } else if (line.starts_with("calls=")) {
            after_calls = true;
        } else if (std::regex_match(line, m, cost)) {
            if (!after_calls) {
                sum.instructions += std::stoull(m[2]);
                sum.clocks += std::stoull(m[3]);
            }
            after_calls = false;
        } else {
            EXPECT_FALSE(after_calls) << "calls= without its cost line: " << line;
        }
    }
    EXPECT_EQ(summary, run);
    EXPECT_EQ(sum, run);
}

constexpr const char* EXAMPLE_SCRIPT =
    "continue\necho =end\nprofile\nregs\nprofile end.cg\n"
    "goto 9\necho =part\nprofile\nregs\nprofile part.cg\necho =done\n";

TEST(ProfileSession, AddsUpToTheRunOnEveryExample) {
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
            std::string text = section(run.output, part);
            Counts counts = regs_counts(text);
            EXPECT_NE(counts.instructions, 0u);
            EXPECT_EQ(annotated_sum(text), counts) << text;
            std::ostringstream head;
            head << "profile of the run so far: " << counts << "\n";
            EXPECT_TRUE(text.starts_with(head.str())) << text;
            expect_callgrind_totals(read_file(dir.file(std::string(part) + ".cg")), counts);
        }
    }
    EXPECT_GE(examples, 10);
}

// callgrind_annotate reads every example's file without a complaint; its
// program totals and the top level's inclusive cost (which adds up the
// calls= lines) are the run's counts.
TEST(ProfileSession, CallgrindAnnotateReadsTheFile) {
    std::string tool;
    std::istringstream path(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "");
    for (std::string folder; std::getline(path, folder, ':') && tool.empty();) {
        if (file_exists(folder + "/callgrind_annotate")) tool = folder + "/callgrind_annotate";
    }
    if (tool.empty()) GTEST_SKIP() << "SKIPPED: callgrind_annotate is not installed (valgrind)";
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() != ".asm") continue;
        SCOPED_TRACE(entry.path().filename().string());
        TempDir dir;
        std::filesystem::copy_file(entry.path(), dir.file("prog.asm"));
        RunResult run =
            run_program(DEBUGGER_PATH, "prog.asm\ncontinue\nregs\nprofile p.cg\n", dir.path);
        Counts counts = regs_counts(run.output);
        RunResult annotated = run_program(tool, {"--inclusive=yes", "p.cg"}, "", dir.path);
        EXPECT_EQ(annotated.exit_status, 0);
        EXPECT_EQ(annotated.errors, "");
        std::smatch m;
        ASSERT_TRUE(std::regex_search(annotated.output, m,
                                      std::regex("\n *([0-9,]+) \\(100.0%\\) +([0-9,]+) "
                                                 "\\(100.0%\\)  PROGRAM TOTALS\n")));
        auto number = [](std::string text) {
            std::erase(text, ',');
            return std::stoull(text);
        };
        EXPECT_EQ((Counts{number(m[1]), number(m[2])}), counts);
        ASSERT_TRUE(std::regex_search(annotated.output, m,
                                      std::regex("\n *([0-9,]+) \\(100.0%\\) +([0-9,]+) "
                                                 "\\(100.0%\\)  prog.asm:\\(top level\\)\n")))
            << annotated.output;
        EXPECT_EQ((Counts{number(m[1]), number(m[2])}), counts);
    }
}

constexpr const char* PROGRAM =
    "; doubles 3, 2 and 1 in a subroutine\n"
    "        ldi 3\n"
    "        std n\n"
    "[loop   ldd n\n"
    "        call double\n"
    "        out 0\n"
    "        ldd n\n"
    "        dec\n"
    "        std n\n"
    "        jnz loop\n"
    "        hlt\n"
    "[double stdw dret       ; keep the return address\n"
    "        std x\n"
    "        ldd x\n"
    "        ldd x\n"
    "        add\n"
    "        lddw dret\n"
    "        ret\n"
    "[n      db 0\n"
    "[x      db 0\n"
    "[dret   dw 0\n";

// Inside the second call to double: the call is counted, its cost so far
// is not yet anything.
constexpr const char* IN_THE_SECOND_CALL = R"(profile of the run so far: 18 instructions, 74 clocks
    count     clocks  line
                          1: ; doubles 3, 2 and 1 in a subroutine
        1          3      2:         ldi 3
        1          4      3:         std n
        2          8      4: [loop   ldd n
        2          8      5:         call double
        1          3      6:         out 0
        1          4      7:         ldd n
        1          4      8:         dec
        1          4      9:         std n
        1          5     10:         jnz loop
    #####                11:         hlt
        1          5     12: [double stdw dret       ; keep the return address
        1          4     13:         std x
        1          4     14:         ldd x
        1          4     15:         ldd x
        1          6     16:         add
        1          5     17:         lddw dret
        1          3     18:         ret
                         19: [n      db 0
                         20: [x      db 0
                         21: [dret   dw 0

costliest lines:
    clocks       %     count  line
         8   10.8%         2      4: [loop   ldd n
         8   10.8%         2      5:         call double
         6    8.1%         1     16:         add
         5    6.8%         1     10:         jnz loop
         5    6.8%         1     12: [double stdw dret       ; keep the return address
         5    6.8%         1     17:         lddw dret
         4    5.4%         1      3:         std n
         4    5.4%         1      7:         ldd n
         4    5.4%         1      8:         dec
         4    5.4%         1      9:         std n

subroutines, with what they call:
    calls instructions     clocks       % own clocks  subroutine
        2            7         31   41.9%         31  double
)";

constexpr const char* AT_THE_END = R"(subroutines, with what they call:
    calls instructions     clocks       % own clocks  subroutine
        3           21         93   50.5%         93  double
not written: 'prog.asm' is the program's source
not written: 'prog.hx' is the program's object code
cannot write '.': Is a directory
profile written to 'out.cg' in callgrind format (45 instructions, 184 clocks)
)";

constexpr const char* CALLGRIND_FILE = R"(# callgrind format
version: 1
creator: debugger profile
cmd: prog.asm
positions: line
events: Instructions Clocks
summary: 45 184

fl=DIR/prog.asm
fn=(top level)
2 1 3
3 1 4
4 3 12
5 3 12
6 3 9
7 3 12
8 3 12
9 3 12
10 3 15
11 1 0
cfn=double
calls=3 12
5 21 93
fn=double
12 3 15
13 3 12
14 3 12
15 3 12
16 3 18
17 3 15
18 3 9
)";

TEST(ProfileSession, PinsTheProfileOfASmallProgram) {
    TempDir dir;
    write_file(dir.file("prog.asm"), PROGRAM);
    RunResult run =
        run_program(DEBUGGER_PATH,
                    "prog.asm\nbreak double\ncontinue\ncontinue\necho =second\n"
                    "profile\necho =on\ndelete\ncontinue\necho =end\nprofile\nprofile prog.asm\n"
                    "profile prog.hx\nprofile .\nprofile out.cg\necho =start\ngoto 3\n"
                    "profile\necho =done\n",
                    dir.path);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(section(run.output, "second"), IN_THE_SECOND_CALL);
    EXPECT_TRUE(section(run.output, "end").ends_with(AT_THE_END)) << section(run.output, "end");
    std::string expected = CALLGRIND_FILE;
    std::string canonical = std::filesystem::canonical(dir.path).string();
    expected.replace(expected.find("DIR"), 3, canonical);
    EXPECT_EQ(read_file(dir.file("out.cg")), expected);
    // Back at instruction 3: counted again from the start, up to there.
    std::string start = section(run.output, "start");
    EXPECT_NE(start.find("profile of the run so far: 3 instructions, 11 clocks\n"),
              std::string::npos)
        << start;
    EXPECT_NE(start.find("        1          4      4: [loop   ldd n\n"
                         "    #####                 5:         call double\n"),
              std::string::npos);
    EXPECT_TRUE(start.ends_with("subroutines, with what they call:\n  none: no call ran\n"));

    // Object code: addresses in place of lines, and ??? as the file.
    ASSERT_EQ(run_program(assembler_path(), "prog.asm\n", dir.path).exit_status, 0);
    run = run_program(DEBUGGER_PATH, "prog.hx\ncontinue\nprofile\nprofile obj.cg\n", dir.path);
    EXPECT_NE(run.output.find("        3         18  0024  add\n"), std::string::npos);
    EXPECT_NE(run.output.find("        3           21         93   50.5%         93  0018\n"),
              std::string::npos)
        << run.output;
    std::string object_file = read_file(dir.file("obj.cg"));
    EXPECT_NE(object_file.find("positions: instr\n"), std::string::npos);
    EXPECT_NE(object_file.find("fl=???\nfn=(top level)\n0x0000 1 3\n"), std::string::npos);
    EXPECT_NE(object_file.find("cfn=0018\ncalls=3 0x0018\n0x0008 21 93\n"), std::string::npos);
}

}  // namespace
