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
