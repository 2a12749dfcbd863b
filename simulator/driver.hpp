// The simulator's main sequence: reset, prompt, load, run loop, statistics.
#pragma once

#include "machine.hpp"

extern int activity_phase;  // spinner frame printed next, 0..4

int simulator_main();
void load_object_file(const char* file_name);
// Prints the frame of phase and moves phase on (the run loop keeps
// activity_phase in a local while it runs).
void show_activity(int& phase);
// Runs the instruction whose opcode is in m.IR, counts it and checks PC.
void execute_instruction(Machine& m);
// Runs from the current PC until hlt; every fault ends the process.
void run_program();
void print_statistics();

void op_nop(Machine& m);
void op_hlt(Machine& m);
