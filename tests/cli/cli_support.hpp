// Shared by the command-line tests: the files a run leaves in its
// directory, the example programs and their object code.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "run_program.hpp"

// File name -> content, for every file in a directory.
using Files = std::map<std::string, std::string>;
Files files_in(const std::string& directory);

// The examples' file names ("count.asm", ...), sorted.
std::vector<std::string> example_files();
std::string example_source(const std::string& example);
// "count.asm" -> "count"
std::string base_name(const std::string& file);
// The example's object code, from the assembler with the name piped.
std::string assemble_example(const std::string& example);

std::string project_version();
// Whether the source tree the programs were built from is a git clone.
bool built_from_clone();

extern const std::string HELLO;     // hello.asm
extern const std::string HELLO_HX;  // its object code

// Runs a shell script in dir with $A, $S, $C, $D, $G, $L and $P the
// assembler, simulator, checker, disassembler, debugger, language server and
// debug adapter, and hello.asm, hello.hx there.
RunResult shell(const TempDir& dir, const std::string& script, const std::string& input = "");
