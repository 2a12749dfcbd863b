// Loads object code text into a memory image by the simulator loader's rules:
// records in any order, a later record overwriting an earlier one, each
// record's length taken from the instruction table, values truncated to 8
// bits, and an address outside the program and data area failing the load.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

#include "object_code.hpp"

using MemoryImage = std::array<std::uint8_t, MEMORY_SIZE>;

// Stores the records of text into image and marks the addresses stored in
// written. Returns "" on success, else the loader's message; the image then
// holds what the records before the failing one stored.
std::string load_object_text(std::string_view text, MemoryImage& image,
                             std::bitset<MEMORY_SIZE>& written);
