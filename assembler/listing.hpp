// The listing for reading the machine code (--listing): for every line pass 2
// assembled, its address in hex, the bytes it assembled and the source line
// as written; then the symbols sorted by address.
#pragma once

#include <cstdio>
#include <string>

#include "assembly.hpp"

// Reads the lines' text from source_text (the source as read); a needs
// note_lines set before pass 2. False when writing failed.
bool write_machine_listing(std::FILE* out, std::string& source_text, const Assembly& a);
