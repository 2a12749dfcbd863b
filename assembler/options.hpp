// The assembler's command line:
//   assembler [--warnings] [--listing FILE] [-o OBJECT_FILE] [SOURCE_FILE]
#pragma once

#include <optional>
#include <string>

struct AssemblerOptions {
    const char* source_file = nullptr;   // nullptr: the name is read from standard input
    const char* object_file = nullptr;   // -o; nullptr: <base>.hx from the source name
    std::string pass1_file;              // with -o: its name, extension replaced by .ps1
    const char* listing_file = nullptr;  // --listing
    bool warnings = false;
};

// Parses argv into options. --help, --version and usage errors print their
// text and return the exit status the program ends with; otherwise nothing.
std::optional<int> parse_assembler_options(int argc, char* argv[], AssemblerOptions& options);
