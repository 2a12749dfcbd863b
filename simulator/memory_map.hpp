// The memory map files: one line "MEM[%05d] = %d" per address of the
// program and data area.
#pragma once

#include "machine/machine.hpp"

// Writes the map of m's memory to file_name; a file that cannot be created
// or written is reported on the console and the run goes on.
void dump_memory_map(const Machine& m, const char* file_name);
