// The two halves of the plain fast run (run_fast without stops, in
// machine/fast_run.hpp): the decoded loop (machine/fast_run_decoded.cpp)
// runs what it has decoded, and hands every other instruction to the
// instruction-by-instruction loop (machine/fast_run.cpp), one at a time.
#pragma once

#include <cstdint>

#include "machine/fast_run.hpp"
#include "machine/machine.hpp"

// The instruction-by-instruction loop: run_fast's contract, one opcode
// dispatch per instruction.
void run_fast_literal(Machine& m, std::uint64_t until);
// The same, monitored (run_fast with a monitor, no bytes watched).
void run_fast_literal(Machine& m, std::uint64_t until, FindingMonitor& monitor, RunMarks* marks);

// The decoded loop: the same contract. Instructions are decoded once into
// slots, one per address, and run in blocks: a straight run of instructions
// up to a jump, call or ret, charged counts and clocks and checked for stack
// room once at its first instruction.
void run_fast_decoded(Machine& m, std::uint64_t until);
// The same, monitored: only instructions the monitor has passed are
// decoded (a block ends before any other), each is shown to
// FindingMonitor::passes and noted in `marks` before it runs, and a ret is
// looked at after it ran, as in the monitored loop.
void run_fast_decoded(Machine& m, std::uint64_t until, FindingMonitor& monitor, RunMarks* marks);
