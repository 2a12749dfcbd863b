#include "findings.hpp"

#include <algorithm>
#include <string>

void FindingLog::begin(const DebugProgram& program) {
    monitor = std::make_unique<FindingMonitor>(program.loaded, program.code, ALL_FINDING_KINDS);
    steps.clear();
    source.line_of_address = {};
    source.labels.clear();
    if (program.has_source) {
        source.line_of_address = program.line_of_address;
        for (const Label& label : program.labels)
            source.labels.emplace_back(label.name, label.address);
    }
}

void FindingLog::note_steps(std::size_t known, std::uint64_t step) {
    steps.resize(known);
    steps.resize(all().size(), step);
}

std::vector<std::size_t> FindingLog::at(std::uint64_t step) const {
    std::vector<std::size_t> found;
    auto first = std::lower_bound(steps.begin(), steps.end(), step);
    for (auto i = first; i != steps.end() && *i == step; ++i) {
        auto index = static_cast<std::size_t>(i - steps.begin());
        if (is_shown(all()[index])) found.push_back(index);
    }
    return found;
}

std::optional<std::uint64_t> FindingLog::next_after(std::uint64_t step) const {
    for (auto i = std::upper_bound(steps.begin(), steps.end(), step); i != steps.end(); ++i) {
        if (is_shown(all()[static_cast<std::size_t>(i - steps.begin())])) return *i;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> FindingLog::last_before(std::uint64_t step) const {
    for (auto i = std::lower_bound(steps.begin(), steps.end(), step); i != steps.begin();) {
        --i;
        if (is_shown(all()[static_cast<std::size_t>(i - steps.begin())])) return *i;
    }
    return std::nullopt;
}

std::size_t FindingLog::count_between(std::uint64_t from, std::uint64_t to) const {
    std::size_t count = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (steps[i] > from && steps[i] <= to && is_shown(all()[i])) ++count;
    }
    return count;
}

std::string balance_text(unsigned depth_before, unsigned depth_after) {
    if (depth_before == depth_after) return "the stack is as deep as before the call";
    unsigned change =
        depth_after > depth_before ? depth_after - depth_before : depth_before - depth_after;
    return "the stack is " + std::to_string(change) + (change == 1 ? " byte " : " bytes ") +
           (depth_after > depth_before ? "deeper" : "shallower") + " than before the call";
}
