// How a run ended, one type for every program that runs the machine: the
// headless run, the checker, the debugger and the web page. The numbers are
// part of the page's interface (its script names the states by them).
#pragma once

#include <cstdint>
#include <optional>

#include "machine/machine.hpp"
#include "machine/stops.hpp"

enum class RunEnd : std::uint8_t {
    LIMIT = 0,        // ran what was asked (a count, a limit, to a return); can go on
    HALTED = 1,       // hlt ran
    STOPPED = 2,      // a stop ended the last instruction begun
    BREAKPOINT = 3,   // PC reached a breakpoint; can go on
    NOT_RUN = 4,      // nothing to run: no program, or it did not assemble
    WATCHPOINT = 5,   // a watched byte changed; can go on
    INTERRUPTED = 6,  // the user interrupted the run; can go on
    RETURNED = 7,     // the subroutine a run was to finish returned
    TIMEOUT = 8,      // a wall-clock limit ended the run; can go on
    FINDING = 9,      // the last instruction made a finding; can go on
    KEY_WAIT = 10,    // the next instruction is an `in 1` on new ground, which waits for a
                      // key; goes on once the caller says a key came
};

// Whether the machine can run on from where such a run left it.
constexpr bool can_go_on(RunEnd end) {
    return end != RunEnd::HALTED && end != RunEnd::STOPPED && end != RunEnd::NOT_RUN;
}

// Whether a run forward must hand such an end to its caller as it is: the
// machine halted or stopped, or the next instruction waits for a key.
constexpr bool ends_run_forward(RunEnd end) {
    return end == RunEnd::HALTED || end == RunEnd::STOPPED || end == RunEnd::KEY_WAIT;
}

struct RunOutcome {
    RunEnd end;
    std::optional<Stop> stop;  // when STOPPED
};

// Whether the stop that ended a subroutine case is its normal end: the ret
// to CASE_RETURN_ADDRESS, which the machine stops as a PC out of the area.
inline bool returned_from_case(const Machine& m, const Stop& stop) {
    return stop.kind == StopKind::PC_OVERLOAD && m.PC == CASE_RETURN_ADDRESS && m.IR == OP_RET;
}
