// The findings of a recorded run, each with the step of the instruction that
// made it. The monitor looks at each instruction the first time the run gets
// there (new ground, past the furthest step the history has recorded), so it
// always stands at that furthest step. A run over recorded ground (after
// going back) does not look again: it stops at the steps the log already
// holds, so a finding is noted once and stops every run that passes its
// instruction, as a breakpoint does.
//
// `shown` decides which findings stop a run and are listed; the monitor
// looks for the kinds it was made with (the debugger: all of them, so that
// turning a kind on shows the findings of that kind the run has passed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "machine/findings.hpp"

struct FindingLog {
    std::unique_ptr<FindingMonitor> monitor;  // has looked at every recorded step
    std::vector<std::uint64_t> steps;         // the step of each of monitor->findings()
    FindingKinds shown = DEFAULT_FINDING_KINDS;

    // Forgets the run's findings: a new monitor for the program as loaded.
    void begin(const WrittenSet& loaded, const WrittenSet& code, FindingKinds looked_for);
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
