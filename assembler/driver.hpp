// The assembler program: prompt for the source name, run pass 1 from the
// source file to the pass-1 file with the listing on the console, run pass 2
// from the pass-1 file to the object code file, delete the pass-1 file.
#pragma once

#include "options.hpp"

// The whole run; ends the process through console_exit.
[[noreturn]] void assembler_main(const AssemblerOptions& options = {});
