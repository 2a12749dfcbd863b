// The assembler program's files: the typed source name and the names derived
// from it, the three streams, and the error exit that closes them.
#pragma once

#include <cstdio>

#include "conventions.hpp"
#include "output_file.hpp"

struct ProgramFiles {
    char source_name[NAME_CAPACITY];
    char pass1_file_name[NAME_CAPACITY];
    char object_file_name[NAME_CAPACITY];
    std::FILE* source = nullptr;
    std::FILE* pass1 = nullptr;  // written by pass 1, read back by pass 2
    OutputFile object;           // renamed over the object code file when complete
    OutputFile listing;          // --listing, opened once pass 2 has run
    const char* listing_name = nullptr;
    bool output_failed = false;  // a result file could not be written
};

// Closes stream if it is open; true unless closing failed.
bool close_stream(std::FILE*& stream);

// Closes every open file (the object code and the listing are abandoned:
// the files of those names stay as they were), prints the message and ends
// with FAILURE_STATUS.
[[noreturn]] void error_exit(ProgramFiles& files, const char* message);
