// Writing a program's result files whole or not at all, and the start every
// program makes.
//
// A result (object code, listing, trace, memory map, disassembly, profile)
// that goes to a regular file, or to a name not yet used, is written to a
// temporary file in the same directory, flushed to the disk and renamed over
// the target only when complete: a failure (a full disk) leaves the old file
// as it was, or no file, and a reader never meets half of one. A device
// (/dev/full, /dev/null, a terminal), a FIFO or a standard stream cannot be
// replaced and is written in place.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <string_view>

// Exit status of a run that finished but whose output could not be written,
// where the program's own statuses are 0 and 255.
constexpr int OUTPUT_FAILED_STATUS = 1;

// Makes sure descriptors 0, 1 and 2 are open (on /dev/null where they are
// not), so that no file the program opens takes the place of a standard
// stream, keeps the program's name for the lines below and has a signal that
// ends the program remove its temporary files. Called first in every main.
void start_program(const char* name);
// The name given to start_program ("program" before it).
const char* program_name();

// "<program>: cannot write <what> '<name>': <reason>" on standard error;
// returns false, for `return report_write_failure(...)`.
bool report_write_failure(const char* what, const std::string& name, int error);
// The same for standard output: "<program>: cannot write the standard output:
// <reason>".
bool report_output_failure(int error);

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Abandons a file not committed: the temporary file is removed.
    ~OutputFile();

    // Opens the temporary file beside name, or name itself where it is
    // written in place. 0, or the errno value that says why not (EISDIR for
    // a directory).
    int open(const std::string& name);
    // For a name the program chose itself (a memory map): written only where
    // the name is a regular file or free, never in place; a link at the name
    // is replaced by the file, not followed (replaces_link() then says so).
    // EEXIST where the name is a device, a FIFO or another special file.
    int open_own_name(const std::string& name);
    bool replaces_link() const { return replaces_link_; }
    // The stream to write; open() made it.
    std::FILE* stream() const { return stream_; }
    // The descriptor under stream(), for writers that use write(2).
    int descriptor() const { return fd_; }
    // Flushes, syncs and renames the temporary file over the target. 0 when
    // the whole file is in place, else the errno value of the first failure
    // (the temporary file is then removed, the target untouched).
    int commit();
    // Only write(2), fsync(2) and rename(2): for a signal handler ending the
    // process with what was written through descriptor() so far.
    void commit_in_signal_handler() const;
    // True when the file is written beside its target and renamed (a regular
    // file), false when written in place (a device, a FIFO).
    bool replaces() const { return !temporary_.empty(); }
    // Removes the temporary file; the target stays as it was.
    void abandon();

private:
    int open_in_place();
    int open_beside(const struct stat* existing);

    std::string target_;
    std::string temporary_;  // empty when written in place
    std::FILE* stream_ = nullptr;
    int fd_ = -1;  // stream_'s descriptor, read by the signal handler
    int removal_slot_ = -1;
    bool replaces_link_ = false;  // the temporary file's, for a signal ending the program
};

// The whole text to name through an OutputFile: 0 or the errno value of the
// failure.
int write_output_file(const std::string& name, std::string_view text);
// The same through open_own_name; replaced_link tells whether a link at the
// name was replaced.
int write_own_output_file(const std::string& name, std::string_view text, bool& replaced_link);
