// What port 0 received, compared with a case's "out" values as they come,
// and the failure line that tells the difference.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Sequences of at most this many values are shown whole in a failure.
constexpr std::size_t OUT_SHOWN_WHOLE = 16;
// A longer one shows this many values on each side of the first difference.
constexpr std::size_t OUT_CONTEXT = 3;

struct OutSeen {
    const std::vector<std::uint8_t>* want = nullptr;  // "out" values, if the case has them
    std::uint64_t count = 0;
    // Index of the first value unlike want's, or of the first one past it.
    std::optional<std::uint64_t> first_difference;
    std::vector<std::uint8_t> head;    // the first OUT_SHOWN_WHOLE + 1 values
    std::vector<std::uint8_t> before;  // the last OUT_CONTEXT values before the difference
    std::vector<std::uint8_t> after;   // the differing value and OUT_CONTEXT after it

    void see(std::uint8_t value);
};

// The failure of "out", or "" when the values are the expected ones. With
// show_expected false, the line names the first differing value only
// ("expected out #3 = 76, got 77", rewritten later without the 76).
std::string out_failure(const OutSeen& seen, bool show_expected);
