// The simulator's command line: simulator [--trace FILE] [--check[=all]] [OBJECT_FILE].
#pragma once

#include <optional>

#include "machine/findings.hpp"

struct SimulatorOptions {
    const char* object_file = nullptr;  // nullptr: the name is read from standard input
    const char* trace_file = nullptr;   // nullptr: no trace; "-": standard error
    FindingKinds check = 0;             // the findings --check asks for; 0: none
};

// Parses argv into options. --help, --version and usage errors print their
// text and return the exit status the program ends with; otherwise nothing.
std::optional<int> parse_simulator_options(int argc, char* argv[], SimulatorOptions& options);
