// What an example program promises in its leading comment block, and what a
// run of the simulator showed: the values written to port 0 and the two
// statistics.
#pragma once

#include <string>
#include <vector>

struct Expectation {
    std::vector<int> port0_values;      // every "; expect: out" line, in order
    long long instructions = -1;        // "; expect: instructions N"; -1 when missing
    long long clocks = -1;              // "; expect: clocks N"; -1 when missing
    std::vector<std::string> problems;  // malformed or unknown expect lines
};

// Reads the lines "; expect: KEY VALUES" of an assembly source. KEY is out
// (any number of decimal values, lines add up), instructions or clocks.
Expectation parse_expectation(const std::string& source);

struct RunReport {
    std::vector<int> port0_values;      // from the "\n-[%d : %02Xh]-" displays
    std::vector<std::string> problems;  // displays whose two numbers disagree
    long long instructions = -1;        // from "No. instruction = N"; -1 when absent
    long long clocks = -1;              // from "No. clock = M,"; -1 when absent
};

RunReport parse_simulator_output(const std::string& output);
