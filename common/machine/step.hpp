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

// Charges the clocks of an instruction that completed. Every case below
// passes its own opcode as a constant, so the table lookup folds away.
inline void charge_clocks(Machine& m, std::uint8_t opcode) {
    m.clock_count += OpcodeTable[opcode].clocks;
}

// Runs the instruction whose opcode is in m.IR, counts it and checks PC.
template <class Io>
inline void execute_instruction(Machine& m, Io& io) {
    // One line per opcode: the handler, then its clocks.
    // clang-format off
    switch (m.IR) {
        case OP_LDI: op_ldi(m); charge_clocks(m, OP_LDI); break;
        case OP_LDIW: op_ldiw(m); charge_clocks(m, OP_LDIW); break;
        case OP_LDD: op_ldd(m); charge_clocks(m, OP_LDD); break;
        case OP_LDDW: op_lddw(m); charge_clocks(m, OP_LDDW); break;
        case OP_LDA: op_lda(m); charge_clocks(m, OP_LDA); break;
        case OP_STA: op_sta(m); charge_clocks(m, OP_STA); break;
        case OP_STD: op_std(m); charge_clocks(m, OP_STD); break;
        case OP_STDW: op_stdw(m); charge_clocks(m, OP_STDW); break;
        case OP_IN: op_in(m, io); charge_clocks(m, OP_IN); break;
        case OP_OUT: op_out(m, io); charge_clocks(m, OP_OUT); break;
        case OP_LDAW: op_ldaw(m); charge_clocks(m, OP_LDAW); break;
        case OP_STAW: op_staw(m); charge_clocks(m, OP_STAW); break;
        case OP_MUL: op_mul(m); charge_clocks(m, OP_MUL); break;
        case OP_MULW: op_mulw(m); charge_clocks(m, OP_MULW); break;
        case OP_DIV: op_div(m); charge_clocks(m, OP_DIV); break;
        case OP_DIVW: op_divw(m); charge_clocks(m, OP_DIVW); break;
        case OP_SUB: op_sub(m); charge_clocks(m, OP_SUB); break;
        case OP_SUBW: op_subw(m); charge_clocks(m, OP_SUBW); break;
        case OP_ADD: op_add(m); charge_clocks(m, OP_ADD); break;
        case OP_ADDW: op_addw(m); charge_clocks(m, OP_ADDW); break;
        case OP_INC: op_inc(m); charge_clocks(m, OP_INC); break;
        case OP_INCW: op_incw(m); charge_clocks(m, OP_INCW); break;
        case OP_DEC: op_dec(m); charge_clocks(m, OP_DEC); break;
        case OP_DECW: op_decw(m); charge_clocks(m, OP_DECW); break;
        case OP_CALL: op_call(m); charge_clocks(m, OP_CALL); break;
        case OP_RET: op_ret(m); charge_clocks(m, OP_RET); break;
        case OP_JMP: op_jmp(m); charge_clocks(m, OP_JMP); break;
        case OP_JMR: op_jmr(m); charge_clocks(m, OP_JMR); break;
        case OP_JZ: op_jz(m); charge_clocks(m, OP_JZ); break;
        case OP_JNZ: op_jnz(m); charge_clocks(m, OP_JNZ); break;
        case OP_JO: op_jo(m); charge_clocks(m, OP_JO); break;
        case OP_JNO: op_jno(m); charge_clocks(m, OP_JNO); break;
        case OP_JC: op_jc(m); charge_clocks(m, OP_JC); break;
        case OP_JNC: op_jnc(m); charge_clocks(m, OP_JNC); break;
        case OP_JS: op_js(m); charge_clocks(m, OP_JS); break;
        case OP_JNS: op_jns(m); charge_clocks(m, OP_JNS); break;
        case OP_NOP: op_nop(m); charge_clocks(m, OP_NOP); break;
        case OP_HLT: op_hlt(m, io); charge_clocks(m, OP_HLT); break;
        case OP_SHL: op_shl(m); charge_clocks(m, OP_SHL); break;
        case OP_SHLW: op_shlw(m); charge_clocks(m, OP_SHLW); break;
        case OP_SHR: op_shr(m); charge_clocks(m, OP_SHR); break;
        case OP_SHRW: op_shrw(m); charge_clocks(m, OP_SHRW); break;
        case OP_ROL: op_rol(m); charge_clocks(m, OP_ROL); break;
        case OP_ROLW: op_rolw(m); charge_clocks(m, OP_ROLW); break;
        case OP_ROR: op_ror(m); charge_clocks(m, OP_ROR); break;
        case OP_RORW: op_rorw(m); charge_clocks(m, OP_RORW); break;
        case OP_AND: op_and(m); charge_clocks(m, OP_AND); break;
        case OP_ANDW: op_andw(m); charge_clocks(m, OP_ANDW); break;
        case OP_OR: op_or(m); charge_clocks(m, OP_OR); break;
        case OP_ORW: op_orw(m); charge_clocks(m, OP_ORW); break;
        case OP_NOT: op_not(m); charge_clocks(m, OP_NOT); break;
        case OP_NOTW: op_notw(m); charge_clocks(m, OP_NOTW); break;
        case OP_XOR: op_xor(m); charge_clocks(m, OP_XOR); break;
        case OP_XORW: op_xorw(m); charge_clocks(m, OP_XORW); break;
        case OP_CMP: op_cmp(m); charge_clocks(m, OP_CMP); break;
        case OP_CMPW: op_cmpw(m); charge_clocks(m, OP_CMPW); break;
        // An undefined opcode's slot has length 0 (and opcodes 112..255 have
        // none), so the position line shows the opcode's own address.
        default: raise_stop(StopKind::UNDEFINED_OPCODE, m.PC, m.IR);
    }
    // clang-format on
    ++m.instruction_count;
    // Shows PC set back by the length of the instruction that moved it out.
    if (m.PC >= MAX_MEMORY) [[unlikely]]
        raise_stop(StopKind::PC_OVERLOAD,
                   static_cast<std::uint16_t>(m.PC - OpcodeTable[m.IR].length), m.IR);
}

// One whole instruction from PC (the key test, if any, comes before it).
template <class Io>
inline void step(Machine& m, Io& io) {
    fetch_instruction(m);
    execute_instruction(m, io);
}
