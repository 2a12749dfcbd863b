// Subroutine call and return, and jumps. Each handler is named after its
// mnemonic with the prefix op_.
#pragma once

#include "machine/machine.hpp"

// The target is read after the pushes: they may overwrite the operand bytes
// of a call at the very end of the program area.
inline void op_call(Machine& m) {
    unsigned r = static_cast<std::uint16_t>(m.PC + OpcodeTable[OP_CALL].length);
    push_word(m, r);
    m.PC = static_cast<std::uint16_t>(operand_word(m));
}

inline void op_ret(Machine& m) { m.PC = static_cast<std::uint16_t>(pop_word(m)); }

inline void op_jmp(Machine& m) { m.PC = static_cast<std::uint16_t>(operand_word(m)); }

// The offset is unsigned and counts from the jmr opcode itself.
inline void op_jmr(Machine& m) { m.PC = static_cast<std::uint16_t>(m.PC + operand_byte(m)); }

inline void jump_if(Machine& m, bool taken, std::uint8_t opcode) {
    if (taken) {
        op_jmp(m);
    } else {
        advance_pc(m, opcode);
    }
}

inline void op_jz(Machine& m) { jump_if(m, m.Z == 1, OP_JZ); }
inline void op_jnz(Machine& m) { jump_if(m, m.Z != 1, OP_JNZ); }
inline void op_jo(Machine& m) { jump_if(m, m.O == 1, OP_JO); }
inline void op_jno(Machine& m) { jump_if(m, m.O != 1, OP_JNO); }
inline void op_jc(Machine& m) { jump_if(m, m.C == 1, OP_JC); }
inline void op_jnc(Machine& m) { jump_if(m, m.C != 1, OP_JNC); }
inline void op_js(Machine& m) { jump_if(m, m.S == 1, OP_JS); }
inline void op_jns(Machine& m) { jump_if(m, m.S != 1, OP_JNS); }
