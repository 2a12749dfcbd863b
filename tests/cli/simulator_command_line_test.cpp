// The simulator's command line: a file operand behaves as the piped name,
// --trace writes one exact line per completed instruction without changing
// anything else, and usage errors end with status 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli_support.hpp"
#include "opcode_table.hpp"

namespace {

const std::string KEYS_THEN_ESCAPE = std::string(300, 'k') + "\x1b";

struct Traced {
    RunResult run;
    Files files;  // without the trace
    std::vector<std::string> lines;
};

// Runs `simulator --trace t.txt prog.hx` in a directory holding prog.hx.
Traced trace(const std::string& object_code, const std::string& keys = "") {
    TempDir dir;
    write_file(dir.file("prog.hx"), object_code);
    Traced t{
        run_program(simulator_path(), {"--trace", "t.txt", "prog.hx"}, keys, dir.path), {}, {}};
    std::istringstream text(read_file(dir.file("t.txt")));
    for (std::string line; std::getline(text, line);) t.lines.push_back(line);
    std::filesystem::remove(dir.file("t.txt"));
    t.files = files_in(dir.path);
    return t;
}

TEST(SimulatorOperand, RunsEveryExampleExactlyAsThePipedName) {
    for (const std::string& example : example_files()) {
        const std::string hx = base_name(example) + ".hx";
        const std::string object_code = assemble_example(example);
        // Piped, as an operand, and as an operand with a trace: the same
        // console bytes, status and files, also with keys on standard input.
        for (const std::string& keys : {std::string(), std::string("ab\x1b")}) {
            TempDir piped, operand, traced;
            for (const TempDir* d : {&piped, &operand, &traced})
                write_file(d->file(hx), object_code);
            RunResult p = run_program(simulator_path(), hx + "\n" + keys, piped.path);
            RunResult o = run_program(simulator_path(), {hx}, keys, operand.path);
            RunResult t =
                run_program(simulator_path(), {"--trace=trace.txt", hx}, keys, traced.path);
            EXPECT_EQ(o.output, p.output) << example;
            EXPECT_EQ(t.output, p.output) << example;
            EXPECT_EQ(o.exit_status, p.exit_status) << example;
            EXPECT_EQ(t.exit_status, p.exit_status) << example;
            EXPECT_EQ(o.errors + t.errors, "") << example;
            std::string lines = read_file(traced.file("trace.txt"));
            std::filesystem::remove(traced.file("trace.txt"));
            EXPECT_EQ(files_in(operand.path), files_in(piped.path)) << example;
            EXPECT_EQ(files_in(traced.path), files_in(piped.path)) << example;
            if (keys.empty()) {
                // One line per instruction the statistics count.
                std::size_t at = p.output.find("No. instruction = ");
                ASSERT_NE(at, std::string::npos) << example;
                EXPECT_EQ(std::to_string(std::count(lines.begin(), lines.end(), '\n')),
                          p.output.substr(at + 18, p.output.find('\n', at) - at - 18))
                    << example;
            }
        }
    }
    // Names that fail: empty, missing, too long, with a CR before the line end.
    for (const std::string& name :
         {std::string(), std::string("missing.hx"), std::string(300, 'n'), std::string("x.hx\r")}) {
        TempDir piped, operand;
        write_file(piped.file("x.hx"), "0 65");
        write_file(operand.file("x.hx"), "0 65");
        RunResult p = run_program(simulator_path(), name + "\n", piped.path);
        RunResult o = run_program(simulator_path(), {name}, "", operand.path);
        EXPECT_EQ(o.output, p.output) << name.size();
        EXPECT_EQ(o.exit_status, p.exit_status) << name.size();
        EXPECT_EQ(files_in(operand.path), files_in(piped.path)) << name.size();
    }
}

TEST(SimulatorTrace, LinesMatchHandCheckedOnes) {
    struct Case {
        const char* what;
        std::string object_code;  // or an example's name
        std::string keys;
        std::map<int, std::string> lines;  // line number -> text; 0: the number of lines
    };
    const Case cases[] = {
        {"count",
         "count.asm",
         "",
         {{1, "1 0000 ldi 1 | SP=3FFE Z=0 S=0 O=0 C=0 | 01"},
          {2, "2 0002 std 43 | SP=3FFF Z=0 S=0 O=0 C=0 |"},
          {9, "9 0013 ldd 43 | SP=3FFD Z=0 S=0 O=0 C=0 | 02 0B"},
          {10, "10 0016 cmp | SP=3FFF Z=0 S=1 O=0 C=0 |"},
          {11, "11 0017 jnz 5 | SP=3FFF Z=0 S=1 O=0 C=0 |"},
          {119, "119 002A hlt | SP=3FFF Z=1 S=0 O=0 C=0 |"},
          {0, "119"}}},
        // call pushes its return address 0x0010 as a word, low byte on top
        {"subroutine",
         "subroutine.asm",
         "",
         {{6, "6 000D call 43 | SP=3FFC Z=0 S=0 O=0 C=0 | 10 00 01"},
          {7, "7 002B stdw 81 | SP=3FFE Z=0 S=0 O=0 C=0 | 01"},
          {13, "13 003B ret | SP=3FFE Z=0 S=0 O=0 C=0 | 01"},
          {14, "14 0010 out 0 | SP=3FFF Z=0 S=0 O=0 C=0 |"}}},
        {"wordmath",
         "wordmath.asm",
         "",
         {{1, "1 0000 ldiw 1 | SP=3FFD Z=0 S=0 O=0 C=0 | 01 00"},
          {6, "6 000F lddw 162 | SP=3FFB Z=0 S=0 O=0 C=0 | 08 00 01 00"},
          {7, "7 0012 mulw | SP=3FFD Z=0 S=0 O=0 C=0 | 08 00"},
          {12, "12 001D jnz 12 | SP=3FFF Z=0 S=0 O=0 C=0 |"}}},
        // nop before any push leaves SP 0; ldiw 513 (a word operand);
        // ten pushes show the top eight; hlt's line comes after its key
        {"stack",
         "0 64 1 1 513 4 0 3 6 0 4 8 0 5 10 0 6 12 0 7 14 0 8 16 0 9 18 0 10 20 65",
         "q",
         {{1, "1 0000 nop | SP=0000 Z=0 S=0 O=0 C=0 |"},
          {2, "2 0001 ldiw 513 | SP=3FFD Z=0 S=0 O=0 C=0 | 01 02"},
          {9, "9 0010 ldi 9 | SP=3FF6 Z=0 S=0 O=0 C=0 | 09 08 07 06 05 04 03 01"},
          {10, "10 0012 ldi 10 | SP=3FF5 Z=0 S=0 O=0 C=0 | 0A 09 08 07 06 05 04 03"},
          {11, "11 0014 hlt | SP=3FF5 Z=0 S=0 O=0 C=0 | 0A 09 08 07 06 05 04 03"},
          {0, "11"}}},
        // the division by zero stops the run: no line for it
        {"stop",
         "0 0 0 2 0 7 4 18",
         "",
         {{2, "2 0002 ldi 7 | SP=3FFD Z=0 S=0 O=0 C=0 | 07 00"}, {0, "2"}}},
        // Escape before the third instruction: two lines
        {"escape",
         "0 64 1 64 2 64 3 65",
         "ab\x1b",
         {{2, "2 0001 nop | SP=0000 Z=0 S=0 O=0 C=0 |"}, {0, "2"}}},
    };
    for (const Case& c : cases) {
        bool example = c.object_code.ends_with(".asm");
        Traced t = trace(example ? assemble_example(c.object_code) : c.object_code, c.keys);
        for (const auto& [number, text] : c.lines) {
            if (number == 0) {
                EXPECT_EQ(std::to_string(t.lines.size()), text) << c.what;
            } else if (number <= static_cast<int>(t.lines.size())) {
                EXPECT_EQ(t.lines[number - 1], text) << c.what << " line " << number;
            } else {
                ADD_FAILURE() << c.what << ": no line " << number;
            }
        }
    }
}

// Random programs, each run once with and once without a trace: the same
// console bytes, status and files; lines in the exact form, numbered from
// 1, an operand exactly for instructions of two or three bytes, the stack
// bytes SP leaves; and one line per instruction that completed, as the
// spinner counts them (one frame per instruction begun).
TEST(SimulatorTrace, RandomProgramsTraceEveryCompletedInstruction) {
    const std::regex form(
        "(\\d+) ([0-9A-F]{4}) ([a-z]+)( \\d+)? \\| SP=([0-9A-F]{4}) Z=[01] S=[01] O=[01] C=[01] "
        "\\|((?: [0-9A-F]{2})*)");
    std::mt19937 random(2024);
    int halted = 0, stopped = 0, total_lines = 0;
    for (int program = 0; program < 40; ++program) {
        std::string object_code;
        int address = 0;
        // A few pushes, then random instructions; jumps stay near the code.
        for (int i = 0; i < 40; ++i) {
            const auto& d =
                opcode_table_detail::DEFINED[i < 4 ? 0 : random() % DEFINED_INSTRUCTION_COUNT];
            std::ostringstream record;
            record << address << ' ' << int{d.opcode};
            if (d.length == 2) record << ' ' << random() % 256;
            if (d.length == 3) record << ' ' << random() % 120;
            object_code += record.str() + "\n";
            address += d.length;
        }
        TempDir plain;
        write_file(plain.file("prog.hx"), object_code);
        RunResult p = run_program(simulator_path(), "prog.hx\n" + KEYS_THEN_ESCAPE, plain.path);
        Traced t = trace(object_code, KEYS_THEN_ESCAPE);
        ASSERT_EQ(t.run.output, p.output) << object_code;
        ASSERT_EQ(t.run.exit_status, p.exit_status);
        ASSERT_EQ(t.files, files_in(plain.path));
        long frames = std::count(p.output.begin(), p.output.end(), '\b') + 1;
        bool halt = p.output.find("-HALT-") != std::string::npos;
        bool escape = p.output.find("-user terminated-") != std::string::npos;
        halted += halt;
        stopped += !halt && !escape;
        EXPECT_EQ(static_cast<long>(t.lines.size()), halt || escape ? frames : frames - 1)
            << object_code << p.output;
        for (std::size_t i = 0; i < t.lines.size(); ++i) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(t.lines[i], m, form)) << t.lines[i];
            EXPECT_EQ(m[1].str(), std::to_string(i + 1));
            const OpcodeEntry* entry = find_mnemonic(m[3].str().c_str());
            ASSERT_NE(entry, nullptr) << t.lines[i];
            EXPECT_EQ(m[4].matched, entry->length > 1) << t.lines[i];
            unsigned sp = std::stoul(m[5].str(), nullptr, 16);
            std::size_t shown = sp == 0 ? 0 : std::min(8u, 0x3FFFu - sp);
            EXPECT_EQ(m[6].length(), 3 * shown) << t.lines[i];
        }
        total_lines += static_cast<int>(t.lines.size());
    }
    EXPECT_GT(halted, 0);
    EXPECT_GT(stopped, 0);
    EXPECT_GT(total_lines, 200);
}

