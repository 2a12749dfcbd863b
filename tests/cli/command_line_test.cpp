// The programs' command lines: a file operand behaves as the piped name,
// --trace writes one exact line per completed instruction and changes
// nothing else; help, version and usage errors of all five programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>
#include <sstream>

#include "cli_support.hpp"
#include "opcode_table.hpp"

namespace {

struct Traced {
    RunResult run;
    Files files;  // without the trace
    std::vector<std::string> lines;
};

// Runs `simulator --trace t.txt p.hx` in a directory holding p.hx.
Traced trace(const std::string& object_code, const std::string& keys) {
    TempDir dir;
    write_file(dir.file("p.hx"), object_code);
    Traced t{run_program(simulator_path(), {"--trace", "t.txt", "p.hx"}, keys, dir.path), {}, {}};
    std::istringstream text(read_file(dir.file("t.txt")));
    for (std::string line; std::getline(text, line);) t.lines.push_back(line);
    std::filesystem::remove(dir.file("t.txt"));
    t.files = files_in(dir.path);
    return t;
}

// Runs program in a fresh directory holding `file`, once with its name
// piped and once with it as the operand after `options` (and keys on
// standard input). Files the options name (x.*) are left out.
void expect_operand_as_piped(const std::string& program, const std::string& name,
                             const std::string& file, const std::string& content,
                             const std::string& keys = "", std::vector<std::string> options = {}) {
    TempDir piped, operand;
    write_file(piped.file(file), content);
    write_file(operand.file(file), content);
    RunResult p = run_program(program, name + "\n" + keys, piped.path);
    options.push_back(name);
    RunResult o = run_program(program, options, keys, operand.path);
    EXPECT_EQ(o.output, p.output) << name;
    EXPECT_EQ(o.exit_status, p.exit_status) << name;
    EXPECT_EQ(o.errors, "") << name;
    for (const char* made : {"x.lst", "x.trace"}) std::filesystem::remove(operand.file(made));
    EXPECT_EQ(files_in(operand.path), files_in(piped.path)) << name;
}

TEST(Operand, EveryExampleAssemblesAndRunsExactlyAsWithThePipedName) {
    for (const std::string& example : example_files()) {
        expect_operand_as_piped(assembler_path(), example, example, example_source(example));
        // No warning on an example; the listing changes nothing else.
        expect_operand_as_piped(assembler_path(), example, example, example_source(example), "",
                                {"--warnings", "--listing=x.lst"});
        const std::string hx = base_name(example) + ".hx";
        const std::string object_code = assemble_example(example);
        expect_operand_as_piped(simulator_path(), hx, hx, object_code);
        expect_operand_as_piped(simulator_path(), hx, hx, object_code, "ab\x1b",
                                {"--trace", "x.trace"});
    }
    // Names that fail: empty, missing, too long. (A line end in an operand is
    // refused: HostileInput.CommandLineNamesAreUsedWholeOrRefused.)
    for (const std::string& name : {std::string(), std::string(300, 'n')}) {
        expect_operand_as_piped(simulator_path(), name, "x", "0 65");
        expect_operand_as_piped(assembler_path(), name, "x", "hlt\n");
    }
}

TEST(Trace, LinesMatchHandCheckedOnesAndEndWithTheLastCompletedInstruction) {
    struct Case {
        std::string object_code;  // or an example's source name
        std::string keys;
        std::vector<std::string> lines;  // each at its number; the last one ends the trace
    };
    const Case cases[] = {
        {"count.asm",
         "",
         {"1 0000 ldi 1 | SP=3FFE Z=0 S=0 O=0 C=0 | 01",
          "2 0002 std 43 | SP=3FFF Z=0 S=0 O=0 C=0 |",
          "9 0013 ldd 43 | SP=3FFD Z=0 S=0 O=0 C=0 | 02 0B",
          "10 0016 cmp | SP=3FFF Z=0 S=1 O=0 C=0 |", "11 0017 jnz 5 | SP=3FFF Z=0 S=1 O=0 C=0 |",
          "119 002A hlt | SP=3FFF Z=1 S=0 O=0 C=0 |"}},
        // call pushes its return address 0x0010 as a word, low byte on top
        {"subroutine.asm",
         "",
         {"6 000D call 43 | SP=3FFC Z=0 S=0 O=0 C=0 | 10 00 01",
          "13 003B ret | SP=3FFE Z=0 S=0 O=0 C=0 | 01", "14 0010 out 0 | SP=3FFF Z=0 S=0 O=0 C=0 |",
          "188 002A hlt | SP=3FFF Z=1 S=0 O=0 C=0 |"}},
        // nop before any push leaves SP 0; a word operand; of ten bytes
        // pushed the top eight show; hlt's line comes after its key
        {"0 64 1 1 513 4 0 3 6 0 4 8 0 5 10 0 6 12 0 7 14 0 8 16 0 9 18 0 10 20 65",
         "q",
         {"1 0000 nop | SP=0000 Z=0 S=0 O=0 C=0 |",
          "2 0001 ldiw 513 | SP=3FFD Z=0 S=0 O=0 C=0 | 01 02",
          "9 0010 ldi 9 | SP=3FF6 Z=0 S=0 O=0 C=0 | 09 08 07 06 05 04 03 01",
          "11 0014 hlt | SP=3FF5 Z=0 S=0 O=0 C=0 | 0A 09 08 07 06 05 04 03"}},
        // a division by zero stops the run: no line for it
        {"0 0 0 2 0 7 4 18", "", {"2 0002 ldi 7 | SP=3FFD Z=0 S=0 O=0 C=0 | 07 00"}},
        // Escape before the third instruction
        {"0 64 1 64 2 64 3 65", "ab\x1b", {"2 0001 nop | SP=0000 Z=0 S=0 O=0 C=0 |"}},
    };
    for (const Case& c : cases) {
        bool example = c.object_code.ends_with(".asm");
        Traced t = trace(example ? assemble_example(c.object_code) : c.object_code, c.keys);
        for (const std::string& line : c.lines) {
            std::size_t number = std::stoul(line);
            ASSERT_LE(number, t.lines.size()) << line;
            EXPECT_EQ(t.lines[number - 1], line);
        }
        EXPECT_EQ(std::to_string(t.lines.size()),
                  c.lines.back().substr(0, c.lines.back().find(' ')));
    }
}

// Random programs run with and without a trace: the same console bytes,
// status and files; every line in the exact form, numbered from 1, with an
// operand exactly for instructions of two or three bytes and the stack bytes
// SP leaves; one line per completed instruction, counted by the spinner
// (one frame per instruction begun). Keys bound every run with an Escape.
TEST(Trace, RandomProgramsTraceEveryCompletedInstructionInTheExactForm) {
    const std::regex form(
        "(\\d+) ([0-9A-F]{4}) ([a-z]+)( \\d+)? \\| SP=([0-9A-F]{4}) Z=[01] S=[01] O=[01] C=[01] "
        "\\|((?: [0-9A-F]{2})*)");
    const std::string keys = std::string(300, 'k') + "\x1b";
    std::mt19937 random(2024);
    int halted = 0, stopped = 0, total_lines = 0;
    for (int program = 0; program < 40; ++program) {
        std::ostringstream object_code;
        // A few pushes, then random instructions; jumps stay near the code.
        for (int i = 0, address = 0; i < 40; ++i) {
            const auto& d = INSTRUCTION_ROWS[i < 4 ? 0 : random() % DEFINED_INSTRUCTION_COUNT];
            object_code << address << ' ' << int{d.opcode};
            if (d.length > 1) object_code << ' ' << random() % (d.length == 2 ? 256 : 120);
            object_code << '\n';
            address += d.length;
        }
        TempDir plain;
        write_file(plain.file("p.hx"), object_code.str());
        RunResult p = run_program(simulator_path(), "p.hx\n" + keys, plain.path);
        Traced t = trace(object_code.str(), keys);
        ASSERT_EQ(t.run.output, p.output) << object_code.str();
        ASSERT_EQ(t.run.exit_status, p.exit_status);
        ASSERT_EQ(t.files, files_in(plain.path));
        long frames = std::count(p.output.begin(), p.output.end(), '\b') + 1;
        bool halt = p.output.find("-HALT-") != std::string::npos;
        bool escape = p.output.find("-user terminated-") != std::string::npos;
        halted += halt;
        stopped += !halt && !escape;
        EXPECT_EQ(static_cast<long>(t.lines.size()), halt || escape ? frames : frames - 1)
            << p.output;
        for (std::size_t i = 0; i < t.lines.size(); ++i) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(t.lines[i], m, form)) << t.lines[i];
            EXPECT_EQ(m[1].str(), std::to_string(i + 1));
            const OpcodeEntry* entry = find_mnemonic(m[3].str().c_str());
            ASSERT_NE(entry, nullptr) << t.lines[i];
            EXPECT_EQ(m[4].matched, entry->length > 1) << t.lines[i];
            unsigned sp = std::stoul(m[5].str(), nullptr, 16);
            EXPECT_EQ(m[6].length(), 3 * (sp == 0 ? 0 : std::min(8u, 0x3FFFu - sp))) << t.lines[i];
        }
        total_lines += static_cast<int>(t.lines.size());
    }
    EXPECT_GT(halted, 0);
    EXPECT_GT(stopped, 0);
    EXPECT_GT(total_lines, 200);
}

