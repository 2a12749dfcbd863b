// What a test case of the checker expects of a run, and the two places it
// comes from: the "; expect:" lines of a source, or a cases file that holds
// several named cases for one assignment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "machine/findings.hpp"
#include "machine/stops.hpp"

constexpr std::uint64_t DEFAULT_INSTRUCTION_LIMIT = 10'000'000;

// A memory location: a decimal address, or a label of the program with an
// optional "+N".
struct Location {
    std::string label;  // "" for a plain address
    long long offset = 0;
    std::string text;  // as written
};

// Bytes drawn for each run: "random N LOW..HIGH".
struct RandomBytes {
    std::uint8_t low = 0, high = 255;
};

// "mem LOCATION = V...", "mem LOCATION same N" and "set LOCATION = V...",
// "set LOCATION = random N LOW..HIGH".
struct MemoryBytes {
    Location where;
    std::vector<std::uint8_t> values;  // N zeros for "same" and "random"
    std::optional<RandomBytes> random;
    bool same = false;  // the bytes the reference left there
    std::string text;   // the whole line as written, for reports
};

enum class CountKind : std::uint8_t { INSTRUCTIONS, CLOCKS };

// "instructions N", "instructions <= N", "instructions <= reference * N",
// and the same for clocks.
struct CountCheck {
    CountKind kind;
    bool at_most;
    std::uint64_t value;
    bool times_reference = false;  // value is a factor of the reference's count
};

// Who sees a case's details: everyone, or (in a student's report) nobody
// but its pass or fail; the last two tell a grading site when to show them.
enum class Visibility : std::uint8_t { VISIBLE, HIDDEN, AFTER_DUE_DATE, AFTER_PUBLISHED };
// "visible", "hidden", "after_due_date", "after_published".
const char* visibility_name(Visibility visibility);

struct TestCase {
    std::string name;
    std::optional<std::vector<std::uint8_t>> out;  // "out" lines add up
    std::vector<CountCheck> counts;
    std::optional<int> status;        // 0 or 255
    std::optional<std::string> stop;  // the stop's text
    std::vector<MemoryBytes> mem;
    std::vector<MemoryBytes> presets;  // "set", applied before the run
    bool no_findings = false;          // "no findings": the run makes none of the default kinds
    FindingKinds finding_kinds = DEFAULT_FINDING_KINDS;  // and of those named after it
    bool stack_empty = false;         // "stack empty": SP 0 or STACK_TOP when the run ends
    std::optional<std::uint16_t> sp;  // "sp V": SP when the run ends
    bool out_same = false;            // "out same": what the reference wrote
    long long repeat = 1;             // runs, each with fresh random bytes
    // "call LABEL": the run starts at LABEL and ends when it returns.
    std::optional<Location> call;
    // "stack V..." before "call": pushed below the return address, top first;
    // after "call", or in a case without one: what the stack holds at the end.
    std::optional<std::vector<std::uint8_t>> stack_before, stack_after;
    // "points N", "points N.D", "points N.DD": in hundredths of a point.
    std::optional<long long> points;
    // "partial": with repeat K, the points times the share of runs passed.
    bool partial = false;
    // "message TEXT": shown with a failure of the case, never with a pass.
    std::string message;
    // "show expected no": no failure names an expected value.
    bool show_expected = true;
    std::uint64_t limit = DEFAULT_INSTRUCTION_LIMIT;
    Visibility visibility = Visibility::VISIBLE;
    std::vector<std::string> lines;     // every expectation as written, for reports
    std::vector<std::string> problems;  // lines that could not be read, with their line number

    bool needs_reference() const;
};

// The non-empty lines of a message, each without leading blanks.
std::vector<std::string> message_lines(const std::string& message);
// Lines joined by one blank.
std::string join_lines(const std::vector<std::string>& lines);

// The stop's text that "stop TEXT" matches: the message's last line without
// its leading blanks ("Stack underflow").
std::string stop_text(const Stop& stop);
// All lines of the message, each without leading blanks, joined by one
// blank ("-LDD- ERROR address overload (> MEMORY_SIZE)"); also matched.
std::string stop_full_text(const Stop& stop);

// Points given in hundredths as a report writes them: "4.5", "14", "0.25".
std::string points_text(long long hundredths);

// Reads one expectation ("out 1 2", "mem data = 3", ...) into the case.
// Returns "" or what is wrong with it.
std::string add_expectation(TestCase& c, std::string_view text);

// The one case of a source: its "; expect:" lines, that is lines that start
// with ';', optional blanks and "expect:", numbered as the assembler numbers
// them. Lines it cannot read become problems of the case, and so does a
// source without any such line: it has nothing to check.
TestCase source_case(std::string_view source, const std::string& name);

// The cases of a cases file: "case NAME" starts a case, each following line
// holds one expectation; blank lines and lines starting with '#' or ';' are
// comments; a UTF-8 byte order mark at the start is skipped. Two cases of
// one name are refused. Returns the cases, or sets error to
// "line N: what is wrong".
std::vector<TestCase> read_cases(std::string_view text, std::string& error);
