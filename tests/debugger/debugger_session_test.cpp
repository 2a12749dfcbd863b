// The debugger driven through a pipe, as a script or a grader drives it.
// Over every example: its trace lines are the simulator's, back then step
// shows the same lines again, a breakpoint on each label stops exactly where
// the simulator's trace first reaches the label's address, and a watchpoint
// stops right after the instruction that changed the byte. Then one
// transcript on a small program pins every command's answer.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "run_program.hpp"

namespace {

using Lines = std::vector<std::string>;

Lines split(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// Trace lines: the only lines of a run's output that begin with a digit.
Lines trace_lines(const std::string& text) {
    Lines found;
    for (const std::string& line : split(text)) {
        if (!line.empty() && line[0] >= '0' && line[0] <= '9') found.push_back(line);
    }
    return found;
}

std::string field(const std::string& text, const std::string& name) {
    std::smatch m;
    std::regex pattern(name + "=([0-9A-F]+)");
    return std::regex_search(text, m, pattern) ? m[1].str() : "";
}

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

std::string debugger_path() { return DEBUGGER_PATH; }

// The labels of the listing's symbol table: name and address.
std::vector<std::pair<std::string, unsigned>> symbol_table(const std::string& listing) {
    std::vector<std::pair<std::string, unsigned>> symbols;
    std::size_t at = listing.find("\nSymbol table\n");
    static const std::regex entry(" *([0-9]+): +([a-z][a-z0-9_]*)");
    for (const std::string& line : split(listing.substr(at == std::string::npos ? 0 : at))) {
        std::smatch m;
        if (std::regex_match(line, m, entry)) symbols.emplace_back(m[2], std::stoul(m[1]));
    }
    return symbols;
}

TEST(DebuggerSession, MatchesTheSimulatorOnEveryExample) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() != ".asm") continue;
        ++examples;
        std::string name = entry.path().stem().string();
        SCOPED_TRACE(name);
        TempDir dir;
        std::filesystem::copy_file(entry.path(), dir.file("prog.asm"));
        RunResult assembled = run_program(assembler_path(), "prog.asm\n", dir.path);
        ASSERT_EQ(assembled.exit_status, 0);
        std::string command = "cd " + dir.path + " && " + simulator_path() +
                              " --trace sim.trace prog.hx </dev/null >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0 || !file_exists(dir.file("sim.trace"))) {
            GTEST_SKIP() << "this simulator has no --trace";
        }
        Lines reference = split(read_file(dir.file("sim.trace")));
        ASSERT_FALSE(reference.empty());
        std::size_t first = std::min<std::size_t>(reference.size(), 1000);
        Lines expected(reference.begin(), reference.begin() + static_cast<long>(first));
        std::size_t half = (first + 1) / 2;

        // The target of the first std or stdw is watched; in a program
        // without one, the first byte pushed.
        unsigned watched = 0x3FFF;
        for (const std::string& line : reference) {
            std::smatch m;
            if (std::regex_search(line, m, std::regex("^[0-9]+ [0-9A-F]{4} stdw? ([0-9]+) "))) {
                watched = static_cast<unsigned>(std::stoul(m[1]));
                break;
            }
        }
        std::vector<std::pair<std::string, unsigned>> labels = symbol_table(assembled.output);
        std::string script = "step 1000\necho =back\nback " + std::to_string(half) + "\nstep " +
                             std::to_string(half) + "\n";
        for (const auto& [label, address] : labels) {
            script.append("echo =").append(label).append("\nrun\nbreak ").append(label);
            script += "\ncontinue\nregs\ndelete\n";
        }
        script += "echo =watch\nrun\nwatch " + std::to_string(watched) + "\ncontinue\nx " +
                  std::to_string(watched) + "\nback 1\nx " + std::to_string(watched) +
                  "\necho =end\n";

        // The source named on the first line, and the object code named as
        // the argument's equivalent: both show the simulator's lines.
        RunResult source_run = run_program(debugger_path(), "prog.asm\n" + script, dir.path);
        EXPECT_EQ(source_run.exit_status, 0);
        const std::string& out = source_run.output;
        EXPECT_EQ(trace_lines(out.substr(0, out.find("\n=back\n"))), expected);
        RunResult object_run = run_program(debugger_path(), "prog.hx\nstep 1000\n", dir.path);
        EXPECT_EQ(trace_lines(object_run.output), expected);

        Lines again = trace_lines(echo_section(out, "back"));
        EXPECT_EQ(again, Lines(expected.end() - static_cast<long>(half), expected.end()));

        for (const auto& [label, address] : labels) {
            SCOPED_TRACE(label);
            std::string part = echo_section(out, label);
            // Where the simulator's trace first reaches the address after
            // the first instruction.
            std::size_t reached = 0;
            for (std::size_t k = 1; k < reference.size() && reached == 0; ++k) {
                if (reference[k].compare(reference[k].find(' ') + 1, 4, hex4(address)) == 0) {
                    reached = k;
                }
            }
            if (reached > 0) {
                EXPECT_TRUE(std::regex_search(
                    part, std::regex("\nbreakpoint [0-9]+ at [a-z_0-9+]+ \\(line [0-9]+\\)\n")))
                    << part;
                EXPECT_EQ(field(part, "PC"), hex4(address)) << part;
                EXPECT_EQ(field(part, "instructions"), std::to_string(reached)) << part;
            } else {
                EXPECT_NE(part.find("program halted"), std::string::npos) << part;
            }
        }

        // The watchpoint's stop shows the line of the instruction that
        // changed the byte; x shows the new value, and after back the old.
        std::string part = echo_section(out, "watch");
        std::smatch m;
        ASSERT_TRUE(std::regex_search(part, m,
                                      std::regex("\nwatchpoint [0-9]+: " + hex4(watched) +
                                                 ".* changed ([0-9]+) -> ([0-9]+) at line [0-9]+: "
                                                 "[a-z]+.*\n([0-9]+) ")))
            << part;
        ASSERT_LE(std::stoul(m[3]), reference.size());
        EXPECT_NE(part.find(reference[std::stoul(m[3]) - 1] + "\n"), std::string::npos) << part;
        EXPECT_NE(m[1].str(), m[2].str());
        std::size_t after = part.find(" | " + m[2].str() + "\n");
        EXPECT_NE(after, std::string::npos) << part;
        EXPECT_NE(part.find(" | " + m[1].str() + "\n", after), std::string::npos) << part;
    }
    EXPECT_GE(examples, 10);
}