// Help and version on standard output with status 0; a command line that
// cannot be used: one line naming the problem and the usage line on standard
// error, status 2, and nothing run. The same for every program.
TEST(CommandLines, HelpVersionAndUsageErrors) {
    struct Program {
        std::string name, path, help_option, usage;
    };
    const Program programs[] = {
        {"simulator", simulator_path(), "--help", "[--trace FILE] [--check[=all]] [OBJECT_FILE]"},
        {"assembler", assembler_path(), "-h",
         "[--warnings] [--listing FILE] [-o OBJECT_FILE] [SOURCE_FILE]"},
        {"checker", CHECKER_PATH, "--help",
         "[--format FORMAT] [--cases CASES_FILE] [OPTION]... SOURCE_OR_FOLDER..."},
        {"disassembler", DISASSEMBLER_PATH, "-h", "[-o OUTPUT] OBJECT_FILE"},
        {"debugger", DEBUGGER_PATH, "--help",
         "[--set 'LOC = V...']... [--call LABEL [--stack 'V...']] [FILE]"},
        {"language-server", LANGUAGE_SERVER_PATH, "-h", "[--stdio]"},
        {"debug-adapter", DEBUG_ADAPTER_PATH, "--help", ""},
    };
    auto usage = [](const Program& p) {
        return "Usage: " + p.name + (p.usage.empty() ? "" : " " + p.usage) + "\n";
    };
    // Runs p with the arguments in an empty directory, "a" piped.
    auto expect = [](const Program& p, const std::vector<std::string>& arguments, int status,
                     const std::string& output_start, const std::string& errors) {
        TempDir dir;
        RunResult r = run_program(p.path, arguments, "a\n", dir.path);
        EXPECT_EQ(r.exit_status, status) << p.path << ' ' << arguments[0];
        EXPECT_TRUE(r.output.starts_with(output_start)) << r.output;
        EXPECT_EQ(output_start.empty(), r.output.empty()) << r.output;
        EXPECT_EQ(r.errors, errors);
        EXPECT_EQ(files_in(dir.path), Files{}) << "nothing may run";
        return r.output;
    };
    for (const Program& p : programs) {
        std::string help = expect(p, {p.help_option}, 0, usage(p), "");
        // The help names the options every program has and its exit statuses.
        for (const char* part : {"\n  -h, --help ", "\n  --version ", "Exit status: "})
            EXPECT_NE(help.find(part), std::string::npos) << p.name << ": " << part;
        // The version, and the commit when the build is from a clone.
        std::string version = expect(p, {"--version"}, 0, p.name + " " + project_version(), "");
        EXPECT_TRUE(std::regex_match(
            version, std::regex(p.name + " [0-9.]+( \\(commit [0-9a-f]{12}\\))?\n")))
            << version;
        EXPECT_EQ(version.find("(commit ") != std::string::npos, built_from_clone()) << version;
    }
    enum { SIM, AS, CHECK, DIS, DEBUG, LSP, DAP };
    struct Error {
        int program;
        std::vector<std::string> arguments;
        std::string problem;
        bool with_usage = true;
    };
    const Error errors[] = {
        {SIM, {"--bogus"}, "unknown option '--bogus'"},
        {AS, {"-x", "a.asm"}, "unknown option '-x'"},
        {CHECK, {"--verbose", "a.asm"}, "unknown option '--verbose'"},
        {DIS, {"-x", "a.hx"}, "unknown option '-x'"},
        {DEBUG, {"a.asm", "--bogus"}, "unknown option '--bogus'"},
        {LSP, {"--tcp"}, "unknown option '--tcp'"},
        {LSP, {"a.asm"}, "no operand is taken: 'a.asm'"},
        {DAP, {"--stdio"}, "unknown option '--stdio'"},
        {DAP, {"p.asm"}, "no operand is taken: 'p.asm'"},
        {SIM, {"a.hx", "--trace"}, "option '--trace' needs an argument"},
        {AS, {"a.asm", "-o"}, "option '-o' needs an argument"},
        {CHECK, {"a.asm", "--cases"}, "option '--cases' needs an argument"},
        {DIS, {"a.hx", "-o"}, "option '-o' needs an argument"},
        {SIM, {"a.hx", "b.hx"}, "one object code file only, not also 'b.hx'"},
        {DIS, {"a.hx", "b.hx"}, "more than one object code file"},
        {DEBUG, {"a.asm", "b.asm"}, "one file only, not also 'b.asm'"},
        {CHECK, {"--json"}, "no source file"},
        {AS, {"-o", "a.ps1", "a.asm"}, "'a.ps1' would be its own pass-1 file"},
        {SIM,
         {"--trace", "no/dir/t", "a.hx"},
         "cannot create the trace file 'no/dir/t': No such file or directory",
         false},
        {AS,
         {"--listing", "no/dir/l", "a.asm"},
         "cannot create the listing file 'no/dir/l': No such file or directory",
         false},
    };
    for (const Error& e : errors) {
        const Program& p = programs[e.program];
        expect(p, e.arguments, 2, "",
               p.name + ": " + e.problem + "\n" + (e.with_usage ? usage(p) : ""));
    }
    // "-" writes the trace to standard error, and only the trace.
    TempDir dir;
    write_file(dir.file("p.hx"), "0 64 1 65");
    RunResult r = run_program(simulator_path(), {"--trace", "-", "p.hx"}, "", dir.path);
    EXPECT_EQ(r.errors,
              "1 0000 nop | SP=0000 Z=0 S=0 O=0 C=0 |\n2 0001 hlt | SP=0000 Z=0 S=0 O=0 C=0 |\n");
}

}  // namespace

