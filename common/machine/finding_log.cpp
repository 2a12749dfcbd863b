#include "machine/finding_log.hpp"

#include <algorithm>

void FindingLog::begin(const WrittenSet& loaded, const WrittenSet& code, FindingKinds looked_for) {
    monitor = std::make_unique<FindingMonitor>(loaded, code, looked_for);
    steps.clear();
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
