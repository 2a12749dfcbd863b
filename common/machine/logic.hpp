// Shifts, rotates, logic and compare, byte and word: each family is one
// procedure taking the operand width. A is the operand popped first (the
// top of the stack), B the one beneath. Only the shifts and rotates write C;
// none of these instructions writes O.
#pragma once

#include <cstdint>

#include "machine/machine.hpp"

// Z is tested on the shifted value before it is cut to the operand's width,
// so it reports a zero operand: shl of 0x80 pushes 0 with Z clear.
template <class M>
inline void shift_left(M& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    m.C = (a >> (bits - 1)) & 1;
    m.Z = (a << 1) == 0;
    push_result(m, a << 1, bits);
    advance_pc(m, opcode);
}

// A logical shift: 0 comes in at the top. Z reports a zero result (an
// operand of 0 or 1).
template <class M>
inline void shift_right(M& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    m.C = a & 1;
    m.Z = (a >> 1) == 0;
    push_result(m, a >> 1, bits);
    advance_pc(m, opcode);
}

// Rotates wrap within the operand alone, not through C.
template <class M>
inline void rotate_left(M& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    m.C = (a >> (bits - 1)) & 1;
    m.Z = a == 0;
    push_result(m, (a << 1) | (a >> (bits - 1)), bits);
    advance_pc(m, opcode);
}

template <class M>
inline void rotate_right(M& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    m.C = a & 1;
    m.Z = a == 0;
    push_result(m, (a >> 1) | (a << (bits - 1)), bits);
    advance_pc(m, opcode);
}

// The bitwise operations write Z in both directions.
template <class M>
inline void bitwise_and(M& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    unsigned b = pop_operand(m, bits);
    m.Z = (a & b) == 0;
    push_result(m, a & b, bits);
    advance_pc(m, opcode);
}

template <class M>
inline void bitwise_or(M& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    unsigned b = pop_operand(m, bits);
    m.Z = (a | b) == 0;
    push_result(m, a | b, bits);
    advance_pc(m, opcode);
}

template <class M>
inline void bitwise_xor(M& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    unsigned b = pop_operand(m, bits);
    m.Z = a == b;
    push_result(m, a ^ b, bits);
    advance_pc(m, opcode);
}

// not is a logical negation: 1 for a zero operand, 0 for any other.
template <class M>
inline void logical_not(M& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    m.Z = a != 0;
    push_result(m, a == 0, bits);
    advance_pc(m, opcode);
}

// Sets Z and S exactly as sub and subw do (S: A < B unsigned), pushes
// nothing and does not put the operands back.
template <class M>
inline void compare(M& m, std::uint8_t opcode, unsigned bits) {
    std::int32_t a = static_cast<std::int32_t>(pop_operand(m, bits));
    std::int32_t b = static_cast<std::int32_t>(pop_operand(m, bits));
    set_zero_sign(m, a - b);
    advance_pc(m, opcode);
}

template <class M>
inline void op_shl(M& m) {
    shift_left(m, OP_SHL, BYTE_BITS);
}
template <class M>
inline void op_shlw(M& m) {
    shift_left(m, OP_SHLW, WORD_BITS);
}
template <class M>
inline void op_shr(M& m) {
    shift_right(m, OP_SHR, BYTE_BITS);
}
template <class M>
inline void op_shrw(M& m) {
    shift_right(m, OP_SHRW, WORD_BITS);
}
template <class M>
inline void op_rol(M& m) {
    rotate_left(m, OP_ROL, BYTE_BITS);
}
template <class M>
inline void op_rolw(M& m) {
    rotate_left(m, OP_ROLW, WORD_BITS);
}
template <class M>
inline void op_ror(M& m) {
    rotate_right(m, OP_ROR, BYTE_BITS);
}
template <class M>
inline void op_rorw(M& m) {
    rotate_right(m, OP_RORW, WORD_BITS);
}
template <class M>
inline void op_and(M& m) {
    bitwise_and(m, OP_AND, BYTE_BITS);
}
template <class M>
inline void op_andw(M& m) {
    bitwise_and(m, OP_ANDW, WORD_BITS);
}
template <class M>
inline void op_or(M& m) {
    bitwise_or(m, OP_OR, BYTE_BITS);
}
template <class M>
inline void op_orw(M& m) {
    bitwise_or(m, OP_ORW, WORD_BITS);
}
template <class M>
inline void op_not(M& m) {
    logical_not(m, OP_NOT, BYTE_BITS);
}
template <class M>
inline void op_notw(M& m) {
    logical_not(m, OP_NOTW, WORD_BITS);
}
template <class M>
inline void op_xor(M& m) {
    bitwise_xor(m, OP_XOR, BYTE_BITS);
}
template <class M>
inline void op_xorw(M& m) {
    bitwise_xor(m, OP_XORW, WORD_BITS);
}
template <class M>
inline void op_cmp(M& m) {
    compare(m, OP_CMP, BYTE_BITS);
}
template <class M>
inline void op_cmpw(M& m) {
    compare(m, OP_CMPW, WORD_BITS);
}
