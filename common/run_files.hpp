// The files one run of a program reads and writes: the check that an output
// a command line names is not also an input or another output of the run,
// and the test that an output could be created, made without opening it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class FileRole : std::uint8_t {
    INPUT,
    OUTPUT,        // a name the program chose itself (memmap.txt, <base>.hx)
    NAMED_OUTPUT,  // a name from the command line (-o, --listing, --trace)
};

struct RunFile {
    const char* what;  // "the source file", worded for the refusal line
    std::string name;
    FileRole role;
};

// True when the two names are one file: the same existing regular file
// (device and inode), or, when neither exists yet, the same path once made
// absolute and normal. Terminals, pipes and /dev/null are never one file
// with anything: writing to them replaces nothing.
bool same_file(const std::string& a, const std::string& b);

// Compares every NAMED_OUTPUT with every other file of the run (pairs
// without a NAMED_OUTPUT are the program's own business). At the first pair
// that is one file, prints "<program>: the trace file 'x' is the same file
// as the object code file 'y'" on standard error and returns false.
bool files_distinct(const char* program, const std::vector<RunFile>& files);

// 0 when an output file of this name could be created or truncated, else
// the errno value that says why not. Nothing is opened or created, so an
// existing file keeps its bytes until the program writes it.
int output_file_problem(const char* name);

// No program reads a source, a cases file, a reference or object code past
// this: far above any real one, and it keeps memory bounded whatever the
// files hold (a stream that does not end is cut here).
constexpr std::uint64_t INPUT_LIMIT = 16u << 20;

struct BoundedRead {
    std::optional<std::string> text;  // the bytes, when read
    bool too_large = false;
    std::uint64_t size = 0;  // of a regular file too large; 0 for a stream
};

// Reads at most `limit` bytes: a regular file larger than that is not read
// at all, a stream is read up to the limit and refused past it.
BoundedRead read_bounded(const std::string& name, std::uint64_t limit = INPUT_LIMIT);

// "16 MiB", "source too large: 20000000 bytes (the limit is 16 MiB)".
std::string too_large_text(const char* what, const BoundedRead& read);
