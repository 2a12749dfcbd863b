#include "machine/headless.hpp"

#include "machine/fast_run.hpp"
#include "machine/findings.hpp"

namespace {

struct NoMonitor {
    static bool before(const RunningMachine&) { return false; }
};

template <class Monitor>
RunOutcome run_watched(Machine& m, HeadlessIo& io, std::uint64_t limit, Monitor& monitor) {
    // The registers live in a local during the run; every way out writes
    // them back.
    RunningMachine local(m);
    RunEnd end = RunEnd::LIMIT;
    std::optional<Stop> stop = stop_of([&] {
        for (std::uint64_t n = 0; n < limit; ++n) {
            monitor.before(local);
            step(local, io);
            if (local.IR == OP_HLT) {
                end = RunEnd::HALTED;
                return;
            }
        }
    });
    local.write_back(m);
    if (stop) return {RunEnd::STOPPED, stop};
    return {end, std::nullopt};
}

}  // namespace

RunOutcome run_headless(Machine& m, HeadlessIo& io, std::uint64_t limit) {
    NoMonitor none;
    return run_watched(m, io, limit, none);
}

RunOutcome run_headless(Machine& m, HeadlessIo& io, std::uint64_t limit, FindingMonitor& monitor) {
    return run_watched(m, io, limit, monitor);
}

RunOutcome run_headless_fast(Machine& m, HeadlessIo& io, std::uint64_t limit,
                             FindingMonitor& monitor) {
    const std::uint64_t until = m.instruction_count + limit;
    RunEnd end = RunEnd::LIMIT;
    std::optional<Stop> stop = stop_of([&] {
        while (m.instruction_count < until) {
            run_fast(m, until, FastStops{}, monitor, nullptr);
            if (m.instruction_count == until) return;
            monitor.before(m);
            step(m, io);
            if (m.IR == OP_HLT) {
                end = RunEnd::HALTED;
                return;
            }
        }
    });
    if (stop) return {RunEnd::STOPPED, stop};
    return {end, std::nullopt};
}
