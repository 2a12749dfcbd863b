// The simulator's main sequence: reset, prompt, load, run loop, statistics.
#pragma once

extern int activity_phase;  // spinner frame printed next, 0..4

int simulator_main();
void load_object_file(const char* file_name);
void show_activity();
void execute_instruction();
// Runs from the current PC until hlt; every fault ends the process.
void run_program();
void print_statistics();

void op_nop();
void op_hlt();
