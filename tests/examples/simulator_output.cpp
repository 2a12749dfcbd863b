#include "simulator_output.hpp"

#include <regex>

RunReport parse_simulator_output(const std::string& output) {
    static const std::regex display(R"(\n-\[(\d+) : ([0-9A-F]{2})h\]-)");
    static const std::regex statistics(
        R"(No\. instruction = (-?\d+)\nNo\. clock = (-?\d+),CPI = )");
    RunReport report;
    for (auto it = std::sregex_iterator(output.begin(), output.end(), display);
         it != std::sregex_iterator(); ++it) {
        int value = std::stoi((*it)[1]);
        int hex = std::stoi((*it)[2], nullptr, 16);
        if (value != hex) report.problems.push_back((*it)[0]);
        report.port0_values.push_back(value);
    }
    std::smatch match;
    if (std::regex_search(output, match, statistics)) {
        report.instructions = std::stoll(match[1]);
        report.clocks = std::stoll(match[2]);
    }
    return report;
}
