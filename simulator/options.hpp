// The simulator's command line: simulator [--trace FILE] [OBJECT_FILE].
#pragma once

#include <optional>

struct SimulatorOptions {
    const char* object_file = nullptr;  // nullptr: the name is read from standard input
    const char* trace_file = nullptr;   // nullptr: no trace; "-": standard error
};

// Parses argv into options. --help, --version and usage errors print their
// text and return the exit status the program ends with; otherwise nothing.
std::optional<int> parse_simulator_options(int argc, char* argv[], SimulatorOptions& options);
