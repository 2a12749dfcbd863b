// State of the simulated stack machine and the operations every instruction
// performs on it: reset, fetch, the byte stack and the operand helpers.
#pragma once

#include <cstdint>

#include "machine/stops.hpp"
#include "object_code.hpp"
#include "opcode_table.hpp"

// The processor's registers, flags and counters. A run loop works on a local
// copy, which the compiler can keep in CPU registers; `machine` holds them
// before and after a run.
struct Machine {
    std::uint16_t PC;
    std::uint16_t SP;  // next free byte; 0 means nothing pushed since reset
    std::uint8_t IR;
    std::uint8_t Z, S, O, C;  // each always 0 or 1
    std::uint32_t instruction_count;
    std::uint32_t clock_count;
};

extern Machine machine;
// Memory and ports exist once per process. They are fixed arrays rather than
// heap blocks so that the compiler can tell stores into them from everything
// else and address them directly in the run loop.
extern std::uint8_t memory[MEMORY_SIZE];
extern std::uint8_t ports[256];

// Memory, ports, registers, flags and counters to 0; IR is left alone.
void machine_reset();

inline void fetch_instruction(Machine& m) { m.IR = memory[m.PC]; }

// One test on the common path: SP 0 and SP 0x3000 both take the edge path.
inline void push_byte(Machine& m, unsigned value) {
    if (m.SP <= STACK_BOTTOM) [[unlikely]] {
        if (m.SP == 0) {
            m.SP = STACK_TOP;
        } else {
            memory[m.SP] = static_cast<std::uint8_t>(value);  // the 4096th byte
            raise_stop(StopKind::STACK_OVERFLOW, m.PC, m.IR);
        }
    }
    memory[m.SP] = static_cast<std::uint8_t>(value);
    --m.SP;
}

// The stack is empty when SP is 0 (after reset) or STACK_TOP; one unsigned
// comparison catches both.
inline unsigned pop_byte(Machine& m) {
    if (static_cast<unsigned>(m.SP) - 1u >= STACK_TOP - 1u)
        raise_stop(StopKind::STACK_UNDERFLOW, m.PC, m.IR);
    ++m.SP;
    return memory[m.SP];
}

// Words travel on the stack high byte first, so the low byte is on top.
inline void push_word(Machine& m, unsigned value) {
    push_byte(m, (value >> 8) & 0xFF);
    push_byte(m, value & 0xFF);
}

inline unsigned pop_word(Machine& m) {
    unsigned low = pop_byte(m);
    unsigned high = pop_byte(m);
    return low | (high << 8);
}

// Operands of the byte and the word form of an instruction family. With a
// constant width every use folds to the plain byte or word operation.
constexpr unsigned BYTE_BITS = 8;
constexpr unsigned WORD_BITS = 16;

inline unsigned pop_operand(Machine& m, unsigned bits) {
    return bits == BYTE_BITS ? pop_byte(m) : pop_word(m);
}

// Pushes the low `bits` bits of value.
inline void push_result(Machine& m, unsigned value, unsigned bits) {
    if (bits == BYTE_BITS) {
        push_byte(m, value & 0xFF);
    } else {
        push_word(m, value & 0xFFFF);
    }
}

// PC moves past the instruction whose opcode is given (a constant in every
// handler, so the table lookup folds away).
inline void advance_pc(Machine& m, std::uint8_t opcode) {
    m.PC = static_cast<std::uint16_t>(m.PC + OpcodeTable[opcode].length);
}

// Z and S describe a signed 32-bit result.
inline void set_zero_sign(Machine& m, std::int32_t result) {
    m.Z = result == 0;
    m.S = result < 0;
}

// Operands follow the opcode; PC <= 0x2FFF keeps them inside memory.
inline unsigned operand_byte(const Machine& m) { return memory[m.PC + 1]; }
inline unsigned operand_word(const Machine& m) {
    return memory[m.PC + 1] | (memory[m.PC + 2] << 8);
}