// One session over a small program, answer by answer: registers, stack,
// memory, the source listing, next over a call, back and its repetition by
// an empty line, breakpoints on a label and a line, a temporary one, finish,
// a watchpoint, a stop with its message, refusal to go on, back from the
// stop, every command error, run, and quit. Then the same program as object
// code, and programs that cannot be loaded.
const char* const PROGRAM = R"(; counts down from 2, showing each count in a subroutine
        ldi 2
        std count
[again  call show
        ldd count
        dec
        std count
        jnz again
        ldi 0
        ldi 0
        div             ; stops: division by zero
        hlt
[show   ldd count
        out 0
        ret
[count  db 0
)";

const char* const SCRIPT = R"(regs
stack
step 2
x count
list
next
s
back 2

break show
tbreak :5
info breakpoints
c
info breakpoints
c
stack
finish
watch count
c
delete
c
step
back
regs
step
foo
break nowhere
break 12288
x 0x4000
step 0
list :99
delete 7
regs now
run
step
quit
regs
)";

const char* const TRANSCRIPT = R"(prog.asm: source, assembled in memory
at 0000 ldi 2
    2:         ldi 2
PC=0000 SP=0000 IR=00 (ldi) Z=0 S=0 O=0 C=0 instructions=0 clocks=0
the stack is empty
1 0000 ldi 2 | SP=3FFE Z=0 S=0 O=0 C=0 | 02
    2:         ldi 2
2 0002 std 30 | SP=3FFF Z=0 S=0 O=0 C=0 |
    3:         std count
001E (count): 02 | 2
      1  ; counts down from 2, showing each count in a subroutine
      2          ldi 2
      3          std count
=>    4  [again  call show
      5          ldd count
      6          dec
      7          std count
      8          jnz again
      9          ldi 0
3 0005 call 24 | SP=3FFD Z=0 S=0 O=0 C=0 | 08 00
    4: [again  call show
-[2 : 02h]-
6 001D ret | SP=3FFF Z=0 S=0 O=0 C=0 |
    15:         ret
7 0008 ldd 30 | SP=3FFE Z=0 S=0 O=0 C=0 | 02
    5:         ldd count
at 001D ret
    15:         ret
at 0018 (show) ldd 30
    13: [show   ldd count
breakpoint 1 at 0018 (show)
temporary breakpoint 2 at 0008
1 break 0018 (show) line 13
2 tbreak 0008 line 5
-[2 : 02h]-
temporary breakpoint 2 at again+3 (line 5)
6 001D ret | SP=3FFF Z=0 S=0 O=0 C=0 |
    15:         ret
at 0008 ldd 30
    5:         ldd count
1 break 0018 (show) line 13
breakpoint 1 at show (line 13)
11 0005 call 24 | SP=3FFD Z=0 S=0 O=0 C=0 | 08 00
    4: [again  call show
at 0018 (show) ldd 30
    13: [show   ldd count
3FFE-3FFF  return address 0008 (to line 5, after the call at line 4)
-[1 : 01h]-
returned; the stack is as deep as before the call
14 001D ret | SP=3FFF Z=0 S=0 O=0 C=0 |
    15:         ret
at 0008 ldd 30
    5:         ldd count
watchpoint 3 at 001E (count)
watchpoint 3: 001E (count) changed 1 -> 0 at line 7: std count
17 000C std 30 | SP=3FFF Z=1 S=0 O=0 C=0 |
    7:         std count
at 000F jnz 5
    8:         jnz again
deleted every breakpoint and watchpoint

ERROR
Devide by zero
at 0016 (again+17) div
    11:         div             ; stops: division by zero
the program has stopped: back or run
at 0016 div
    11:         div             ; stops: division by zero
PC=0016 SP=3FFD IR=00 (ldi) Z=1 S=0 O=0 C=0 instructions=20 clocks=75

ERROR
Devide by zero
at 0016 (again+17) div
    11:         div             ; stops: division by zero
unknown command 'foo' (help lists the commands)
unknown label 'nowhere'
address 12288 out of range (0 to 12287)
address 0x4000 out of range (0 to 16383)
'0' is not a count (a number from 1)
no source line 99 (the source has 16 lines)
no breakpoint 7
too many words for regs
started again from reset
at 0000 ldi 2
    2:         ldi 2
1 0000 ldi 2 | SP=3FFE Z=0 S=0 O=0 C=0 | 02
    2:         ldi 2
)";

const char* const OBJECT_SCRIPT = R"(break show
list :3
break 24
c
list
x 0x3FFE 2
)";

const char* const OBJECT_TRANSCRIPT = R"(prog.hx: object code (no source lines or labels)
at 0000 ldi 2
no labels: prog.hx is object code
no source lines: prog.hx is object code
breakpoint 1 at 0018
breakpoint 1 at 0018
3 0005 call 24 | SP=3FFD Z=0 S=0 O=0 C=0 | 08 00
at 0018 ldd 30
  000F  33 05 00  jnz 5
  0012  00 00     ldi 0
  0014  00 00     ldi 0
  0016  12        div
  0017  41        hlt
=>0018  02 1E 00  ldd 30
  001B  09 00     out 0
  001D  21        ret
  001E  02 00 00  ldd 0
  0021  00 00     ldi 0
  0023  00 00     ldi 0
3FFE: 08 00 | 8 0
)";

// Going back and forth through the run of the same program: every
// breakpoint and watchpoint stop on the way to the division by zero, then
// reverse-continue back over them, last-write of a byte and of a stack byte,
// goto past the end, back beyond the start, and the stopped end reached by
// goto again.
const char* const TIME_SCRIPT = R"(break show
watch count
c
c
c
c
c
c
rc
rc
rc
last-write count
goto 19
last-write 0x3FFE
goto 25
regs
back 30
last-write count
rc
goto
goto 21
regs
step
)";

const char* const TIME_TRANSCRIPT = R"(prog.asm: source, assembled in memory
at 0000 ldi 2
    2:         ldi 2
breakpoint 1 at 0018 (show)
watchpoint 2 at 001E (count)
watchpoint 2: 001E (count) changed 0 -> 2 at line 3: std count
2 0002 std 30 | SP=3FFF Z=0 S=0 O=0 C=0 |
    3:         std count
at 0005 (again) call 24
    4: [again  call show
breakpoint 1 at show (line 13)
3 0005 call 24 | SP=3FFD Z=0 S=0 O=0 C=0 | 08 00
    4: [again  call show
at 0018 (show) ldd 30
    13: [show   ldd count
-[2 : 02h]-
watchpoint 2: 001E (count) changed 2 -> 1 at line 7: std count
9 000C std 30 | SP=3FFF Z=0 S=0 O=0 C=0 |
    7:         std count
at 000F jnz 5
    8:         jnz again
breakpoint 1 at show (line 13)
11 0005 call 24 | SP=3FFD Z=0 S=0 O=0 C=0 | 08 00
    4: [again  call show
at 0018 (show) ldd 30
    13: [show   ldd count
-[1 : 01h]-
watchpoint 2: 001E (count) changed 1 -> 0 at line 7: std count
17 000C std 30 | SP=3FFF Z=1 S=0 O=0 C=0 |
    7:         std count
at 000F jnz 5
    8:         jnz again

ERROR
Devide by zero
at 0016 (again+17) div
    11:         div             ; stops: division by zero
watchpoint 2: 001E (count) changed 1 -> 0 at line 7: std count
at 000F jnz 5
    8:         jnz again
breakpoint 1 at show (line 13)
at 0018 (show) ldd 30
    13: [show   ldd count
watchpoint 2: 001E (count) changed 2 -> 1 at line 7: std count
at 000F jnz 5
    8:         jnz again
001E (count) last changed by instruction 9 at 000C
9 000C std 30 | SP=3FFF Z=0 S=0 O=0 C=0 |
    7:         std count
at 0014 ldi 0
    10:         ldi 0
3FFE last changed by instruction 3 at 0005 (again) (last written by instruction 11, the same value)
3 0005 call 24 | SP=3FFD Z=0 S=0 O=0 C=0 | 08 00
    4: [again  call show

ERROR
Devide by zero
at 0016 (again+17) div
    11:         div             ; stops: division by zero
PC=0016 SP=3FFF IR=12 (div) Z=1 S=0 O=0 C=0 instructions=20 clocks=75
went back 21 (the start of the run)
at 0000 ldi 2
    2:         ldi 2
nothing changed 001E (count) since the start
no breakpoint, watchpoint or finding stops earlier: the start of the run
at 0000 ldi 2
    2:         ldi 2
goto takes an instruction number (0 for the start)
at 0016 div
    11:         div             ; stops: division by zero
PC=0016 SP=3FFF IR=12 (div) Z=1 S=0 O=0 C=0 instructions=20 clocks=75
the program has stopped: back or run
)";

// The debugger in dir with input piped: its whole output (unless null) and status.
void expect_session(const TempDir& dir, const std::string& input, const char* output, int status) {
    RunResult run = run_program(debugger_path(), input, dir.path);
    if (output != nullptr) {
        EXPECT_EQ(run.output, output) << input;
    }
    EXPECT_EQ(run.exit_status, status) << input;
}

TEST(DebuggerSession, AnswersEveryCommand) {
    TempDir dir;
    write_file(dir.file("prog.asm"), PROGRAM);
    expect_session(dir, std::string("prog.asm\n") + SCRIPT, TRANSCRIPT, 0);
    expect_session(dir, std::string("prog.asm\n") + TIME_SCRIPT, TIME_TRANSCRIPT, 0);
    ASSERT_EQ(run_program(assembler_path(), "prog.asm\n", dir.path).exit_status, 0);
    expect_session(dir, std::string("prog.hx\n") + OBJECT_SCRIPT, OBJECT_TRANSCRIPT, 0);

    write_file(dir.file("bad.asm"), "        ldi 2\n[abcdefghijklmnopqrstuvwxyz hlt\n");
    expect_session(
        dir, "bad.asm\nstep\n",
        "\nERROR\nLine 2 : label name too long\n    2: [abcdefghijklmnopqrstuvwxyz hlt\n", 255);
    expect_session(dir, "missing.hx\n", "\nERROR\nFile not found\n", 255);
    expect_session(dir, "", nullptr, 255);
}

// A 301-character comment is read by the assembler as two lines, so
// ` ldi 1` is its line 3: every number and text shown, the line breakpoints
// and the listing follow that count. Continue passes the breakpoint at PC
// and stops at the temporary one, which says so, showing the line about to
// run; the stack is shown 32 bytes at a time, and a
// command with a NUL is shown whole.
TEST(DebuggerSession, NumbersLinesAsTheAssemblerDoes) {
    const std::string comment = ";" + std::string(300, 'x');
    const std::string program = comment +
                                "\n        ldi 1\n        out 0\n        ldi 40\n        std n\n"
                                "[more   ldi 9           ; one byte more each time\n"
                                "        ldd n\n        dec\n        std n\n        jnz more\n"
                                "        hlt\n[n      db 0\n";
    TempDir dir;
    write_file(dir.file("long.asm"), program);
    RunResult run = run_program(debugger_path(),
                                "long.asm\nstep\nlist\nbreak :4\ntbreak :12\ninfo breakpoints\nc\n"
                                "echo =top\nstack\necho =all\nstack all\necho =end\nstack al\n" +
                                    std::string("st\0ep", 5) + "\n",
                                dir.path);
    EXPECT_EQ(run.exit_status, 0);
    const std::string start =
        "long.asm: source, assembled in memory\n"
        "at 0000 ldi 1\n"
        "    3:         ldi 1\n"
        "1 0000 ldi 1 | SP=3FFE Z=0 S=0 O=0 C=0 | 01\n"
        "    3:         ldi 1\n"
        "      1  " +
        comment.substr(0, 255) +
        "\n"
        "      2  " +
        comment.substr(255) +
        "\n"
        "      3          ldi 1\n"
        "=>    4          out 0\n"
        "      5          ldi 40\n"
        "      6          std n\n"
        "      7  [more   ldi 9           ; one byte more each time\n"
        "      8          ldd n\n"
        "      9          dec\n"
        "breakpoint 1 at 0002\n"
        "temporary breakpoint 2 at 0015\n"
        "1 break 0002 line 4\n"
        "2 tbreak 0015 line 12\n"
        "-[1 : 01h]-\n"
        "temporary breakpoint 2 at more+12 (line 12)\n"
        "204 0012 jnz 9 | SP=3FD7 Z=1 S=0 O=0 C=0 | 09 09 09 09 09 09 09 09\n"
        "    11:         jnz more\n"
        "at 0015 hlt\n"
        "    12:         hlt\n"
        "=top\n";
    EXPECT_EQ(run.output.substr(0, start.size()), start);
    // Forty bytes on the stack: the top 32 and a count, or all of them.
    EXPECT_EQ(split(echo_section(run.output, "top")).size(), 33u)
        << echo_section(run.output, "top");
    EXPECT_TRUE(echo_section(run.output, "top")
                    .ends_with("3FF7  09    9  pushed by line 7: ldi 9\n"
                               "... 8 more (stack all shows them)\n"));
    EXPECT_EQ(split(echo_section(run.output, "all")).size(), 40u);
    EXPECT_TRUE(
        echo_section(run.output, "all").ends_with("3FFF  09    9  pushed by line 7: ldi 9\n"));
    EXPECT_TRUE(
        run.output.ends_with("=end\n'al' is not a count (a number from 1)\n"
                             "unknown command 'st^@ep' (help lists the commands)\n"))
        << run.output;

    // An error after the long line: the assembler's number and that line's
    // text. A directory is not found; an upper-case .ASM is a source.
    write_file(dir.file("bad.asm"), comment + "\n ldi 1\n ldi -1\n hlt\n");
    expect_session(dir, "bad.asm\n", "\nERROR\nLine 4 have syntax error\n    4:  ldi -1\n", 255);
    std::filesystem::create_directory(dir.file("folder.asm"));
    expect_session(dir, "folder.asm\n", "\n File not found\n", 255);
    write_file(dir.file("LOUD.ASM"), "        ldi 1\n        hlt\n");
    expect_session(dir, "LOUD.ASM\nq\n",
                   "LOUD.ASM: source, assembled in memory\nat 0000 ldi 1\n    1:         ldi 1\n",
                   0);
}

}  // namespace
