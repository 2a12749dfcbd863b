// Shifts, rotates, logic and compare, byte and word. A is the operand popped
// first (the top of the stack), B the one beneath. Only the shifts and
// rotates write m.C; none of these instructions writes m.O.
#pragma once

#include <cstdint>

#include "machine.hpp"

// m.Z after shl and shlw is tested before the cut, so it reports a zero operand.
inline void op_shl(Machine& m) {
    unsigned a = pop_byte(m);
    m.C = (a >> 7) & 1;
    m.Z = a == 0;
    push_byte(m, (a << 1) & 0xFF);
    advance_pc(m, OP_SHL);
}

inline void op_shlw(Machine& m) {
    unsigned a = pop_word(m);
    m.C = (a >> 15) & 1;
    m.Z = a == 0;
    push_word(m, (a << 1) & 0xFFFF);
    advance_pc(m, OP_SHLW);
}

// m.Z after shr and shrw reports a zero result: an operand of 0 or 1.
inline void op_shr(Machine& m) {
    unsigned a = pop_byte(m);
    m.C = a & 1;
    m.Z = a <= 1;
    push_byte(m, a >> 1);
    advance_pc(m, OP_SHR);
}

inline void op_shrw(Machine& m) {
    unsigned a = pop_word(m);
    m.C = a & 1;
    m.Z = a <= 1;
    push_word(m, a >> 1);
    advance_pc(m, OP_SHRW);
}

// Rotates wrap within the operand alone, not through m.C.
inline void op_rol(Machine& m) {
    unsigned a = pop_byte(m);
    m.C = (a >> 7) & 1;
    m.Z = a == 0;
    push_byte(m, ((a << 1) | (a >> 7)) & 0xFF);
    advance_pc(m, OP_ROL);
}

inline void op_rolw(Machine& m) {
    unsigned a = pop_word(m);
    m.C = (a >> 15) & 1;
    m.Z = a == 0;
    push_word(m, ((a << 1) | (a >> 15)) & 0xFFFF);
    advance_pc(m, OP_ROLW);
}

inline void op_ror(Machine& m) {
    unsigned a = pop_byte(m);
    m.C = a & 1;
    m.Z = a == 0;
    push_byte(m, ((a >> 1) | (a << 7)) & 0xFF);
    advance_pc(m, OP_ROR);
}

inline void op_rorw(Machine& m) {
    unsigned a = pop_word(m);
    m.C = a & 1;
    m.Z = a == 0;
    push_word(m, ((a >> 1) | (a << 15)) & 0xFFFF);
    advance_pc(m, OP_RORW);
}

inline void op_and(Machine& m) {
    unsigned a = pop_byte(m);
    unsigned b = pop_byte(m);
    m.Z = (a & b) == 0;
    push_byte(m, a & b);
    advance_pc(m, OP_AND);
}

inline void op_andw(Machine& m) {
    unsigned a = pop_word(m);
    unsigned b = pop_word(m);
    m.Z = (a & b) == 0;
    push_word(m, a & b);
    advance_pc(m, OP_ANDW);
}

inline void op_or(Machine& m) {
    unsigned a = pop_byte(m);
    unsigned b = pop_byte(m);
    m.Z = (a | b) == 0;
    push_byte(m, a | b);
    advance_pc(m, OP_OR);
}

inline void op_orw(Machine& m) {
    unsigned a = pop_word(m);
    unsigned b = pop_word(m);
    m.Z = (a | b) == 0;
    push_word(m, a | b);
    advance_pc(m, OP_ORW);
}

// not is a logical negation: 1 for a zero operand, 0 for any other.
inline void op_not(Machine& m) {
    unsigned a = pop_byte(m);
    m.Z = a != 0;
    push_byte(m, a == 0);
    advance_pc(m, OP_NOT);
}

inline void op_notw(Machine& m) {
    unsigned a = pop_word(m);
    m.Z = a != 0;
    push_word(m, a == 0);
    advance_pc(m, OP_NOTW);
}

inline void op_xor(Machine& m) {
    unsigned a = pop_byte(m);
    unsigned b = pop_byte(m);
    m.Z = a == b;
    push_byte(m, a ^ b);
    advance_pc(m, OP_XOR);
}

inline void op_xorw(Machine& m) {
    unsigned a = pop_word(m);
    unsigned b = pop_word(m);
    m.Z = a == b;
    push_word(m, a ^ b);
    advance_pc(m, OP_XORW);
}

// Compares set m.Z and m.S exactly as sub and subw do (m.S: A < B unsigned), push
// nothing and do not put their operands back.
inline void op_cmp(Machine& m) {
    unsigned a = pop_byte(m);
    unsigned b = pop_byte(m);
    set_zero_sign(m, static_cast<std::int32_t>(a) - static_cast<std::int32_t>(b));
    advance_pc(m, OP_CMP);
}

inline void op_cmpw(Machine& m) {
    unsigned a = pop_word(m);
    unsigned b = pop_word(m);
    set_zero_sign(m, static_cast<std::int32_t>(a) - static_cast<std::int32_t>(b));
    advance_pc(m, OP_CMPW);
}
