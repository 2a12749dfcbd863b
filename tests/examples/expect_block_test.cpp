// The runner is only as good as its two parsers: an expect line that is
// silently skipped, or a display that is not recognised, would let an
// example pass without checking it.
#include <gtest/gtest.h>

#include "expect_block.hpp"

TEST(ExampleExpectBlock, CollectsOutLinesInOrderAndBothStatistics) {
    Expectation e = parse_expectation(
        "; demo\n"
        "; expect: out 1 2 3\r\n"
        ";expect:out 255\n"
        "        ldi 1   ; expect: out 9 (not at the line start: ignored)\n"
        "; expect: instructions 12\n"
        "; expect: clocks 34\n");
    EXPECT_EQ(e.port0_values, (std::vector<int>{1, 2, 3, 255}));
    EXPECT_EQ(e.instructions, 12);
    EXPECT_EQ(e.clocks, 34);
    EXPECT_TRUE(e.problems.empty());
}

TEST(ExampleExpectBlock, ReportsMisspeltKeysAndBadValues) {
    Expectation e = parse_expectation(
        "; expect: clock 5\n"
        "; expect: out 256\n"
        "; expect: out 4Ah\n"
        "; expect: instructions 1 2\n");
    EXPECT_EQ(e.problems.size(), 4u);
    EXPECT_EQ(e.instructions, -1);
    EXPECT_EQ(e.clocks, -1);
}

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
