// Reading the debugger's commands: at a terminal with the prompt and, when
// the build has a line-editing library, editing and history; from a pipe
// or a file plain lines without a prompt.
#pragma once

#include <string>

constexpr const char* DEBUGGER_PROMPT = "(debugger) ";

// Decides between the terminal and the plain form; Ctrl-C then sets
// interrupt_requested instead of ending the process.
void start_line_input();
// One line without its line end; false at the end of the input.
bool read_command_line(std::string& line);
