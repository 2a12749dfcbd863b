// The assembler's main sequence: prompt for the source name, derive the
// pass-1 and object code names, run both passes, delete the pass-1 file.
// Also the one failure path, error_exit.
#pragma once

#include <cstdio>

constexpr int NAME_CAPACITY = 256;  // 255 characters and the NUL
constexpr int FAILURE_STATUS = 255;

extern int current_pass;  // 1 during pass 1, 2 during pass 2
extern char source_name[NAME_CAPACITY];
extern char pass1_file_name[NAME_CAPACITY];
extern char object_file_name[NAME_CAPACITY];
extern std::FILE* source_stream;
extern std::FILE* pass1_stream;
extern std::FILE* object_stream;
// True once pass 1 has opened the source and created the pass-1 file.
extern bool pass1_file_ready;
// True once pass 1 has written the whole pass-1 file and closed it.
extern bool pass1_file_complete;

// 1 when text holds a '.', else 0.
int contains_dot(const char* text);
// Copies the characters of text before its first '.' into name. False, with
// name untouched, when they do not fit in capacity - 1 characters.
bool copy_base_name(const char* text, char* name, int capacity);
// Appends '.' and extension to name. False, with name untouched, when the
// result would not fit in capacity - 1 characters.
bool append_extension(char* name, int capacity, const char* extension);

// Resets the counters, prompts, derives the names, opens the files and runs
// pass 1. Returns normally also when a file could not be opened.
void run_pass1();

// Closes every open file, prints the message and ends with FAILURE_STATUS.
[[noreturn]] void error_exit(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The whole run; ends the process through console_exit.
[[noreturn]] void assembler_main();
