// Constants of the object code file and of the machine's memory layout.
#pragma once

#include <cstdint>

constexpr int MEMORY_SIZE = 16384;  // 0x0000..0x3FFF
constexpr int MAX_MEMORY = 12288;   // program and data area 0x0000..0x2FFF
constexpr std::uint16_t STACK_TOP = 0x3FFF;
constexpr std::uint16_t STACK_BOTTOM = 0x3000;

constexpr int DATA_RECORD_MARKER = 255;  // second token of a data record
constexpr int OBJECT_TOKEN_MAX = 19;     // longest token of a record
