// The checker's "try:" line of a failed case, run as printed through a
// shell, starts the debugger where the checker's run started: continued to
// the end, it writes the same port 0 values and stops after the same
// instructions and clocks. A case stopped at its limit says where to go
// instead, since continue would not return.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "run_program.hpp"

TEST(DebuggerCaseReplay, TheTryLineOfAFailedCaseReachesTheCheckersEnd) {
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
               "case square\n  stack 3 9\n  call square\n  stack 10 9\n");
    write_file(dir.file("spin.asm"),
               "[spin jmp spin\n[data db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0\n");
    for (const std::string& source :
         {std::string("carl's sort.asm"), std::string("sub.asm"), std::string("spin.asm")}) {
        RunResult checked = run_program(
            CHECKER_PATH, {"--cases", "t.cases", "--reference", "ref.asm", "--json", source}, "",
            dir.path);
        nlohmann::json c =
            nlohmann::json::parse(checked.output)["files"][0]["cases"][source == "sub.asm" ? 1 : 0];
        ASSERT_EQ(c["passed"], false) << checked.output;
        std::string command = c["try"];
        std::string then = c.value("then", "continue");
        write_file(dir.file("script"), "check all off\n" + then + "\nregs\nquit\n");
        // The text report prints the same line, ready to paste.
        RunResult text = run_program(
            CHECKER_PATH, {"--cases", "t.cases", "--reference", "ref.asm", source}, "", dir.path);
        EXPECT_NE(text.output.find("\n  try: " + command + "\n"), std::string::npos) << text.output;
        RunResult run = run_program(
            "/bin/sh",
            {"-c", "PATH='" + std::filesystem::path(DEBUGGER_PATH).parent_path().string() +
                       "':\"$PATH\" " + command + " < script"},
            "", dir.path);
        EXPECT_EQ(run.exit_status, 0) << command << "\n" << run.errors;
        std::vector<long long> out;
        for (std::size_t at = 0; (at = run.output.find("\n-[", at)) != std::string::npos;) {
            at += 3;
            out.push_back(std::stoll(run.output.substr(at)));
        }
        EXPECT_EQ(nlohmann::json(out), c["run"]["out"]) << command << "\n" << run.output;
        std::string counts =
            "instructions=" + std::to_string(c["run"]["instructions"].get<long long>()) +
            " clocks=" + std::to_string(c["run"]["clocks"].get<long long>()) + "\n";
        EXPECT_NE(run.output.find(counts), std::string::npos) << command << "\n" << run.output;
        // The checker's end: hlt, or the return to the mark past the
        // program area (a stop of the machine in the debugger).
        if (source == "spin.asm") {
            EXPECT_EQ(c["run"]["outcome"], "limit");
            continue;
        }
        bool returned = c["run"]["outcome"] == "returned";
        EXPECT_EQ(c["run"]["outcome"], returned ? "returned" : "halted");
        EXPECT_NE(run.output.find(returned ? "PC overload" : "program halted"), std::string::npos)
            << run.output;
    }
}
