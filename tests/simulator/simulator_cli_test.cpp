#include <gtest/gtest.h>

#include "run_program.hpp"

TEST(SimulatorCli, NopThenHlt) {
    TempDir dir;
    write_file(dir.file("prog.hx"), "0 64\n1 65\n");
    RunResult r = run_program(simulator_path(), "prog.hx\n", dir.path);
    EXPECT_EQ(r.output,
              "CPU reset ...  success ...\n- Stack machine simulator -\n- Object code file :"
              "-\b\\\n-HALT-\nNo. instruction = 2\nNo. clock = 3,CPI = 1.500000\n");
    EXPECT_EQ(r.exit_status, 0);
}