TEST(SimulatorCommandLine, HelpVersionAndUsageErrors) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string output_start;
        std::string errors;
    };
    const std::string usage = "Usage: simulator [--trace FILE] [OBJECT_FILE]\n";
    const Case cases[] = {
        {{"--help"}, 0, usage, ""},
        {{"-h"}, 0, usage, ""},
        {{"--version"}, 0, "simulator " + project_version() + "\n", ""},
        {{"--bogus"}, 2, "", "simulator: unknown option '--bogus'\n" + usage},
        {{"-x", "a.hx"}, 2, "", "simulator: unknown option '-x'\n" + usage},
        {{"a.hx", "--trace"}, 2, "", "simulator: option '--trace' needs an argument\n" + usage},
        {{"a.hx", "b.hx"},
         2,
         "",
         "simulator: one object code file only, not also 'b.hx'\n" + usage},
        {{"--trace", "no/such/dir/t", "a.hx"},
         2,
         "",
         "simulator: cannot create the trace file 'no/such/dir/t': No such file or directory\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        RunResult r = run_program(simulator_path(), c.arguments, "a.hx\n", dir.path);
        EXPECT_EQ(r.exit_status, c.status) << c.arguments[0];
        EXPECT_TRUE(r.output.starts_with(c.output_start)) << r.output;
        if (c.output_start.empty()) {
            EXPECT_EQ(r.output, "");
        }
        EXPECT_EQ(r.errors, c.errors);
        EXPECT_EQ(files_in(dir.path), Files{}) << "nothing may run";
    }
    // "-" writes the trace to standard error, and only the trace.
    TempDir dir;
    write_file(dir.file("p.hx"), "0 64 1 65");
    RunResult r = run_program(simulator_path(), {"--trace", "-", "p.hx"}, "", dir.path);
    EXPECT_EQ(r.errors,
              "1 0000 nop | SP=0000 Z=0 S=0 O=0 C=0 |\n2 0001 hlt | SP=0000 Z=0 S=0 O=0 C=0 |\n");
    EXPECT_EQ(r.exit_status, 0);
}

}  // namespace
