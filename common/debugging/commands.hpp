// The debugger's commands: one line in, its answer on standard output.
#pragma once

#include <string>
#include <vector>

#include "session.hpp"

// Shows where the machine is: the next instruction and its source line.
void print_position(const Session& s);
// Runs one command line; false when the session should end. An empty line
// repeats the last step, next or back.
bool run_command(Session& s, const std::string& line);
// Whether the command of this name or short name runs the machine or
// searches the recorded run (a front end runs it as a motion).
bool command_moves(const std::string& word);
// The names and short names of the commands, and the program's labels:
// the words Tab completes.
std::vector<std::string> completion_words(const Session& s);
