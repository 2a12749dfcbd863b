// The one step procedure every program runs: fetch, execute, count. The run
// loops of the simulator, the debugger, the checker and the web page and the
// run-loop fuzz target all come down to it, so they cannot drift apart.
//
// Io is the program's side of the three instructions that reach the outside
// world, a class with
//   void show_port0(unsigned value);  // out 0
//   void wait_key();                  // in 1
//   void halt();                      // hlt, before the run ends
// Stops are thrown as MachineStop (machine/stops.hpp).
#pragma once

#include "machine/arithmetic.hpp"
#include "machine/control.hpp"
#include "machine/jumps_calls.hpp"
#include "machine/loads_stores.hpp"
#include "machine/logic.hpp"
#include "machine/machine.hpp"

// Charges the clocks of an instruction that completed. Every use passes the
// instruction's own opcode as a constant, so the table lookup folds away.
template <class M>
inline void charge_clocks(M& m, std::uint8_t opcode) {
    m.clock_count += OpcodeTable[opcode].clocks;
}

// Every instruction that works on the machine alone, one line each: the
// opcode and its handler, which takes the Machine. execute_instruction and
// the fast run loop (machine/fast_run.cpp) are both generated from this list,
// so they cannot disagree about what an opcode does. The three instructions
// that reach the program's Io (in, out, hlt) are written out below.
// clang-format off
#define MACHINE_INSTRUCTIONS(X) \
    X(OP_LDI, op_ldi)   \
    X(OP_LDIW, op_ldiw) \
    X(OP_LDD, op_ldd)   \
    X(OP_LDDW, op_lddw) \
    X(OP_LDA, op_lda)   \
    X(OP_STA, op_sta)   \
    X(OP_STD, op_std)   \
    X(OP_STDW, op_stdw) \
    X(OP_LDAW, op_ldaw) \
    X(OP_STAW, op_staw) \
    X(OP_MUL, op_mul)   \
    X(OP_MULW, op_mulw) \
    X(OP_DIV, op_div)   \
    X(OP_DIVW, op_divw) \
    X(OP_SUB, op_sub)   \
    X(OP_SUBW, op_subw) \
    X(OP_ADD, op_add)   \
    X(OP_ADDW, op_addw) \
    X(OP_INC, op_inc)   \
    X(OP_INCW, op_incw) \
    X(OP_DEC, op_dec)   \
    X(OP_DECW, op_decw) \
    X(OP_CALL, op_call) \
    X(OP_RET, op_ret)   \
    X(OP_JMP, op_jmp)   \
    X(OP_JMR, op_jmr)   \
    X(OP_JZ, op_jz)     \
    X(OP_JNZ, op_jnz)   \
    X(OP_JO, op_jo)     \
    X(OP_JNO, op_jno)   \
    X(OP_JC, op_jc)     \
    X(OP_JNC, op_jnc)   \
    X(OP_JS, op_js)     \
    X(OP_JNS, op_jns)   \
    X(OP_NOP, op_nop)   \
    X(OP_SHL, op_shl)   \
    X(OP_SHLW, op_shlw) \
    X(OP_SHR, op_shr)   \
    X(OP_SHRW, op_shrw) \
    X(OP_ROL, op_rol)   \
    X(OP_ROLW, op_rolw) \
    X(OP_ROR, op_ror)   \
    X(OP_RORW, op_rorw) \
    X(OP_AND, op_and)   \
    X(OP_ANDW, op_andw) \
    X(OP_OR, op_or)     \
    X(OP_ORW, op_orw)   \
    X(OP_NOT, op_not)   \
    X(OP_NOTW, op_notw) \
    X(OP_XOR, op_xor)   \
    X(OP_XORW, op_xorw) \
    X(OP_CMP, op_cmp)   \
    X(OP_CMPW, op_cmpw)
// clang-format on

// Stops the run when the instruction just counted left PC outside the
// program and data area. The position line shows PC set back by the length
// of the instruction that moved it out.
template <class M>
inline void check_pc(const M& m) {
    if (m.PC >= MAX_MEMORY) [[unlikely]]
        raise_stop(StopKind::PC_OVERLOAD,
                   static_cast<std::uint16_t>(m.PC - OpcodeTable[m.IR].length), m.IR);
}

// Counts the instruction that completed and checks the PC it left.
template <class M>
inline void complete_instruction(M& m) {
    ++m.instruction_count;
    check_pc(m);
}

// Runs the instruction whose opcode is in m.IR, counts it and checks PC.
template <class M, class Io>
inline void execute_instruction(M& m, Io& io) {
    // One line per opcode: the handler, then its clocks.
#define MACHINE_CASE(opcode, handler) \
    case opcode:                      \
        handler(m);                   \
        charge_clocks(m, opcode);     \
        break;
    // clang-format off
    switch (m.IR) {
        MACHINE_INSTRUCTIONS(MACHINE_CASE)
        case OP_IN: op_in(m, io); charge_clocks(m, OP_IN); break;
        case OP_OUT: op_out(m, io); charge_clocks(m, OP_OUT); break;
        case OP_HLT: op_hlt(m, io); charge_clocks(m, OP_HLT); break;
        // An undefined opcode's slot has length 0 (and opcodes 112..255 have
        // none), so the position line shows the opcode's own address.
        default: raise_stop(StopKind::UNDEFINED_OPCODE, m.PC, m.IR);
    }
        // clang-format on
#undef MACHINE_CASE
    complete_instruction(m);
}

// One whole instruction from PC (the key test, if any, comes before it).
template <class M, class Io>
inline void step(M& m, Io& io) {
    fetch_instruction(m);
    execute_instruction(m, io);
}
