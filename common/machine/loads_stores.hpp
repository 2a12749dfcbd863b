// Loads, stores and ports. Each handler is named after its mnemonic with the
// prefix op_. The port handlers take the program's Io, which shows port 0
// and waits for keys (see machine/step.hpp).
#pragma once

#include "machine/machine.hpp"

// Stops the run before any access that would reach last_address >= MEMORY_SIZE.
template <class M>
inline void check_address(const M& m, unsigned last_address) {
    if (last_address >= static_cast<unsigned>(MEMORY_SIZE))
        raise_stop(StopKind::ADDRESS_OVERLOAD, m.PC, m.IR);
}

// The pointer word at w, after checking that both of its bytes exist.
template <class M>
inline unsigned read_pointer(const M& m, unsigned w) {
    check_address(m, w + 1);
    return m.memory[w] | (m.memory[w + 1] << 8);
}

// The word at a (low byte first in memory) goes on the stack high byte first.
template <class M>
inline void push_memory_word(M& m, unsigned a) {
    check_address(m, a + 1);
    push_byte(m, m.memory[a + 1]);
    push_byte(m, m.memory[a]);
}

// The word on top of the stack goes to memory at a, low byte first.
template <class M>
inline void pop_memory_word(M& m, unsigned a) {
    check_address(m, a + 1);
    m.memory[a] = static_cast<std::uint8_t>(pop_byte(m));
    m.memory[a + 1] = static_cast<std::uint8_t>(pop_byte(m));
}

template <class M>
inline void op_ldi(M& m) {
    push_byte(m, operand_byte(m));
    advance_pc(m, OP_LDI);
}

template <class M>
inline void op_ldiw(M& m) {
    push_byte(m, m.memory[m.PC + 2]);
    push_byte(m, m.memory[m.PC + 1]);
    advance_pc(m, OP_LDIW);
}

template <class M>
inline void op_ldd(M& m) {
    unsigned a = operand_word(m);
    check_address(m, a);
    push_byte(m, m.memory[a]);
    advance_pc(m, OP_LDD);
}

template <class M>
inline void op_lddw(M& m) {
    push_memory_word(m, operand_word(m));
    advance_pc(m, OP_LDDW);
}

template <class M>
inline void op_lda(M& m) {
    unsigned a = read_pointer(m, operand_word(m));
    if (a >= static_cast<unsigned>(MAX_MEMORY)) raise_stop(StopKind::LDA_OVERLOAD, m.PC, m.IR);
    push_byte(m, m.memory[a]);
    advance_pc(m, OP_LDA);
}

template <class M>
inline void op_sta(M& m) {
    unsigned a = read_pointer(m, operand_word(m));
    if (a >= static_cast<unsigned>(MAX_MEMORY)) raise_stop(StopKind::STA_OVERLOAD, m.PC, m.IR);
    m.memory[a] = static_cast<std::uint8_t>(pop_byte(m));
    advance_pc(m, OP_STA);
}

template <class M>
inline void op_std(M& m) {
    unsigned a = operand_word(m);
    check_address(m, a);
    m.memory[a] = static_cast<std::uint8_t>(pop_byte(m));
    advance_pc(m, OP_STD);
}

template <class M>
inline void op_stdw(M& m) {
    pop_memory_word(m, operand_word(m));
    advance_pc(m, OP_STDW);
}

// in 1 waits for a key press instead of reading a port.
template <class M, class Io>
inline void op_in(M& m, Io& io) {
    unsigned n = operand_byte(m);
    if (n == 1) {
        io.wait_key();
    } else {
        push_byte(m, m.ports[n]);
    }
    advance_pc(m, OP_IN);
}

template <class M, class Io>
inline void op_out(M& m, Io& io) {
    unsigned n = operand_byte(m);
    unsigned v = pop_byte(m);
    m.ports[n] = static_cast<std::uint8_t>(v);
    if (n == 0) io.show_port0(v);
    advance_pc(m, OP_OUT);
}

template <class M>
inline void op_ldaw(M& m) {
    push_memory_word(m, read_pointer(m, operand_word(m)));
    advance_pc(m, OP_LDAW);
}

template <class M>
inline void op_staw(M& m) {
    pop_memory_word(m, read_pointer(m, operand_word(m)));
    advance_pc(m, OP_STAW);
}
