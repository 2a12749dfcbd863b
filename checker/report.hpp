// The checker's two reports over the results of every file: one line per
// case and a closing count, or one JSON document.
#pragma once

#include <string>
#include <vector>

#include "cases.hpp"
#include "check.hpp"

struct CheckedCase {
    std::string name;  // as the reports show it
    const TestCase* test;
    CaseResult result;
};

struct CheckedFile {
    std::string file;
    std::string assembly_failure;  // "" when it assembled and loads
    std::vector<CheckedCase> cases;
};

// "PASS name" or "FAIL name (its set lines): first difference" per case; with several files
// and points, "file: points P/T" after each file; then
// "N passed, M failed" and, when any case gives points, ", points P/T".
std::string text_report(const std::vector<CheckedFile>& files);

std::string json_report(const std::vector<CheckedFile>& files);

bool all_passed(const std::vector<CheckedFile>& files);
