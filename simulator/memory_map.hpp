// The memory map files: one line "MEM[%05d] = %d" per address of the
// program and data area.
#pragma once

#include "machine/machine.hpp"

// Writes the map of m's memory to file_name, whole or not at all; a file that
// cannot be written is reported on the console and on standard error, the
// run goes on, and the result is false.
bool dump_memory_map(const Machine& m, const char* file_name);
