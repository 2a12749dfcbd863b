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
    std::uint64_t keys = 0;           // in 1 instructions run
    void show_port0(unsigned value) { port0.push_back(static_cast<std::uint8_t>(value)); }
    void wait_key() { ++keys; }
    void halt() {}
};

// Whether the next instruction is `in 1`, which waits for a key at a
// terminal.
inline bool at_key_wait(const Machine& m) {
    return m.PC < MAX_MEMORY && m.memory[m.PC] == OP_IN && m.PC + 1u < MEMORY_SIZE &&
           m.memory[m.PC + 1u] == 1;
}

// The one place in the core where a machine stop becomes a value: runs
// `body` (some instructions of a machine) and returns the stop that ended
// it, if one did. (The simulator's console loop keeps its own.)
template <class Body>
std::optional<Stop> stop_of(Body&& body) {
    try {
        body();
    } catch (const MachineStop& s) {
        return s.stop;
    }
    return std::nullopt;
}

// Runs one instruction; a stop comes back as a value, with the machine as
// the stop left it.
inline std::optional<Stop> step_headless(Machine& m, HeadlessIo& io) {
    return stop_of([&] { step(m, io); });
}

// Runs from m.PC until hlt, a stop or `limit` instructions.
RunOutcome run_headless(Machine& m, HeadlessIo& io, std::uint64_t limit);

class FindingMonitor;
// The same with the monitor looking at every instruction before it runs.
RunOutcome run_headless(Machine& m, HeadlessIo& io, std::uint64_t limit, FindingMonitor& monitor);
// The same run by the monitored fast loop (machine/fast_run.hpp): every
// instruction it leaves gets the monitor's look and step(). The same
// findings, state and outcome; the checker's runs.
RunOutcome run_headless_fast(Machine& m, HeadlessIo& io, std::uint64_t limit,
                             FindingMonitor& monitor);
