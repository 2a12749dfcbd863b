// The checker's reports over the results of every file: its own text (one
// line per case and a closing count) and JSON, and the documents grading
// sites and pipelines read (formats.cpp). Every report carries the same
// facts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "terminal_text.hpp"

#include "cases.hpp"
#include "check.hpp"

struct CheckedCase {
    std::string name;  // as the reports show it
    const TestCase* test;
    CaseResult result;
    double seconds = 0;  // wall clock of the case's runs
};

struct CheckedFile {
    std::string file;              // the operand as given, or a folder's name
    std::string read_failure;      // "" when its source was read
    std::string assembly_failure;  // "" when it assembled and loads
    std::vector<CheckedCase> cases;
    std::string source;            // the source file's path, for the debugger
    std::string source_in_folder;  // the same inside the submission's folder
};

enum class Format : std::uint8_t {
    TEXT,
    JSON,
    GRADESCOPE,
    PRAIRIELEARN,
    JUNIT,
    TAP,
    CSV,
    CANVAS,
    MOODLE
};

// One student of a roster exported from a learning platform: the folder
// their submission is in, their id there and their name, as written.
struct RosterEntry {
    std::string folder, id, name;
};
// The rows of a roster CSV (folder, student id, name; a first row whose
// first field is "folder" is its header). Sets error to "line N: ..." when
// a row has fewer than three fields.
std::vector<RosterEntry> read_roster(std::string_view text, std::string& error);
// "no submission from FOLDER (ID)" per roster entry no file is named
// after, "NAME is not on the roster" per file no entry names.
std::vector<std::string> roster_warnings(const std::vector<CheckedFile>& files,
                                         const std::vector<RosterEntry>& roster);

struct ReportOptions {
    Format format = Format::TEXT;
    // Details of cases that are not visible are left out of the reports a
    // student reads, unless this is set.
    bool show_hidden = false;
    // CSV: one column per case after the five, the points earned in it.
    bool case_columns = false;
    // CSV, canvas and moodle: the students' ids and names by folder.
    const std::vector<RosterEntry>* roster = nullptr;
    // canvas and moodle: the gradebook column's name.
    std::string assignment = "checker";
};

// The format named NAME ("text", "json", ...), or nullopt.
std::optional<Format> format_named(std::string_view name);
// Whether the format describes exactly one submission.
bool one_submission_format(Format format);

std::string report(const std::vector<CheckedFile>& files, const ReportOptions& options);

// What a teacher should know before a student sees the report of cases in
// format: hidden points a total would reveal, bytes anyone can draw again
// (default_seed: no seed of the teacher's own was given). One line each.
std::vector<std::string> format_warnings(const std::vector<TestCase>& cases, Format format,
                                         bool default_seed);

// "PASS name" or "FAIL name (its set lines): first difference" per case; with several files
// and points, "file: points P/T" after each file; with several files,
// "case NAME: P of N passed" per case; then "N passed, M failed" and,
// when any case gives points, ", points P/T".
// in_folder: try lines name the source inside its folder, as for a student.
std::string text_report(const std::vector<CheckedFile>& files, bool show_hidden = true,
                        bool in_folder = false);

std::string json_report(const std::vector<CheckedFile>& files, bool show_hidden = true);

// Shared by the reports.
// Whether a report shows the case's details.
bool shows_details(const TestCase& test, bool show_hidden);
// Hundredths of a point a case is worth: its "points", else one point. Every
// report counts a case so.
long long points_possible(const TestCase& test);
// Hundredths of a point the case earns: all when it passed, with "partial"
// the share of runs passed rounded to hundredths, else none.
long long points_earned(const CheckedCase& c);
// A submission's counts and points, computed once for every report.
struct Score {
    long long passed = 0, failed = 0, earned = 0, possible = 0;
    bool any_points = false;  // a case names its points

    void add(const CheckedCase& c);
    void add(const CheckedFile& f);
    // "points P/T"
    std::string points_text() const;
};
// Of every case of f, or of the visible ones only.
Score score_of(const CheckedFile& f, bool visible_only = false);
// "7 of 10 runs passed" for a failed case with "partial", else "".
std::string runs_share(const CheckedCase& c);
// The failure a one-line report shows: the first difference, after the
// share of runs passed where there is one.
std::string first_failure(const CheckedCase& c);
// What the case stored before the run reported, as written or with the
// random bytes drawn: "set data = 200", "repeat 2 of 5", "call square".
std::vector<std::string> preset_lines(const CheckedCase& c);
// " (set data = 200, set n = 1)": the same on one line.
std::string presets_text(const CheckedCase& c);
// The run's facts on one line: "halted, 812 instructions, 3684 clocks,
// out 3 9 17 ..., PC 41, SP 16383".
std::string run_facts_text(const RunFacts& run);
// How a class did in one case of a cases file.
struct CaseSummary {
    const TestCase* test;
    long long passed = 0, of = 0;
};
// One entry per case, in case order, when several submissions ran the
// same cases; else none.
std::vector<CaseSummary> class_summary(const std::vector<CheckedFile>& files);

// The debugger's command line that starts the machine as the failed case's
// run started, quoted for a POSIX shell: "debugger --set 'n = 20' sum.asm",
// with "--call LABEL --stack 'V...'" for a call case; "" for a passing or
// hidden case, or one that did not run.
// In the formats of grading platforms (in_folder) the path is the one
// inside the submission's folder: the grader's own paths never appear.
std::string try_command(const CheckedFile& f, const CheckedCase& c, bool in_folder = false);

// For a case that ended at its limit, the debugger command that goes to
// where it ended ("goto 1000"), since continue would not return; else "".
std::string try_then(const CheckedCase& c);

// "N passed, M failed" and, when any case gives points, ", points P/T".
std::string summary_line(const std::vector<CheckedFile>& files);

bool all_passed(const std::vector<CheckedFile>& files);
