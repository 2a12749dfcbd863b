// Black-box test support: run a real executable in a directory with bytes
// piped to its standard input, and collect its standard output and status.
#pragma once

#include <string>
#include <vector>

struct RunResult {
    std::string output;
    int exit_status;     // 0..255, or 128 + signal number when killed
    std::string errors;  // standard error, when run with arguments
};

// The seconds of wall clock after which run_program kills the program and
// fails the calling test: 20 (60 under the sanitizers) unless a test of a
// long run raises it.
extern int run_time_limit;

// Runs program in directory with input on a pipe to standard input.
// Fails the calling test if it runs over run_time_limit seconds.
RunResult run_program(const std::string& program, const std::string& input,
                      const std::string& directory);
// The same with command-line arguments, standard error collected apart.
RunResult run_program(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input, const std::string& directory);

// A fresh empty directory, removed with everything in it at scope end.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path;
    std::string file(const std::string& name) const { return path + "/" + name; }
};

// The part of a scripted session's output between the line "=name" (written
// by the command "echo =name") and the next line that begins with "=".
std::string echo_section(const std::string& output, const std::string& name);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);

// Whether this test program was built with AddressSanitizer: tests timed
// for an optimized build skip then, saying so.
constexpr bool built_with_sanitizers() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

// The paths of the two programs under test.
std::string simulator_path();
std::string assembler_path();
