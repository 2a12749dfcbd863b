// Multiply, divide, subtract, add, increment and decrement, byte and word:
// each family is one procedure taking the operand width. A is the operand
// popped first (the top of the stack), B the one beneath. The result is a
// signed 32-bit value; Z and S describe that value, never the byte or word
// pushed, and C is never written.
#pragma once

#include <cstdint>

#include "machine/machine.hpp"

// The largest signed value of the computation, against which O is tested:
// a signed byte for the byte forms (although their operands are unsigned),
// a signed 32-bit value for the word forms.
constexpr std::int64_t BYTE_LIMIT = 127;
constexpr std::int64_t WORD_LIMIT = 2147483647;

// The product of two words is taken modulo 2^32 and read as signed, so S and
// O then both report a product of 2^31 or more.
template <class M>
inline void multiply(M& m, std::uint8_t opcode, unsigned bits, std::int64_t limit) {
    std::uint32_t a = pop_operand(m, bits);
    std::uint32_t b = pop_operand(m, bits);
    std::uint32_t product = a * b;
    set_zero_sign(m, static_cast<std::int32_t>(product));
    m.O = product > limit;
    push_result(m, product, bits);
    advance_pc(m, opcode);
}

// The top of the stack divided by the value beneath, truncated.
template <class M>
inline void divide(M& m, std::uint8_t opcode, unsigned bits) {
    unsigned a = pop_operand(m, bits);
    unsigned b = pop_operand(m, bits);
    if (b == 0) raise_stop(StopKind::DIVISION_BY_ZERO, m.PC, m.IR);
    set_zero_sign(m, static_cast<std::int32_t>(a / b));
    push_result(m, a / b, bits);
    advance_pc(m, opcode);
}

// A - B: S reports a borrow (A < B), not the top bit of the pushed value.
template <class M>
inline void subtract(M& m, std::uint8_t opcode, unsigned bits) {
    std::int32_t a = static_cast<std::int32_t>(pop_operand(m, bits));
    std::int32_t b = static_cast<std::int32_t>(pop_operand(m, bits));
    set_zero_sign(m, a - b);
    push_result(m, static_cast<unsigned>(a - b), bits);
    advance_pc(m, opcode);
}

// No sum of two words reaches WORD_LIMIT, so addw always clears O.
template <class M>
inline void add(M& m, std::uint8_t opcode, unsigned bits, std::int64_t limit) {
    std::int32_t a = static_cast<std::int32_t>(pop_operand(m, bits));
    std::int32_t b = static_cast<std::int32_t>(pop_operand(m, bits));
    set_zero_sign(m, a + b);
    m.O = a + b > limit;
    push_result(m, static_cast<unsigned>(a + b), bits);
    advance_pc(m, opcode);
}

// O is set when the operand equals `largest`: 255 for inc, whose pushed byte
// then wraps to 0 while Z stays clear (Z describes 256); WORD_LIMIT for incw,
// which no word equals.
template <class M>
inline void increment(M& m, std::uint8_t opcode, unsigned bits, std::int64_t largest) {
    std::int32_t a = static_cast<std::int32_t>(pop_operand(m, bits));
    set_zero_sign(m, a + 1);
    m.O = a == largest;
    push_result(m, static_cast<unsigned>(a + 1), bits);
    advance_pc(m, opcode);
}

// The decrements leave O as it was.
template <class M>
inline void decrement(M& m, std::uint8_t opcode, unsigned bits) {
    std::int32_t a = static_cast<std::int32_t>(pop_operand(m, bits));
    set_zero_sign(m, a - 1);
    push_result(m, static_cast<unsigned>(a - 1), bits);
    advance_pc(m, opcode);
}

template <class M>
inline void op_mul(M& m) {
    multiply(m, OP_MUL, BYTE_BITS, BYTE_LIMIT);
}
template <class M>
inline void op_mulw(M& m) {
    multiply(m, OP_MULW, WORD_BITS, WORD_LIMIT);
}
template <class M>
inline void op_div(M& m) {
    divide(m, OP_DIV, BYTE_BITS);
}
template <class M>
inline void op_divw(M& m) {
    divide(m, OP_DIVW, WORD_BITS);
}
template <class M>
inline void op_sub(M& m) {
    subtract(m, OP_SUB, BYTE_BITS);
}
template <class M>
inline void op_subw(M& m) {
    subtract(m, OP_SUBW, WORD_BITS);
}
template <class M>
inline void op_add(M& m) {
    add(m, OP_ADD, BYTE_BITS, BYTE_LIMIT);
}
template <class M>
inline void op_addw(M& m) {
    add(m, OP_ADDW, WORD_BITS, WORD_LIMIT);
}
template <class M>
inline void op_inc(M& m) {
    increment(m, OP_INC, BYTE_BITS, 255);
}
template <class M>
inline void op_incw(M& m) {
    increment(m, OP_INCW, WORD_BITS, WORD_LIMIT);
}
template <class M>
inline void op_dec(M& m) {
    decrement(m, OP_DEC, BYTE_BITS);
}
template <class M>
inline void op_decw(M& m) {
    decrement(m, OP_DECW, WORD_BITS);
}
