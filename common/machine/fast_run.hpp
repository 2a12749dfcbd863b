// The fast run loop: runs instructions back to back without anything
// between them, until an instruction count the caller chose or an
// instruction that needs the caller. Each instruction is the same handler
// the one step procedure calls (both are generated from
// MACHINE_HANDLERS in machine/step.hpp), so a run here leaves memory,
// ports, registers, flags and counts exactly as the same number of calls of
// step() would.
//
// A caller with work to do before some instructions (the simulator's key
// test, a debugger's breakpoints) runs the fast loop up to that point, does
// its work and runs that instruction with step(), then goes on.
#pragma once

#include <cstdint>

#include "machine/machine.hpp"
#include "machine/stops.hpp"

// Runs from m.PC until m.instruction_count equals `until` or the next
// instruction is one to leave to step(): one that reaches the program's Io
// (in, out, hlt), an undefined opcode, or one that would come near either end
// of the stack. Returns at once when m.instruction_count already equals
// `until`. A stop is thrown as from step(), with m as step() would have left
// it.
void run_fast(Machine& m, std::uint32_t until);

// The number of instructions begun since m.instruction_count was `start`,
// when `stop` ended the run: the one that stopped is begun but uncounted,
// unless it completed and left PC outside the program area.
inline std::uint32_t instructions_begun(const Machine& m, std::uint32_t start, const Stop& stop) {
    return m.instruction_count - start + (stop.kind == StopKind::PC_OVERLOAD ? 0 : 1);
}
