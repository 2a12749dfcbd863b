// Turns a loaded program and data area back into assembly source. The bytes
// reached from address 0 by following the flow of control become
// instructions, every other byte a record wrote becomes a db line, and the
// untouched stretches between them are skipped with org. Assembling the text
// gives an object code file that loads into the same bytes 0 to 12287.
#pragma once

#include <cstdint>
#include <string>

#include "machine/loader.hpp"

// image: MAX_MEMORY bytes as the loader left them, 0 where no record wrote;
// written: the addresses some record wrote.
std::string disassemble(const std::uint8_t* image, const WrittenSet& written);
