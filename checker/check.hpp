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

// What bounds a run besides the case's instruction limit.
struct RunLimits {
    double seconds = 10;  // processor time of the thread that runs it
    // Random bytes of a case's runs come from this, the case's name, the
    // run's number and the submission's source (source_key).
    std::uint64_t seed = 1;
    // The counts a run starts from, as if it went on from an earlier one:
    // 0, but a test starts near 2^32 to see every count past it.
    std::uint64_t instructions_before = 0, clocks_before = 0;
};

// A number that stands for a source's bytes in the draw of random bytes, so
// that another source meets other bytes and the same source the same ones.
std::uint64_t source_key(std::string_view source);

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
    bool passed() const { return failures.empty(); }
};

// The assembler's outcome as one line: "" when the program assembled and
// loads, else its message with the line it names.
std::string assembly_failure(const AssemblyResult& program);

// A case that compares with a reference runs it first, on the same
// presets; reference is null when there is none. key is the submission's
// source_key.
CaseResult check_case(const AssemblyResult& program, const TestCase& test,
                      const RunLimits& limits = {}, const AssemblyResult* reference = nullptr,
                      std::uint64_t key = 0);
