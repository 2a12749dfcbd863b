// The findings of a debugging session's run. The monitor looks at each
// instruction the first time the run gets there (new ground, past the
// furthest step the history has recorded), so it always stands at that
// furthest step; each finding is kept with the step of the instruction that
// made it. A run over recorded ground (after back or goto) does not look
// again: it stops at the steps the log already holds, so a finding is noted
// once and stops every run that passes its instruction, as a breakpoint
// does.
//
// The monitor looks for every kind all along; `shown` only decides which
// findings stop a run and are listed. Turning a kind on therefore shows the
// findings of that kind the run has already passed, exactly as if it had
// been on from the start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "machine/findings.hpp"
#include "program.hpp"

struct FindingLog {
    std::unique_ptr<FindingMonitor> monitor;  // has looked at every recorded step
    std::vector<std::uint64_t> steps;         // the step of each of monitor->findings()
    FindingKinds shown = DEFAULT_FINDING_KINDS;
    SourceMap source;  // lines and labels for the findings' text

    // Forgets the run's findings: a new monitor for the program as loaded.
    void begin(const DebugProgram& program);
    // Notes the step of the findings the monitor added since it held `known`.
    void note_steps(std::size_t known, std::uint64_t step);

    const std::vector<MachineFinding>& all() const { return monitor->findings(); }
    bool is_shown(const MachineFinding& f) const { return (shown & kind_bit(f.kind)) != 0; }
    // The findings of a shown kind made by the instruction of `step`.
    std::vector<std::size_t> at(std::uint64_t step) const;
    // The first step after `step`, and the last one before it, with a
    // finding of a shown kind.
    std::optional<std::uint64_t> next_after(std::uint64_t step) const;
    std::optional<std::uint64_t> last_before(std::uint64_t step) const;
    // How many findings of a shown kind lie in the steps after `from` up to
    // `to`.
    std::size_t count_between(std::uint64_t from, std::uint64_t to) const;
};

// How the stack's depth changed between before a call and after its ret:
// "the stack is 6 bytes deeper than before the call", "... 1 byte
// shallower ...", "the stack is as deep as before the call".
std::string balance_text(unsigned depth_before, unsigned depth_after);
