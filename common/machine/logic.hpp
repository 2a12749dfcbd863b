// Shifts, rotates, logic and compare, byte and word: each family is one
// procedure taking the operand width. A is the operand popped first (the
// top of the stack), B the one beneath. Only the shifts and rotates write C;
// none of these instructions writes O.
#pragma once

#include <cstdint>

#include "machine/machine.hpp"

// Z is tested on the shifted value before it is cut to the operand's width,
// so it reports a zero operand: shl of 0x80 pushes 0 with Z clear.
inline void shift_left(Machine& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    m.C = (a >> (bits - 1)) & 1;
    m.Z = (a << 1) == 0;
    push_result(m, a << 1, bits);
    advance_pc(m, opcode);
}

// A logical shift: 0 comes in at the top. Z reports a zero result (an
// operand of 0 or 1).
inline void shift_right(Machine& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    m.C = a & 1;
    m.Z = (a >> 1) == 0;
    push_result(m, a >> 1, bits);
    advance_pc(m, opcode);
}

// Rotates wrap within the operand alone, not through C.
inline void rotate_left(Machine& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    m.C = (a >> (bits - 1)) & 1;
    m.Z = a == 0;
    push_result(m, (a << 1) | (a >> (bits - 1)), bits);
    advance_pc(m, opcode);
}

inline void rotate_right(Machine& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    m.C = a & 1;
    m.Z = a == 0;
    push_result(m, (a >> 1) | (a << (bits - 1)), bits);
    advance_pc(m, opcode);
}

// The bitwise operations write Z in both directions.
inline void bitwise_and(Machine& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    unsigned b = pop_operand(m, bits);
    m.Z = (a & b) == 0;
    push_result(m, a & b, bits);
    advance_pc(m, opcode);
}

inline void bitwise_or(Machine& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    unsigned b = pop_operand(m, bits);
    m.Z = (a | b) == 0;
    push_result(m, a | b, bits);
    advance_pc(m, opcode);
}

inline void bitwise_xor(Machine& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    unsigned b = pop_operand(m, bits);
    m.Z = a == b;
    push_result(m, a ^ b, bits);
    advance_pc(m, opcode);
}

// not is a logical negation: 1 for a zero operand, 0 for any other.
inline void logical_not(Machine& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    m.Z = a != 0;
    push_result(m, a == 0, bits);
    advance_pc(m, opcode);
}

// Sets Z and S exactly as sub and subw do (S: A < B unsigned), pushes
// nothing and does not put the operands back.
inline void compare(Machine& m, std::uint8_t opcode, unsigned bits) {
    std::int32_t a = static_cast<std::int32_t>(pop_operand(m, bits));
    std::int32_t b = static_cast<std::int32_t>(pop_operand(m, bits));
    set_zero_sign(m, a - b);
    advance_pc(m, opcode);
}

inline void op_shl(Machine& m) { shift_left(m, OP_SHL, BYTE_BITS); }
inline void op_shlw(Machine& m) { shift_left(m, OP_SHLW, WORD_BITS); }
inline void op_shr(Machine& m) { shift_right(m, OP_SHR, BYTE_BITS); }
inline void op_shrw(Machine& m) { shift_right(m, OP_SHRW, WORD_BITS); }
inline void op_rol(Machine& m) { rotate_left(m, OP_ROL, BYTE_BITS); }
inline void op_rolw(Machine& m) { rotate_left(m, OP_ROLW, WORD_BITS); }
inline void op_ror(Machine& m) { rotate_right(m, OP_ROR, BYTE_BITS); }
inline void op_rorw(Machine& m) { rotate_right(m, OP_RORW, WORD_BITS); }
inline void op_and(Machine& m) { bitwise_and(m, OP_AND, BYTE_BITS); }
inline void op_andw(Machine& m) { bitwise_and(m, OP_ANDW, WORD_BITS); }
inline void op_or(Machine& m) { bitwise_or(m, OP_OR, BYTE_BITS); }
inline void op_orw(Machine& m) { bitwise_or(m, OP_ORW, WORD_BITS); }
inline void op_not(Machine& m) { logical_not(m, OP_NOT, BYTE_BITS); }
inline void op_notw(Machine& m) { logical_not(m, OP_NOTW, WORD_BITS); }
inline void op_xor(Machine& m) { bitwise_xor(m, OP_XOR, BYTE_BITS); }
inline void op_xorw(Machine& m) { bitwise_xor(m, OP_XORW, WORD_BITS); }
inline void op_cmp(Machine& m) { compare(m, OP_CMP, BYTE_BITS); }
inline void op_cmpw(Machine& m) { compare(m, OP_CMPW, WORD_BITS); }
