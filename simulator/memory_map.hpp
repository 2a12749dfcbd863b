// The memory map files: one line "MEM[%05d] = %d" per address of the
// program and data area.
#pragma once

// Writes the map of `memory` to file_name; a file that cannot be created or
// written is reported on the console and the run goes on.
void dump_memory_map(const char* file_name);
