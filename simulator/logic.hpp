// Shifts, rotates, logic and compare, byte and word. A is the operand popped
// first (the top of the stack), B the one beneath. Only the shifts and
// rotates write C; none of these instructions writes O.
#pragma once

#include <cstdint>

#include "machine.hpp"

// Z after shl and shlw is tested before the cut, so it reports a zero operand.
inline void op_shl() {
    unsigned a = pop_byte();
    C = (a >> 7) & 1;
    Z = a == 0;
    push_byte((a << 1) & 0xFF);
    advance_pc(OP_SHL);
}

inline void op_shlw() {
    unsigned a = pop_word();
    C = (a >> 15) & 1;
    Z = a == 0;
    push_word((a << 1) & 0xFFFF);
    advance_pc(OP_SHLW);
}

// Z after shr and shrw reports a zero result: an operand of 0 or 1.
inline void op_shr() {
    unsigned a = pop_byte();
    C = a & 1;
    Z = a <= 1;
    push_byte(a >> 1);
    advance_pc(OP_SHR);
}

inline void op_shrw() {
    unsigned a = pop_word();
    C = a & 1;
    Z = a <= 1;
    push_word(a >> 1);
    advance_pc(OP_SHRW);
}

// Rotates wrap within the operand alone, not through C.
inline void op_rol() {
    unsigned a = pop_byte();
    C = (a >> 7) & 1;
    Z = a == 0;
    push_byte(((a << 1) | (a >> 7)) & 0xFF);
    advance_pc(OP_ROL);
}

inline void op_rolw() {
    unsigned a = pop_word();
    C = (a >> 15) & 1;
    Z = a == 0;
    push_word(((a << 1) | (a >> 15)) & 0xFFFF);
    advance_pc(OP_ROLW);
}

inline void op_ror() {
    unsigned a = pop_byte();
    C = a & 1;
    Z = a == 0;
    push_byte(((a >> 1) | (a << 7)) & 0xFF);
    advance_pc(OP_ROR);
}

inline void op_rorw() {
    unsigned a = pop_word();
    C = a & 1;
    Z = a == 0;
    push_word(((a >> 1) | (a << 15)) & 0xFFFF);
    advance_pc(OP_RORW);
}

inline void op_and() {
    unsigned a = pop_byte();
    unsigned b = pop_byte();
    Z = (a & b) == 0;
    push_byte(a & b);
    advance_pc(OP_AND);
}

inline void op_andw() {
    unsigned a = pop_word();
    unsigned b = pop_word();
    Z = (a & b) == 0;
    push_word(a & b);
    advance_pc(OP_ANDW);
}

inline void op_or() {
    unsigned a = pop_byte();
    unsigned b = pop_byte();
    Z = (a | b) == 0;
    push_byte(a | b);
    advance_pc(OP_OR);
}

inline void op_orw() {
    unsigned a = pop_word();
    unsigned b = pop_word();
    Z = (a | b) == 0;
    push_word(a | b);
    advance_pc(OP_ORW);
}

// not is a logical negation: 1 for a zero operand, 0 for any other.
inline void op_not() {
    unsigned a = pop_byte();
    Z = a != 0;
    push_byte(a == 0);
    advance_pc(OP_NOT);
}

inline void op_notw() {
    unsigned a = pop_word();
    Z = a != 0;
    push_word(a == 0);
    advance_pc(OP_NOTW);
}

inline void op_xor() {
    unsigned a = pop_byte();
    unsigned b = pop_byte();
    Z = a == b;
    push_byte(a ^ b);
    advance_pc(OP_XOR);
}

inline void op_xorw() {
    unsigned a = pop_word();
    unsigned b = pop_word();
    Z = a == b;
    push_word(a ^ b);
    advance_pc(OP_XORW);
}

// Compares set Z and S exactly as sub and subw do (S: A < B unsigned), push
// nothing and do not put their operands back.
inline void op_cmp() {
    unsigned a = pop_byte();
    unsigned b = pop_byte();
    set_zero_sign(static_cast<std::int32_t>(a) - static_cast<std::int32_t>(b));
    advance_pc(OP_CMP);
}

inline void op_cmpw() {
    unsigned a = pop_word();
    unsigned b = pop_word();
    set_zero_sign(static_cast<std::int32_t>(a) - static_cast<std::int32_t>(b));
    advance_pc(OP_CMPW);
}
