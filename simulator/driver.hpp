// The simulator's main sequence: reset, prompt, load, run loop, statistics.
// The machine itself is the shared core in common/machine/; this program
// gives it the console and ends the process at every stop.
#pragma once

#include "console.hpp"
#include "conventions.hpp"
#include "machine/display.hpp"
#include "machine/findings.hpp"
#include "machine/loader.hpp"
#include "machine/machine.hpp"
#include "machine/stops.hpp"

// The console side of out 0, in 1 and hlt.
struct ConsoleIo {
    static void show_port0(unsigned value) {
        char text[PORT0_TEXT_CAPACITY];
        std::size_t length = format_port0(text, value);
        console_put('\n');
        console_write(text, length);
    }
    static void wait_key() { console_read_key(); }
    // Waits for one key press and discards it; PC stays on the hlt.
    static void halt() {
        console_printf("\n-HALT-\n");
        console_read_key();
    }
};

// Owns the program's one machine and runs the whole dialogue on it;
// trace_name is the --trace file (nullptr: none), created once the program
// has loaded. With `check` (--check) a monitor looks at every instruction
// and each finding of those kinds goes to standard error as it is made;
// nothing else changes.
[[noreturn]] int simulator_main(const char* trace_name = nullptr, FindingKinds check = 0);
// "CPU reset ... success ...": the machine's reset with its console line.
void cpu_reset(Machine& m);
// Resets the machine, loads the named object code file and writes
// "memmap.txt"; a refusal ends the process. `loaded` and `code`, when
// given, receive the bytes the object code placed and its instruction bytes.
void load_program(Machine& m, const char* file_name, WrittenSet* loaded = nullptr,
                  WrittenSet* code = nullptr);
// Runs from the current PC until hlt, writing the trace when one was opened
// (trace_file.hpp) and looking for findings when given a monitor; every stop
// ends the process.
void run_program(Machine& m);
void run_program(Machine& m, FindingMonitor* monitor);
// Runs the instruction whose opcode is in m.IR, counts it and checks PC; a
// stop ends the process.
void execute_instruction(Machine& m);
void print_statistics(const Machine& m);
// Prints the stop's message and position line, writes "memmap2.txt" of m
// when the stop asks for it, and ends the process with FAILURE_STATUS.
[[noreturn]] void report_stop(const Machine& m, const Stop& stop);
