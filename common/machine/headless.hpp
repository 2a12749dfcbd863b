// A run without a console, for programs that embed the machine (debugger,
// checker, web page): port 0 values are collected, in 1 takes no key, and
// hlt ends the run without waiting.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "machine/run_end.hpp"
#include "machine/step.hpp"

struct HeadlessIo {
    std::vector<std::uint8_t> port0;  // every value written to port 0, in order
    void show_port0(unsigned value) { port0.push_back(static_cast<std::uint8_t>(value)); }
    void wait_key() {}
    void halt() {}
};

// Runs one instruction; a stop comes back as a value, with the machine as
// the stop left it.
inline std::optional<Stop> step_headless(Machine& m, HeadlessIo& io) {
    try {
        step(m, io);
    } catch (const MachineStop& s) {
        return s.stop;
    }
    return std::nullopt;
}

// Runs from m.PC until hlt, a stop or `limit` instructions.
RunOutcome run_headless(Machine& m, HeadlessIo& io, std::uint64_t limit);

class FindingMonitor;
// The same with the monitor looking at every instruction before it runs.
RunOutcome run_headless(Machine& m, HeadlessIo& io, std::uint64_t limit, FindingMonitor& monitor);
