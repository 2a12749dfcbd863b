// Runs one test case on an assembled program in this process, headless, and
// compares what the run did with what the case expects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assemble.hpp"
#include "cases.hpp"
#include "machine/findings.hpp"
#include "machine/run_end.hpp"
#include "machine/stops.hpp"

// The default seed: anyone may draw the bytes it gives.
constexpr std::uint64_t DEFAULT_SEED = 1;

// What bounds a run besides the case's instruction limit.
struct RunLimits {
    double seconds = 10;  // processor time of the thread that runs it
    // Random bytes of a case's runs come from this (the teacher's), the
    // case's random lines and repeat count, the run's number and the
    // submission's identity (submission_key).
    std::uint64_t seed = DEFAULT_SEED;
    // The counts a run starts from, as if it went on from an earlier one:
    // 0, but a test starts near 2^32 to see every count past it.
    std::uint64_t instructions_before = 0, clocks_before = 0;
};

// A number that stands for a submission in the draw of random bytes: its
// identity (a folder's name, a site's user ids), never its source text, so
// that a changed comment meets the same bytes and a classmate other ones.
std::uint64_t submission_key(std::string_view identity);

// A seed from a file's text (a teacher's private phrase), trailing line
// ends and blanks left out.
std::uint64_t seed_from_text(std::string_view text);

// A run keeps at most this many port 0 values for its report; the
// comparison with "out" sees every value.
constexpr std::size_t PORT0_KEPT = 10'000;

// What a run did, for the reports.
struct RunFacts {
    RunEnd end = RunEnd::NOT_RUN;
    std::optional<Stop> stop;
    std::uint64_t instructions = 0;  // true counts, past 2^32 too
    std::uint64_t clocks = 0;
    std::vector<std::uint8_t> port0;  // the first PORT0_KEPT values
    std::uint64_t port0_count = 0;    // every value
    std::uint16_t final_pc = 0;
    std::uint16_t final_sp = 0;
    std::vector<std::string> findings;  // what the run did wrong, with source lines
    // Bytes left on the stack: "of the 3 bytes on the stack, 3 were pushed
    // by line 6: ...", or "" when none the program pushed are left.
    std::string stack_leak;
};

struct CaseResult {
    RunFacts run;
    // Every difference found, the most telling first: lines of the case that
    // could not be read, the assembly, the way the run ended, then port 0,
    // memory and the counts.
    std::vector<std::string> failures;
    // The presets of the run reported, random bytes drawn ("set data = 4 9"),
    // with "repeat K of N", "stack V..." and "call LABEL" where the case has them.
    std::vector<std::string> presets;
    // Runs that passed, of a case with "partial" (of its repeat count).
    long long runs_passed = 0;
    bool passed() const { return failures.empty(); }
};

// The assembler's outcome as one line: "" when the program assembled and
// loads, else its message with the line it names.
std::string assembly_failure(const AssemblyResult& program);

// A case that compares with a reference runs it first, on the same
// presets; reference is null when there is none. key is the submission's
// submission_key.
CaseResult check_case(const AssemblyResult& program, const TestCase& test,
                      const RunLimits& limits = {}, const AssemblyResult* reference = nullptr,
                      std::uint64_t key = 0);
