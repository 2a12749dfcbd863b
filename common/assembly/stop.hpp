// How an error found while assembling ends the run: it is thrown from where
// it is found and caught by the pass that runs, which turns it into the
// run's outcome. Nothing in the assembly library ends the process.
#pragma once

#include <string>

struct AssemblyStop {
    std::string message;  // exactly as the program prints it
    int line;             // source line where it was found, 0 when none
};

// Formats the message and throws AssemblyStop.
[[noreturn]] void stop_assembly(int line, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
