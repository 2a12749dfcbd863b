// The fast run loop (machine/fast_run.hpp) checked against the one step
// procedure on a given machine, for the random-image test and the run-loop
// fuzz target. Header-only, so that both builds take it as it is.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "machine/fast_run.hpp"
#include "machine/headless.hpp"

struct FastRunComparison {
    std::string difference;  // the first one found; "" when the runs agree
    long fast = 0;           // instructions run by run_fast
    long stepped = 0;        // instructions it left to step()
    bool halted = false;
    bool stopped = false;
};

inline bool same_registers(const Registers& a, const Registers& b) {
    return a.PC == b.PC && a.SP == b.SP && a.IR == b.IR && a.Z == b.Z && a.S == b.S && a.O == b.O &&
           a.C == b.C && a.instruction_count == b.instruction_count &&
           a.clock_count == b.clock_count;
}

inline std::string describe_registers(const Registers& m) {
    std::ostringstream text;
    text << "PC=" << m.PC << " SP=" << m.SP << " IR=" << int{m.IR} << " Z=" << int{m.Z}
         << " S=" << int{m.S} << " O=" << int{m.O} << " C=" << int{m.C}
         << " instructions=" << m.instruction_count << " clocks=" << m.clock_count;
    return text.str();
}

// Runs copies of the machine `start` for at most `limit` instructions twice:
// with step() alone, and as the simulator runs it (run_fast up to a count,
// then step() for an instruction run_fast leaves), with counts drawn from
// `seed`: mostly one instruction at a time, sometimes up to 64, sometimes
// the rest. After every run_fast and step() the registers, flags and counts
// must be those step() alone left after as many instructions; at the end
// the memory, ports, port 0 values and the stop (kind, PC, IR) must agree.
inline FastRunComparison compare_fast_run(const Machine& start, int limit, std::uint32_t seed) {
    FastRunComparison result;
    std::ostringstream difference;

    auto r_machine = std::make_unique<Machine>(start);
    Machine& r = *r_machine;
    HeadlessIo r_io;
    std::vector<Registers> after{r};  // after[k]: the registers after k instructions
    std::optional<Stop> r_stop;
    for (int n = 0; n < limit; ++n) {
        r_stop = step_headless(r, r_io);
        if (r_stop) break;
        after.push_back(r);
        if (r.IR == OP_HLT) break;
    }
    auto f_machine = std::make_unique<Machine>(start);
    Machine& f = *f_machine;
    HeadlessIo f_io;
    std::optional<Stop> f_stop;
    const std::uint64_t first = f.instruction_count;
    std::uint32_t random = seed | 1u;
    auto ran = [&] { return static_cast<std::size_t>(f.instruction_count - first); };
    auto agrees = [&](const char* after_what) {
        if (ran() < after.size() && same_registers(f, after[ran()])) return true;
        difference << "after " << after_what << " at instruction " << ran() << ": "
                   << describe_registers(f) << ", step() alone: "
                   << (ran() < after.size() ? describe_registers(after[ran()]) : "stopped before");
        return false;
    };
    while (ran() < static_cast<std::size_t>(limit)) {
        random ^= random << 13;
        random ^= random >> 17;
        random ^= random << 5;
        std::uint32_t count = random % 8 < 4   ? 1
                              : random % 8 < 7 ? 2 + (random >> 8) % 63
                                               : static_cast<std::uint32_t>(limit);
        std::uint64_t until = f.instruction_count + std::min<std::uint64_t>(count, limit - ran());
        std::size_t before = ran();
        try {
            run_fast(f, until);
        } catch (const MachineStop& s) {
            f_stop = s.stop;
            result.fast += static_cast<long>(ran() - before);
            break;
        }
        result.fast += static_cast<long>(ran() - before);
        if (!agrees("run_fast")) break;
        if (f.instruction_count == until) continue;
        f_stop = step_headless(f, f_io);
        if (f_stop) break;
        ++result.stepped;
        if (!agrees("step()")) break;
        if (f.IR == OP_HLT) break;
    }

    if (difference.tellp() == 0) {
        if (f_stop.has_value() != r_stop.has_value()) {
            difference << (r_stop ? "step() alone stopped, the fast run did not"
                                  : "the fast run stopped, step() alone did not");
        } else if (f_stop && (f_stop->kind != r_stop->kind || f_stop->pc != r_stop->pc ||
                              f_stop->ir != r_stop->ir)) {
            difference << "different stops: " << stop_message(*f_stop)
                       << stop_position_line(*f_stop) << " against " << stop_message(*r_stop)
                       << stop_position_line(*r_stop);
        } else if (!same_registers(f, r)) {
            difference << "at the end: " << describe_registers(f)
                       << ", step() alone: " << describe_registers(r);
        } else if (std::memcmp(f.memory, r.memory, sizeof r.memory) != 0) {
            difference << "memory differs at the end";
        } else if (std::memcmp(f.ports, r.ports, sizeof r.ports) != 0) {
            difference << "ports differ at the end";
        } else if (f_io.port0 != r_io.port0) {
            difference << "different port 0 values";
        }
    }
    result.difference = difference.str();
    result.halted = r.IR == OP_HLT && !r_stop;
    result.stopped = r_stop.has_value();
    return result;
}
