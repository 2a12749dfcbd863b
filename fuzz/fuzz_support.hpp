// Helpers shared by the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>

// Moves the process into a fresh private directory (once), so that the files
// the programs write land there and not in the caller's directory. Corpus
// and input paths given to a target must therefore be absolute.
void enter_work_directory();

// Writes size bytes to file_name in the current directory; aborts on failure.
void write_input_file(const char* file_name, const std::uint8_t* data, std::size_t size);

// Whether file_name exists in the current directory.
bool file_present(const char* file_name);

// Reports a broken rule and aborts, so that libFuzzer records the input.
[[noreturn]] void fuzz_fail(const char* what);
