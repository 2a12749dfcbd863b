// checker --compare OLD.json: what changed against an earlier JSON report of
// the same class, so that a mended cases file can be checked before grades
// are released.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "report.hpp"

// What an earlier report said of one submission: its points (hundredths)
// and each case's verdict and points, in case order.
struct EarlierGrade {
    long long points = 0, possible = 0;
    struct Case {
        std::string name;
        bool passed = false;
        long long points = 0;
    };
    std::vector<Case> cases;
};
using EarlierReport = std::map<std::string, EarlierGrade>;  // by submission name

// The submissions of a report written by --json; error says why not when
// the text is no such report ("" otherwise).
EarlierReport read_earlier_report(std::string_view text, std::string& error);

// One line per submission whose points or case verdicts changed, with the
// cases that changed ("bob: points 5/10, was 3/10; given now passes"), one
// for each submission in only one of the reports, and a last line counting
// them ("2 of 40 submissions changed", "no submission changed").
std::string regrade_report(const std::vector<CheckedFile>& files, const EarlierReport& earlier,
                           int& changed);