TEST(Check, ChangesNothingButStandardError) {
    // The examples give no finding; a subroutine that saves its arguments as
    // its return address gives two, one line each on standard error.
    std::vector<std::pair<std::string, std::string>> programs;  // object code file, its text
    for (const std::string& example : example_files())
        programs.emplace_back(base_name(example) + ".hx", assemble_example(example));
    programs.emplace_back("worked.hx",
                          "0 0 3\n2 0 4\n4 32 10\n7 9 0\n9 65\n10 6 23\n13 6 24\n16 7 25\n"
                          "19 3 25\n22 33\n23 255 0\n24 255 0\n25 255 0\n26 255 0\n");
    for (const auto& [name, object_code] : programs) {
        TempDir plain, checked;
        write_file(plain.file(name), object_code);
        write_file(checked.file(name), object_code);
        RunResult p = run_program(simulator_path(), {name}, "abc\n", plain.path);
        RunResult c = run_program(simulator_path(), {"--check", name}, "abc\n", checked.path);
        EXPECT_EQ(c.output, p.output) << name;
        EXPECT_EQ(c.exit_status, p.exit_status) << name;
        EXPECT_EQ(files_in(checked.path), files_in(plain.path)) << name;
        EXPECT_EQ(p.errors, "") << name;
        if (name == "worked.hx") {
            EXPECT_EQ(
                c.errors,
                "finding: return mismatch at instruction 8, PC 0016 (22): ret at 0016 goes to "
                "0304, but the call at 0004 (to 000A) pushed 0007\n"
                "finding: stray PC at instruction 9, PC 0304 (772): execution left the program "
                "at 0304 after the ret at 0016\n"
                "finding: of the 4095 bytes on the stack, 1 was pushed by ldi at 2300\n");
            EXPECT_NE(p.output.find("Stack overflow"), std::string::npos);
        } else {
            EXPECT_EQ(c.errors, "") << name;
        }
    }
    TempDir dir;
    RunResult r = run_program(simulator_path(), {"--check=most", "x.hx"}, "", dir.path);
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.errors,
              "simulator: --check takes only 'all', not 'most'\n"
              "Usage: simulator [--trace FILE] [--check[=all]] [OBJECT_FILE]\n");
}

