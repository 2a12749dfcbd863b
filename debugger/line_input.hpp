// Reading the debugger's commands: at a terminal with the prompt and, when
// the build has a line-editing library, editing and history; from a pipe
// or a file plain lines without a prompt.
#pragma once

#include <string>
#include <vector>

constexpr const char* DEBUGGER_PROMPT = "(debugger) ";

// Decides between the terminal and the plain form; Ctrl-C then sets
// interrupt_requested instead of ending the process.
void start_line_input();
// One line without its line end; false at the end of the input.
bool read_command_line(std::string& line);
// The words Tab completes: the commands and the program's labels.
void set_completion_words(std::vector<std::string> words);
// Keeps the lines typed at the terminal for the next session (in the XDG
// state directory); nothing is said when that fails.
void end_line_input();
