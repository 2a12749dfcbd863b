// What a run of the simulator showed: the values written to port 0 and the
// two statistics.
#pragma once

#include <string>
#include <vector>

struct RunReport {
    std::vector<int> port0_values;      // from the "\n-[%d : %02Xh]-" displays
    std::vector<std::string> problems;  // displays whose two numbers disagree
    long long instructions = -1;        // from "No. instruction = N"; -1 when absent
    long long clocks = -1;              // from "No. clock = M,"; -1 when absent
};

RunReport parse_simulator_output(const std::string& output);
