// The listing for reading the machine code (the assembler's --listing and the
// web page's listing pane): for every line pass 2 assembled, its address in
// hex, the bytes it assembled and the source line as written; then the
// symbols sorted by address.
#pragma once

#include <string>

#include "assembly.hpp"
#include "text_io.hpp"

// Reads the lines' text from source, which must read as pass 1 read it; a
// needs note_lines set before pass 2.
std::string machine_listing(LineInput& source, const Assembly& a);
