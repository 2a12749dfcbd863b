// Subroutine call and return, and jumps. Each handler is named after its
// mnemonic with the prefix op_.
#pragma once

#include "machine/machine.hpp"

// The target is read after the pushes: they may overwrite the operand bytes
// of a call at the very end of the program area.
template <class M>
inline void op_call(M& m) {
    unsigned r = static_cast<std::uint16_t>(m.PC + OpcodeTable[OP_CALL].length);
    push_word(m, r);
    m.PC = static_cast<std::uint16_t>(operand_word(m));
}

template <class M>
inline void op_ret(M& m) {
    m.PC = static_cast<std::uint16_t>(pop_word(m));
}

template <class M>
inline void op_jmp(M& m) {
    m.PC = static_cast<std::uint16_t>(operand_word(m));
}

// The offset is unsigned and counts from the jmr opcode itself.
template <class M>
inline void op_jmr(M& m) {
    m.PC = static_cast<std::uint16_t>(m.PC + operand_byte(m));
}

template <class M>
inline void jump_if(M& m, bool taken, std::uint8_t opcode) {
    if (taken) {
        op_jmp(m);
    } else {
        advance_pc(m, opcode);
    }
}

template <class M>
inline void op_jz(M& m) {
    jump_if(m, m.Z == 1, OP_JZ);
}
template <class M>
inline void op_jnz(M& m) {
    jump_if(m, m.Z != 1, OP_JNZ);
}
template <class M>
inline void op_jo(M& m) {
    jump_if(m, m.O == 1, OP_JO);
}
template <class M>
inline void op_jno(M& m) {
    jump_if(m, m.O != 1, OP_JNO);
}
template <class M>
inline void op_jc(M& m) {
    jump_if(m, m.C == 1, OP_JC);
}
template <class M>
inline void op_jnc(M& m) {
    jump_if(m, m.C != 1, OP_JNC);
}
template <class M>
inline void op_js(M& m) {
    jump_if(m, m.S == 1, OP_JS);
}
template <class M>
inline void op_jns(M& m) {
    jump_if(m, m.S != 1, OP_JNS);
}
