#include "expect_block.hpp"

#include <regex>
#include <sstream>

namespace {

bool parse_number(const std::string& text, long long* value) {
    if (text.empty() || text.size() > 18) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    *value = std::stoll(text);
    return true;
}

}  // namespace

Expectation parse_expectation(const std::string& source) {
    static const std::regex expect_line(R"(^;\s*expect:\s*(\S*)\s*(.*?)\s*$)");
    Expectation result;
    std::istringstream lines(source);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::smatch match;
        if (!std::regex_match(line, match, expect_line)) continue;
        const std::string key = match[1];
        std::istringstream values(match[2].str());
        std::vector<long long> numbers;
        std::string word;
        bool well_formed = true;
        while (values >> word) {
            long long number = 0;
            if (!parse_number(word, &number)) well_formed = false;
            numbers.push_back(number);
        }
        if (key == "out" && well_formed) {
            for (long long n : numbers) {
                if (n > 255) well_formed = false;
                result.port0_values.push_back(static_cast<int>(n));
            }
        } else if ((key == "instructions" || key == "clocks") && well_formed &&
                   numbers.size() == 1) {
            (key == "instructions" ? result.instructions : result.clocks) = numbers[0];
        } else {
            well_formed = false;
        }
        if (!well_formed) result.problems.push_back(line);
    }
    return result;
}

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
