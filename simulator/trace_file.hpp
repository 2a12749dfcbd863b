// The trace file of a run: one line per completed instruction (the line of
// machine/trace.hpp), gathered in a large buffer and written with write(2).
// Whatever way the run ends, the file holds every line: the buffer is written
// at exit and by the console's signal handler, and before every key wait.
#pragma once

#include "machine/trace.hpp"

// Creates (or truncates) the file; "-" means standard error. On failure
// prints a message on standard error and returns false.
bool trace_open(const char* path);
bool trace_active();

// Appends the line of the instruction that began as `start` and left the
// registers as `after` and memory as `memory`.
void trace_append(const TraceStart& start, const Registers& after, const std::uint8_t* memory);

// Writes out everything buffered.
void trace_flush();
