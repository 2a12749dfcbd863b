// State of the simulated stack machine and the operations every part of the
// simulator performs on it: reset, fetch, the byte stack and the fault stop.
#pragma once

#include <cstdint>

#include "object_code.hpp"
#include "opcode_table.hpp"

// One block for the whole run. It is a fixed array rather than a heap block
// so that the compiler can tell stores into it from the registers below.
extern std::uint8_t memory[MEMORY_SIZE];
extern std::uint16_t PC;
extern std::uint8_t IR;
extern std::uint16_t SP;  // next free byte; 0 means nothing pushed since reset
extern std::uint8_t Z, S, O, C;  // each always 0 or 1
extern std::uint8_t ports[256];
extern std::uint32_t instruction_count;
extern std::uint32_t clock_count;

enum class PositionLine { NONE, STANDARD, SHORT };

void cpu_reset();
void dump_memory_map(const char* file_name);

// Prints message and position line, optionally writes "memmap2.txt",
// releases memory and ends the process with status 255.
[[noreturn]] void fatal_stop(const char* message, PositionLine form, std::uint16_t shown_pc,
                             bool dump);
[[noreturn]] void stack_overflow_stop();
[[noreturn]] void stack_underflow_stop();

inline void fetch_instruction() { IR = memory[PC]; }

inline void push_byte(unsigned value) {
    if (SP == 0) SP = STACK_TOP;
    memory[SP] = static_cast<std::uint8_t>(value);
    --SP;
    if (SP < STACK_BOTTOM) stack_overflow_stop();
}

inline unsigned pop_byte() {
    if (SP == 0 || SP == STACK_TOP) stack_underflow_stop();
    ++SP;
    return memory[SP];
}

// Words travel on the stack high byte first, so the low byte is on top.
inline void push_word(unsigned value) {
    push_byte((value >> 8) & 0xFF);
    push_byte(value & 0xFF);
}

inline unsigned pop_word() {
    unsigned low = pop_byte();
    unsigned high = pop_byte();
    return low | (high << 8);
}

// PC moves past the instruction whose opcode is given (a constant in every
// handler, so the table lookup folds away).
inline void advance_pc(std::uint8_t opcode) {
    PC = static_cast<std::uint16_t>(PC + OpcodeTable[opcode].length);
}

// Z and S describe a signed 32-bit result.
inline void set_zero_sign(std::int32_t result) {
    Z = result == 0;
    S = result < 0;
}
