// Multiply, divide, subtract, add, increment and decrement, byte and word.
// A is the operand popped first (the top of the stack), B the one beneath.
// The result is a signed 32-bit value; m.Z and m.S describe that value, never
// the byte or word pushed, and m.C is never written.
#pragma once

#include <cstdint>

#include "machine.hpp"

[[noreturn]] void division_by_zero_stop();

inline void op_mul(Machine& m) {
    std::int32_t a = static_cast<std::int32_t>(pop_byte(m));
    std::int32_t b = static_cast<std::int32_t>(pop_byte(m));
    std::int32_t product = a * b;
    set_zero_sign(m, product);
    m.O = product > 127;  // tested against the largest signed byte
    push_byte(m, static_cast<unsigned>(product));
    advance_pc(m, OP_MUL);
}

// The product is taken modulo 2^32 and read as signed, so m.S and m.O both report
// a product of 2^31 or more.
inline void op_mulw(Machine& m) {
    std::uint32_t a = pop_word(m);
    std::uint32_t b = pop_word(m);
    std::uint32_t product = a * b;
    set_zero_sign(m, static_cast<std::int32_t>(product));
    m.O = product > 2147483647u;
    push_word(m, product & 0xFFFF);
    advance_pc(m, OP_MULW);
}

inline void op_div(Machine& m) {
    unsigned a = pop_byte(m);
    unsigned b = pop_byte(m);
    if (b == 0) division_by_zero_stop();
    set_zero_sign(m, static_cast<std::int32_t>(a / b));
    push_byte(m, a / b);
    advance_pc(m, OP_DIV);
}

inline void op_divw(Machine& m) {
    unsigned a = pop_word(m);
    unsigned b = pop_word(m);
    if (b == 0) division_by_zero_stop();
    set_zero_sign(m, static_cast<std::int32_t>(a / b));
    push_word(m, a / b);
    advance_pc(m, OP_DIVW);
}

// m.S reports a borrow (A < B), not the top bit of the pushed value.
inline void op_sub(Machine& m) {
    std::int32_t a = static_cast<std::int32_t>(pop_byte(m));
    std::int32_t b = static_cast<std::int32_t>(pop_byte(m));
    set_zero_sign(m, a - b);
    push_byte(m, static_cast<unsigned>(a - b));
    advance_pc(m, OP_SUB);
}

inline void op_subw(Machine& m) {
    std::int32_t a = static_cast<std::int32_t>(pop_word(m));
    std::int32_t b = static_cast<std::int32_t>(pop_word(m));
    set_zero_sign(m, a - b);
    push_word(m, static_cast<unsigned>(a - b) & 0xFFFF);
    advance_pc(m, OP_SUBW);
}

inline void op_add(Machine& m) {
    std::int32_t a = static_cast<std::int32_t>(pop_byte(m));
    std::int32_t b = static_cast<std::int32_t>(pop_byte(m));
    set_zero_sign(m, a + b);
    m.O = a + b > 127;  // tested against the largest signed byte
    push_byte(m, static_cast<unsigned>(a + b));
    advance_pc(m, OP_ADD);
}

// Tested against the largest signed 32-bit value, which no sum reaches.
inline void op_addw(Machine& m) {
    std::int32_t a = static_cast<std::int32_t>(pop_word(m));
    std::int32_t b = static_cast<std::int32_t>(pop_word(m));
    set_zero_sign(m, a + b);
    m.O = 0;
    push_word(m, static_cast<unsigned>(a + b) & 0xFFFF);
    advance_pc(m, OP_ADDW);
}

// 255 + 1 sets m.O and pushes 0, yet leaves m.Z clear: m.Z describes 256.
inline void op_inc(Machine& m) {
    std::int32_t a = static_cast<std::int32_t>(pop_byte(m));
    set_zero_sign(m, a + 1);
    m.O = a == 255;
    push_byte(m, static_cast<unsigned>(a + 1));
    advance_pc(m, OP_INC);
}

inline void op_incw(Machine& m) {
    std::int32_t a = static_cast<std::int32_t>(pop_word(m));
    set_zero_sign(m, a + 1);
    m.O = 0;
    push_word(m, static_cast<unsigned>(a + 1) & 0xFFFF);
    advance_pc(m, OP_INCW);
}

// The decrements leave m.O as it was.
inline void op_dec(Machine& m) {
    std::int32_t a = static_cast<std::int32_t>(pop_byte(m));
    set_zero_sign(m, a - 1);
    push_byte(m, static_cast<unsigned>(a - 1));
    advance_pc(m, OP_DEC);
}

inline void op_decw(Machine& m) {
    std::int32_t a = static_cast<std::int32_t>(pop_word(m));
    set_zero_sign(m, a - 1);
    push_word(m, static_cast<unsigned>(a - 1) & 0xFFFF);
    advance_pc(m, OP_DECW);
}
