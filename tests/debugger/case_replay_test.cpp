// The checker's "try:" line of a failed case, run as printed through a
// shell, starts the debugger where the checker's run started: continued to
// the end, it writes the same port 0 values, stops after the same
// instructions and clocks and ends as the checker's verdict says (a halt,
// a stop, the return of a subroutine case). A case stopped at its limit
// says where to go instead, since continue would not return.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "run_program.hpp"

namespace {

// The debugger's session for a try line (and its "then:" command, else
// continue), run through sh as a user pastes it.
RunResult replay(const TempDir& dir, const std::string& command, const std::string& script) {
    write_file(dir.file("script"), script);
    return run_program(
        "/bin/sh",
        {"-c", "PATH='" + std::filesystem::path(DEBUGGER_PATH).parent_path().string() +
                   "':\"$PATH\" " + command + " < script"},
        "", dir.path);
}

}  // namespace

TEST(DebuggerCaseReplay, EveryTryLineEndsWhereTheCheckerEndedTheCase) {
    TempDir dir;
    std::string sort = read_file(std::string(EXAMPLES_DIR) + "/sort.asm");
    write_file(dir.file("ref.asm"), sort);
    // Two passes of the sort only: right for a few arrays.
    std::string carl = sort;
    carl.replace(carl.find("[swapped db 0"), 0, "[passes db 2\n");
    carl.replace(carl.find("        jnz pass\n"), 17,
                 "        jz done\n        ldd passes\n        dec\n        std passes\n"
                 "        jnz pass\n[done    nop\n");
    write_file(dir.file("carl's sort.asm"), carl);
    std::filesystem::copy_file(std::string(EXAMPLES_DIR) + "/subroutine.asm", dir.file("sub.asm"));
    write_file(dir.file("t.cases"),
               "case random\n  set data = random 8 0..255\n  repeat 5\n  out same\n"
               "case square\n  stack 3 9\n  call square\n  stack 10 9\n"
               "case alone\n  call square\n"
               "case halts\n  call next\n"
               "case empty\n  stack 3\n  call square\n  stack empty\n");
    write_file(dir.file("spin.asm"),
               "[spin jmp spin\n[data db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0\n");
    // Per file, the debugger's line for each case's end, in order; "" where
    // the case passed and prints no try line.
    struct Row {
        const char* source;
        std::vector<std::string> ends;
    };
    const Row rows[] = {
        {"carl's sort.asm", {"program halted", "", "", "", ""}},
        {"sub.asm",
         {"", "returned from square: 9 9 on the stack",
          "\nERROR\n Stack underflow\nPC = 00046 [002E], IR = 006 [06]\nat 002E (square+3)",
          "program halted with 2 bytes on the stack", "returned from square: 9 on the stack"}},
        {"spin.asm", {"", "", "", "", ""}},
    };
    for (const Row& row : rows) {
        std::string source = row.source;
        RunResult checked = run_program(
            CHECKER_PATH, {"--cases", "t.cases", "--reference", "ref.asm", "--json", source}, "",
            dir.path);
        RunResult text = run_program(
            CHECKER_PATH, {"--cases", "t.cases", "--reference", "ref.asm", source}, "", dir.path);
        nlohmann::json cases = nlohmann::json::parse(checked.output)["files"][0]["cases"];
        ASSERT_EQ(cases.size(), row.ends.size()) << checked.output;
        for (std::size_t k = 0; k < cases.size(); ++k) {
            const nlohmann::json& c = cases[k];
            if (!c.contains("try")) continue;
            std::string command = c["try"];
            SCOPED_TRACE(command);
            // The text report prints the same line, ready to paste.
            EXPECT_NE(text.output.find("\n  try: " + command + "\n"), std::string::npos)
                << text.output;
            std::string then = c.value("then", "continue");
            RunResult run = replay(dir, command, "check all off\n" + then + "\nregs\nquit\n");
            EXPECT_EQ(run.exit_status, 0) << run.errors;
            std::vector<long long> out;
            for (std::size_t at = 0; (at = run.output.find("\n-[", at)) != std::string::npos;) {
                at += 3;
                out.push_back(std::stoll(run.output.substr(at)));
            }
            EXPECT_EQ(nlohmann::json(out), c["run"]["out"]) << run.output;
            std::string counts =
                "instructions=" + std::to_string(c["run"]["instructions"].get<long long>()) +
                " clocks=" + std::to_string(c["run"]["clocks"].get<long long>()) + "\n";
            EXPECT_NE(run.output.find(counts), std::string::npos) << run.output;
            const std::string outcome = c["run"]["outcome"];
            if (outcome == "limit") {
                EXPECT_EQ(source, "spin.asm");
                continue;
            }
            EXPECT_NE(run.output.find(row.ends[k]), std::string::npos) << outcome << "\n"
                                                                       << run.output;
            EXPECT_EQ(outcome, row.ends[k].rfind("returned", 0) == 0         ? "returned"
                               : row.ends[k].rfind("program halted", 0) == 0 ? "halted"
                                                                             : "stopped");
            if (outcome == "stopped") {
                EXPECT_EQ(row.ends[k].rfind(c["run"]["stop_message"].get<std::string>(), 0), 0u);
            }
            if (outcome != "returned") continue;
            // A return is no finding, finish from the start ends there too,
            // and the run goes no further.
            EXPECT_EQ(run.output.find("finding"), std::string::npos) << run.output;
            RunResult finished = replay(dir, command, "finish\ncontinue\ninfo findings\nquit\n");
            EXPECT_NE(finished.output.find(row.ends[k] +
                                           "\nat 003B (square+16) ret\n"
                                           "    45:         ret\n"
                                           "the case has returned: back or run\nno findings\n"),
                      std::string::npos)
                << finished.output;
        }
    }
}
