// The assembler program's files: the typed source name and the names derived
// from it, the three streams, and the error exit that closes them.
#pragma once

#include <cstdio>

#include "conventions.hpp"

struct ProgramFiles {
    char source_name[NAME_CAPACITY];
    char pass1_file_name[NAME_CAPACITY];
    char object_file_name[NAME_CAPACITY];
    std::FILE* source = nullptr;
    std::FILE* pass1 = nullptr;  // written by pass 1, read back by pass 2
    std::FILE* object = nullptr;
    std::FILE* listing = nullptr;  // --listing, opened once pass 2 has run
    const char* listing_name = nullptr;
};

// Closes stream if it is open; true unless closing failed.
bool close_stream(std::FILE*& stream);

// Closes every open file, so that what was written stays on disk, prints the
// message and ends with FAILURE_STATUS.
[[noreturn]] void error_exit(ProgramFiles& files, const char* message);
