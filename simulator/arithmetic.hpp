// Multiply, divide, subtract, add, increment and decrement, byte and word.
// A is the operand popped first (the top of the stack), B the one beneath.
// The result is a signed 32-bit value; Z and S describe that value, never
// the byte or word pushed, and C is never written.
#pragma once

#include <cstdint>

#include "machine.hpp"

[[noreturn]] void division_by_zero_stop();

inline void op_mul() {
    std::int32_t a = static_cast<std::int32_t>(pop_byte());
    std::int32_t b = static_cast<std::int32_t>(pop_byte());
    std::int32_t product = a * b;
    set_zero_sign(product);
    O = product > 127;  // tested against the largest signed byte
    push_byte(static_cast<unsigned>(product));
    advance_pc(OP_MUL);
}

// The product is taken modulo 2^32 and read as signed, so S and O both report
// a product of 2^31 or more.
inline void op_mulw() {
    std::uint32_t a = pop_word();
    std::uint32_t b = pop_word();
    std::uint32_t product = a * b;
    set_zero_sign(static_cast<std::int32_t>(product));
    O = product > 2147483647u;
    push_word(product & 0xFFFF);
    advance_pc(OP_MULW);
}

inline void op_div() {
    unsigned a = pop_byte();
    unsigned b = pop_byte();
    if (b == 0) division_by_zero_stop();
    set_zero_sign(static_cast<std::int32_t>(a / b));
    push_byte(a / b);
    advance_pc(OP_DIV);
}

inline void op_divw() {
    unsigned a = pop_word();
    unsigned b = pop_word();
    if (b == 0) division_by_zero_stop();
    set_zero_sign(static_cast<std::int32_t>(a / b));
    push_word(a / b);
    advance_pc(OP_DIVW);
}

// S reports a borrow (A < B), not the top bit of the pushed value.
inline void op_sub() {
    std::int32_t a = static_cast<std::int32_t>(pop_byte());
    std::int32_t b = static_cast<std::int32_t>(pop_byte());
    set_zero_sign(a - b);
    push_byte(static_cast<unsigned>(a - b));
    advance_pc(OP_SUB);
}

inline void op_subw() {
    std::int32_t a = static_cast<std::int32_t>(pop_word());
    std::int32_t b = static_cast<std::int32_t>(pop_word());
    set_zero_sign(a - b);
    push_word(static_cast<unsigned>(a - b) & 0xFFFF);
    advance_pc(OP_SUBW);
}

inline void op_add() {
    std::int32_t a = static_cast<std::int32_t>(pop_byte());
    std::int32_t b = static_cast<std::int32_t>(pop_byte());
    set_zero_sign(a + b);
    O = a + b > 127;  // tested against the largest signed byte
    push_byte(static_cast<unsigned>(a + b));
    advance_pc(OP_ADD);
}

// Tested against the largest signed 32-bit value, which no sum reaches.
inline void op_addw() {
    std::int32_t a = static_cast<std::int32_t>(pop_word());
    std::int32_t b = static_cast<std::int32_t>(pop_word());
    set_zero_sign(a + b);
    O = 0;
    push_word(static_cast<unsigned>(a + b) & 0xFFFF);
    advance_pc(OP_ADDW);
}

// 255 + 1 sets O and pushes 0, yet leaves Z clear: Z describes 256.
inline void op_inc() {
    std::int32_t a = static_cast<std::int32_t>(pop_byte());
    set_zero_sign(a + 1);
    O = a == 255;
    push_byte(static_cast<unsigned>(a + 1));
    advance_pc(OP_INC);
}

inline void op_incw() {
    std::int32_t a = static_cast<std::int32_t>(pop_word());
    set_zero_sign(a + 1);
    O = 0;
    push_word(static_cast<unsigned>(a + 1) & 0xFFFF);
    advance_pc(OP_INCW);
}

// The decrements leave O as it was.
inline void op_dec() {
    std::int32_t a = static_cast<std::int32_t>(pop_byte());
    set_zero_sign(a - 1);
    push_byte(static_cast<unsigned>(a - 1));
    advance_pc(OP_DEC);
}

inline void op_decw() {
    std::int32_t a = static_cast<std::int32_t>(pop_word());
    set_zero_sign(a - 1);
    push_word(static_cast<unsigned>(a - 1) & 0xFFFF);
    advance_pc(OP_DECW);
}
