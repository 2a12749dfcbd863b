// The trace file of a run: one line per completed instruction (the line of
// machine/trace.hpp), gathered in a large buffer and written with write(2).
// Whatever way the run ends, the file holds every line: the buffer is written
// by trace_finish, by the console's signal handler and before every key wait.
#pragma once

#include "machine/trace.hpp"

// Whether the file could be created, without creating it ("-", standard
// error, always can). On failure prints a message on standard error and
// returns false.
bool trace_can_open(const char* path);
// Creates (or truncates) the file; "-" means standard error. On failure
// prints a message on standard error and returns false.
bool trace_open(const char* path);
bool trace_active();
// Writes out what is buffered; false, with a message on standard error,
// when some of the trace could not be written.
bool trace_finish();

// Appends the line of the instruction that began as `start` and left the
// registers as `after` and memory as `memory`.
void trace_append(const TraceStart& start, const Registers& after, const std::uint8_t* memory);

// Writes out everything buffered.
void trace_flush();
