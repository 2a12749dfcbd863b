// The assembler program's files: the typed source name and the names derived
// from it, the three streams, and the error exit that closes them.
#pragma once

#include <cstdio>
#include <string>

#include "conventions.hpp"
#include "output_file.hpp"

struct ProgramFiles {
    char source_name[NAME_CAPACITY];
    char pass1_file_name[NAME_CAPACITY];
    char object_file_name[NAME_CAPACITY];
    std::string source_text;      // the source, read once within INPUT_LIMIT
    std::FILE* source = nullptr;  // reads source_text
    OutputFile pass1_output;      // written by pass 1, renamed over its name
    std::FILE* pass1 = nullptr;   // read back by pass 2
    bool pass1_fresh = false;     // its name was taken: a fresh one made beside it
    int pass1_removal = -1;       // its slot among the files a signal removes
    OutputFile object;            // renamed over the object code file when complete
    OutputFile listing;           // --listing, opened once pass 2 has run
    const char* listing_name = nullptr;
    bool output_failed = false;  // a result file could not be written
};

// Closes stream if it is open; true unless closing failed.
bool close_stream(std::FILE*& stream);

// Closes every open file (the object code and the listing are abandoned:
// the files of those names stay as they were; the pass-1 file keeps this
// run's lines for the student to read), prints the message and ends with
// FAILURE_STATUS.
[[noreturn]] void error_exit(ProgramFiles& files, const char* message);
