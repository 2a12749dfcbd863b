// The texts the simulator shows of a run, for every program that shows them
// the same way (the simulator, the debugger, the web page).
#pragma once

#include <cstddef>
#include <string>

#include "machine/machine.hpp"

constexpr std::size_t PORT0_TEXT_CAPACITY = 16;

// How a value written to port 0 is shown, "-[72 : 48h]-" (the simulator
// puts a line end before it). Writes into out (PORT0_TEXT_CAPACITY bytes,
// NUL-terminated) without allocating and returns the length.
std::size_t format_port0(char* out, unsigned value);

// The statistics after a run: "No. instruction = %d\nNo. clock = %d,CPI = %f\n".
// The CPI divides the clocks (unsigned) by the instructions (signed); with no
// instruction run it is not a number and shown as "nan".
std::string statistics_text(const Registers& m);
