// Constants of the object code file and of the machine's memory layout.
#pragma once

#include <cstdint>

#include "opcode_table.hpp"

constexpr int MEMORY_SIZE = 16384;  // 0x0000..0x3FFF
constexpr int MAX_MEMORY = 12288;   // program and data area 0x0000..0x2FFF
constexpr std::uint16_t STACK_TOP = 0x3FFF;
constexpr std::uint16_t STACK_BOTTOM = 0x3000;
// Bytes the stack takes before a push stops the run (at STACK_BOTTOM).
constexpr unsigned STACK_CAPACITY = STACK_TOP - STACK_BOTTOM;
// Bytes a call's start may put below its two-byte return address.
constexpr unsigned CALL_STACK_PRESET_MAX = STACK_CAPACITY - 2;
// The return address a subroutine case pushes (the checker's call cases and
// the debugger's --call): just past the program area, where no instruction
// can be, so that the ret to it ends the case.
constexpr std::uint16_t CASE_RETURN_ADDRESS = MAX_MEMORY;

constexpr int DATA_RECORD_MARKER = 255;  // second token of a data record
constexpr int OBJECT_TOKEN_MAX = 19;     // longest token of a record

// Below this opcode, a record whose opcode has no instruction still carries
// a two-byte operand, as a three-byte instruction does; at and above it such
// a record is the opcode alone.
constexpr int RECORD_OPERAND_OPCODES = 112;

// Bytes a record fills: the instruction's length, 1 for a data record, and
// for an undefined opcode 3 or 1 as RECORD_OPERAND_OPCODES says.
constexpr int record_span(std::uint8_t op) {
    if (op == DATA_RECORD_MARKER) return 1;
    if (OpcodeTable[op].defined()) return OpcodeTable[op].length;
    return op < RECORD_OPERAND_OPCODES ? 3 : 1;
}
