// The object code loader: whitespace-separated decimal tokens forming
// instruction records (ADDRESS OPCODE [OPERAND]) and data records
// (ADDRESS 255 VALUE), in any order, a later record overwriting an earlier
// one. Files are streamed, never held whole.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <string_view>

#include "machine/stops.hpp"
#include "object_code.hpp"

// Which addresses of the program and data area some record wrote.
using WrittenSet = std::bitset<MAX_MEMORY>;

// Loads the named file into image (MAX_MEMORY bytes; addresses no record
// names are left as they are). Returns the refusal, if any: the file cannot
// be opened or read, a token is too long, or a record reaches outside the
// program and data area. Records before a refusal stay loaded.
std::optional<Stop> load_object_file(const char* file_name, std::uint8_t* image,
                                     WrittenSet* written = nullptr);
// The same rules for object code held in memory.
std::optional<Stop> load_object_text(std::string_view text, std::uint8_t* image,
                                     WrittenSet* written = nullptr);
