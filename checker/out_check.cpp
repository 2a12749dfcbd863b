#include "out_check.hpp"

#include <algorithm>

namespace {

std::string values_text(const std::vector<std::uint8_t>& values, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t k = from; k < to && k < values.size(); ++k) {
        if (!text.empty()) text += ' ';
        text += std::to_string(values[k]);
    }
    return text.empty() ? "nothing" : text;
}

// "... 5 6 7 76 9 10 11 ...": the values around index at, of total values;
// values[0] stands for index first.
std::string window_text(const std::vector<std::uint8_t>& values, std::uint64_t first,
                        std::uint64_t total, std::uint64_t at) {
    std::uint64_t from = at > OUT_CONTEXT ? at - OUT_CONTEXT : 0;
    std::uint64_t to = std::min<std::uint64_t>(total, at + OUT_CONTEXT + 1);
    std::string text = from > 0 ? "..." : "";
    for (std::uint64_t k = from; k < to; ++k) {
        if (k < first || k - first >= values.size()) continue;
        if (!text.empty()) text += ' ';
        text += std::to_string(values[k - first]);
    }
    if (to < total) text += text.empty() ? "..." : " ...";
    return text.empty() ? "nothing" : text;
}

}  // namespace

void OutSeen::see(std::uint8_t value) {
    if (head.size() <= OUT_SHOWN_WHOLE) head.push_back(value);
    if (want != nullptr) {
        if (!first_difference) {
            if (count >= want->size() || (*want)[count] != value) {
                first_difference = count;
                after.push_back(value);
            } else {
                if (before.size() == OUT_CONTEXT) before.erase(before.begin());
                before.push_back(value);
            }
        } else if (after.size() <= OUT_CONTEXT) {
            after.push_back(value);
        }
    }
    ++count;
}

std::string out_failure(const OutSeen& seen, bool show_expected) {
    const std::vector<std::uint8_t>& want = *seen.want;
    if (!seen.first_difference && seen.count == want.size()) return "";
    // Fewer values than expected differ where the run's values end.
    std::uint64_t at = seen.first_difference.value_or(seen.count);
    bool short_enough = want.size() <= OUT_SHOWN_WHOLE && seen.count <= OUT_SHOWN_WHOLE;
    if (show_expected && short_enough) {
        return "expected out " + values_text(want, 0, want.size()) + ", got " +
               values_text(seen.head, 0, seen.head.size());
    }
    std::string line;
    if (at >= want.size()) {
        line = "expected " + std::to_string(want.size()) + " out values, got " +
               std::to_string(seen.count) + " (#" + std::to_string(at + 1) + " = " +
               std::to_string(seen.after.front()) + ")";
    } else {
        line = "expected out #" + std::to_string(at + 1) + " = " + std::to_string(want[at]) +
               ", got " +
               (seen.first_difference ? std::to_string(seen.after.front())
                                      : "only " + std::to_string(seen.count) + " values");
    }
    if (!show_expected) return line;
    // The run's values around the difference: those kept before it, then it
    // and those after.
    std::vector<std::uint8_t> got = seen.before;
    got.insert(got.end(), seen.after.begin(), seen.after.end());
    std::uint64_t got_first = at - seen.before.size();
    return line + "; expected " + window_text(want, 0, want.size(), at) + ", got " +
           window_text(got, got_first, seen.count, at);
}
