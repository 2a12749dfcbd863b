// From source text to a finished run: assemble, then load and run the
// object code file in the simulator.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_assembler.hpp"

namespace {

RunResult assemble_and_run(const TempDir& dir, const std::string& source) {
    ProgramRun a = assemble(dir, source);
    EXPECT_EQ(a.run.exit_status, 0) << a.run.output;
    return run_program(simulator_path(), "prog.hx\n", dir.path);
}

// The values shown on port 0, in order.
std::vector<int> port0_values(const std::string& output) {
    std::vector<int> values;
    for (std::string::size_type at = output.find("-["); at != std::string::npos;
         at = output.find("-[", at + 2)) {
        values.push_back(std::stoi(output.substr(at + 2)));
    }
    return values;
}

TEST(AssemblerEndToEnd, PrintsOneByte) {
    TempDir dir;
    RunResult r = assemble_and_run(dir, "ldi 65\nout 0\nhlt\n");
    EXPECT_EQ(
        r.output,
        "CPU reset ...  success ...\n- Stack machine simulator -\n- Object code file :"
        "-\b\\\n-[65 : 41h]-\b|\n-HALT-\nNo. instruction = 3\nNo. clock = 6,CPI = 2.000000\n");
    EXPECT_EQ(r.exit_status, 0);
}

TEST(AssemblerEndToEnd, LabelsDataAndOrg) {
    // Code reaches data placed by org behind it, through forward references,
    // and a subroutine defined after its call.
    const std::string source =
        "; bytes and a word behind the code\n"
        "        ldd first\n"
        "        out 0\n"
        "        LDD Second      ; case does not matter\n"
        "        out 0\n"
        "        lddw pair       ; the low byte ends on top\n"
        "        out 0\n"
        "        out 0\n"
        "        call show\n"
        "        hlt\n"
        "[show   ldi 33\n"
        "        out 0\n"
        "        ret\n"
        "        org 500\n"
        "[first  db 72\n"
        "[second db 105\n"
        "[pair   dw 1000\n"
        "        end\n"
        "        this line is never read\n";
    TempDir dir;
    RunResult r = assemble_and_run(dir, source);
    EXPECT_EQ(port0_values(r.output), (std::vector<int>{72, 105, 232, 3, 33}));
    EXPECT_NE(r.output.find("No. instruction = 12\nNo. clock = 38,"), std::string::npos)
        << r.output;
    EXPECT_EQ(r.exit_status, 0);
}

}  // namespace
