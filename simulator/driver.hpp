// The simulator's main sequence: reset, prompt, load, run loop, statistics.
#pragma once

#include "console.hpp"
#include "machine.hpp"

int simulator_main();
void load_object_file(const char* file_name);
// One frame of the activity spinner, shown before every instruction.
inline void show_activity() { console_show_activity(); }
// Runs the instruction whose opcode is in m.IR, counts it and checks PC.
void execute_instruction(Machine& m);
// Runs from the current PC until hlt; every fault ends the process.
void run_program();
void print_statistics();

void op_nop(Machine& m);
void op_hlt(Machine& m);
