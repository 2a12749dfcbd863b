// No command line destroys a file: an output an option names that is also an
// input or another output of the run is refused before anything is written,
// and the trace and the listing are created only once their inputs are read.
#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "cli_support.hpp"

namespace {

enum { SIM, AS, DIS, CHECK, DEBUG };
const std::string PROGRAMS[] = {simulator_path(), assembler_path(), DISASSEMBLER_PATH, CHECKER_PATH,
                                DEBUGGER_PATH};

TEST(FileClash, RefusedCommandLinesLeaveEveryFileAsItWas) {
    struct Case {
        int program;
        std::string command;       // the arguments, split at blanks
        std::string input;         // standard input
        std::string named, other;  // the files the refusal names; none: no refusal
        int status = 2;
    };
    const Case cases[] = {
        {AS, "--listing p.asm p.asm", "", "listing file 'p.asm'", "source file 'p.asm'"},
        {AS, "--listing p.asm", "p.asm\n", "listing file 'p.asm'", "source file 'p.asm'"},
        {AS, "--listing p.hx p.asm", "", "listing file 'p.hx'", "object code file 'p.hx'"},
        {AS, "--listing p.ps1 p.asm", "", "listing file 'p.ps1'", "pass-1 file 'p.ps1'"},
        {AS, "--listing o.hx -o o.hx p.asm", "", "object code file 'o.hx'", "listing file 'o.hx'"},
        {AS, "-o o.hx --listing ./o.ps1 p.asm", "", "pass-1 file 'o.ps1'",
         "listing file './o.ps1'"},
        {AS, "-o p.asm p.asm", "", "object code file 'p.asm'", "source file 'p.asm'"},
        {AS, "-o link.asm p.asm", "", "object code file 'link.asm'", "source file 'p.asm'"},
        {SIM, "--trace p.hx p.hx", "", "trace file 'p.hx'", "object code file 'p.hx'"},
        {SIM, "--trace p.hx", "p.hx\n", "trace file 'p.hx'", "object code file 'p.hx'"},
        {SIM, "--trace link.hx p.hx", "", "trace file 'link.hx'", "object code file 'p.hx'"},
        {SIM, "--trace memmap.txt p.hx", "", "trace file 'memmap.txt'",
         "memory map file 'memmap.txt'"},
        {SIM, "--trace ./memmap2.txt", "", "trace file './memmap2.txt'",
         "memory map file 'memmap2.txt'"},
        {DIS, "-o p.hx p.hx", "", "output file 'p.hx'", "object code file 'p.hx'"},
        {DIS, "-o link.hx p.hx", "", "output file 'link.hx'", "object code file 'p.hx'"},
        // Nothing loaded: the trace and the listing are not created.
        {SIM, "--trace keep.txt nosuch.hx", "", "", "", 255},
        {AS, "--listing keep.txt nosuch.asm", "", "", "", 255},
        // No outputs to clash with: a file named twice stays as it was (the
        // source is no cases file: status 2).
        {CHECK, "--cases p.asm p.asm link.asm", "", "", "", 2},
        {DEBUG, "p.asm", "run\nquit\n", "", "", 0},
    };
    for (const Case& c : cases) {
        TempDir dir;
        write_file(dir.file("p.asm"), "ldi 1\nout 0\nhlt\n");
        write_file(dir.file("p.hx"), "0 0 1\n2 9 0\n4 65\n");
        write_file(dir.file("keep.txt"), "keep\n");
        std::filesystem::create_hard_link(dir.file("p.asm"), dir.file("link.asm"));
        std::filesystem::create_hard_link(dir.file("p.hx"), dir.file("link.hx"));
        const Files before = files_in(dir.path);
        std::vector<std::string> arguments;
        std::istringstream words(c.command);
        for (std::string word; words >> word;) arguments.push_back(word);
        const std::string& path = PROGRAMS[c.program];
        RunResult r = run_program(path, arguments, c.input, dir.path);
        EXPECT_EQ(r.exit_status, c.status) << c.command;
        const std::string refusal = path.substr(path.rfind('/') + 1) + ": the " + c.named +
                                    " is the same file as the " + c.other + "\n";
        if (c.program != CHECK) {
            EXPECT_EQ(r.errors, c.named.empty() ? "" : refusal) << c.command;
        }
        EXPECT_EQ(files_in(dir.path), before) << c.command;
    }
}

// A trace that could not be written makes a run that ended with hlt end
// with status 1; a stop keeps its 255.
TEST(FileClash, AnIncompleteTraceIsAFailedRun) {
    if (!file_exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    // trace file, object code (ldi 1, hlt; a division by zero), status
    const std::tuple<std::string, std::string, int> cases[] = {
        {"/dev/full", "0 0 1\n2 65", 1}, {"/dev/full", "0 0 0 2 0 7 4 18", 255}, {"t", "0 65", 0}};
    for (const auto& [trace, object_code, status] : cases) {
        TempDir dir;
        write_file(dir.file("p.hx"), object_code);
        RunResult r = run_program(simulator_path(), {"--trace", trace, "p.hx"}, "k", dir.path);
        EXPECT_EQ(r.exit_status, status) << object_code;
        EXPECT_EQ(r.errors,
                  status ? "simulator: cannot write the trace file '/dev/full': No space left on "
                           "device\n"
                         : "");
    }
}

}  // namespace
