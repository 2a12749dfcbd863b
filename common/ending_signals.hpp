// What a signal that ends a program does first: the terminal put back (by
// whoever set it), the temporary files the program created removed, then
// the process ends of the same signal. Nothing here writes to a stream, so
// that a full pipe or a stopped terminal cannot hold the end back.
#pragma once

// Installs the handler for every catchable signal whose default action ends
// the process, except those the program was started with ignored. Called by
// start_program.
void end_cleanly_on_signals();

// A procedure the handler calls first (the console restores the terminal
// there, the simulator keeps its trace); it must be async-signal-safe.
void set_ending_signal_hook(void (*procedure)());

// The files a signal ending the process removes. remove_at_signal copies the
// name and returns its slot (-1 when the table is full or the name too long),
// keep_at_signal forgets a slot again (for a file that is to stay).
int remove_at_signal(const char* name);
void keep_at_signal(int slot);