// With --check: a run into data names the jump that took it there, after
// the output printed before it (standard output shared with 2>&1); a run
// that ends with bytes on the stack names the instruction that pushed most
// of them, at hlt and at a stack overflow.
TEST(Check, NamesTheJumpIntoDataAndWhatLeftTheStack) {
    struct Program {
        const char* source;
        const char* errors;
    };
    const Program programs[] = {
        {"ldi 65\nout 0\njmp d\n[d db 65\n",
         "finding: executing data at instruction 4, PC 0007 (7): hlt at 0007 runs a byte placed by "
         "db "
         "or dw, reached by the jmp at 0004\n"},
        {"        ldi 3\n        std n\n[loop   ldi 9\n        ldd n\n        dec\n"
         "        std n\n        jnz loop\n        hlt\n[n      db 0\n",
         "finding: of the 3 bytes on the stack, 3 were pushed by ldi at 0005\n"},
        {"        ldi 1\n[loop   ldd i\n        ldd i\n        inc\n        std i\n"
         "        jmp loop\n[i      db 0\n",
         "finding: of the 4095 bytes on the stack, 4094 were pushed by ldd at 0002\n"},
    };
    for (const Program& program : programs) {
        SCOPED_TRACE(program.source);
        TempDir dir;
        write_file(dir.file("p.asm"), program.source);
        ASSERT_EQ(run_program(assembler_path(), {"p.asm"}, "", dir.path).exit_status, 0);
        RunResult plain = run_program(simulator_path(), {"p.hx"}, "", dir.path);
        RunResult c = run_program(simulator_path(), {"--check", "p.hx"}, "", dir.path);
        EXPECT_EQ(c.errors, program.errors);
        EXPECT_EQ(c.output, plain.output);
        EXPECT_EQ(c.exit_status, plain.exit_status);
    }
    // Both streams into one pipe: the finding after the program's 65.
    TempDir dir;
    write_file(dir.file("p.asm"), programs[0].source);
    ASSERT_EQ(run_program(assembler_path(), {"p.asm"}, "", dir.path).exit_status, 0);
    RunResult both = run_program(
        "/bin/sh", {"-c", "exec \"$0\" --check p.hx 2>&1", simulator_path()}, "", dir.path);
    std::size_t finding = both.output.find("finding: executing data");
    ASSERT_NE(finding, std::string::npos) << both.output;
    EXPECT_NE(both.output.rfind("[65 : 41h]", finding), std::string::npos) << both.output;
}
