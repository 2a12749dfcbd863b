// The example runner compares the simulator's output with the checker's
// run: a display that is not recognised would let a difference pass.
#include <gtest/gtest.h>

#include "simulator_output.hpp"

TEST(ExampleSimulatorOutput, ReadsDisplaysBetweenSpinnerFramesAndStatistics) {
    RunReport r = parse_simulator_output(
        "- Object code file :-\b\\\n-[65 : 41h]-\b|\b/\n-[0 : 00h]-\b-"
        "\n-HALT-\nNo. instruction = 5\nNo. clock = 12,CPI = 2.400000\n");
    EXPECT_EQ(r.port0_values, (std::vector<int>{65, 0}));
    EXPECT_TRUE(r.problems.empty());
    EXPECT_EQ(r.instructions, 5);
    EXPECT_EQ(r.clocks, 12);
}

TEST(ExampleSimulatorOutput, FlagsADisplayWhoseNumbersDisagree) {
    RunReport r = parse_simulator_output("\n-[65 : 42h]-");
    EXPECT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.instructions, -1);
}
