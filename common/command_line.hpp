// What the programs' command lines share: option problems from getopt_long
// turned into one line, the usage error, and the version line.
#pragma once

#include <getopt.h>

#include <initializer_list>
#include <optional>
#include <string>

// Exit status of a command line that cannot be used.
constexpr int USAGE_STATUS = 2;

// The problem getopt_long reported by returning '?' (unknown option) or ':'
// (missing option argument; the option string must begin with ':'), read
// from optopt and argv[optind - 1].
std::string option_problem(int result, char* const argv[]);

// "<program>: <problem>" and the usage line on standard error; returns
// USAGE_STATUS.
int usage_error(const char* program, const char* usage, const std::string& problem);

// Why a file name given as an operand cannot be used whole where the
// program reads its name as a typed line: a line end in it, which would cut
// it short. Nothing when it can.
std::optional<std::string> operand_name_problem(const char* name);

// "<program> <version>" on standard output; returns 0.
int print_version(const char* program);

// The help text on standard output; returns 0.
int print_help(const char* text);

// The command line of a server, which takes no operands: -h/--help,
// --version and the long options in `accepted` (taken and passed over, as
// editors pass them). Nothing to go on, else the status to exit with.
std::optional<int> read_server_command_line(int argc, char** argv, const char* program,
                                            const char* usage, const char* help,
                                            std::initializer_list<const char*> accepted = {});
