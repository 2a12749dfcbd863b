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

// The handler column of the instruction rows (opcode_table.hpp): every
// defined opcode with the call that runs it on the machine `m`; in, out and
// hlt also take the program's Io `io`. The dispatch below and the fast run
// loop (machine/fast_run.cpp) are both generated from this list, so they
// cannot disagree about what an opcode does; everything else about an
// opcode (length, clocks, stack use, flow) is its row.
// clang-format off
#define MACHINE_HANDLERS(X) \
    X(OP_LDI, op_ldi(m))     \
    X(OP_LDIW, op_ldiw(m))   \
    X(OP_LDD, op_ldd(m))     \
    X(OP_LDDW, op_lddw(m))   \
    X(OP_LDA, op_lda(m))     \
    X(OP_STA, op_sta(m))     \
    X(OP_STD, op_std(m))     \
    X(OP_STDW, op_stdw(m))   \
    X(OP_IN, op_in(m, io))   \
    X(OP_OUT, op_out(m, io)) \
    X(OP_LDAW, op_ldaw(m))   \
    X(OP_STAW, op_staw(m))   \
    X(OP_MUL, op_mul(m))     \
    X(OP_MULW, op_mulw(m))   \
    X(OP_DIV, op_div(m))     \
    X(OP_DIVW, op_divw(m))   \
    X(OP_SUB, op_sub(m))     \
    X(OP_SUBW, op_subw(m))   \
    X(OP_ADD, op_add(m))     \
    X(OP_ADDW, op_addw(m))   \
    X(OP_INC, op_inc(m))     \
    X(OP_INCW, op_incw(m))   \
    X(OP_DEC, op_dec(m))     \
    X(OP_DECW, op_decw(m))   \
    X(OP_CALL, op_call(m))   \
    X(OP_RET, op_ret(m))     \
    X(OP_JMP, op_jmp(m))     \
    X(OP_JMR, op_jmr(m))     \
    X(OP_JZ, op_jz(m))       \
    X(OP_JNZ, op_jnz(m))     \
    X(OP_JO, op_jo(m))       \
    X(OP_JNO, op_jno(m))     \
    X(OP_JC, op_jc(m))       \
    X(OP_JNC, op_jnc(m))     \
    X(OP_JS, op_js(m))       \
    X(OP_JNS, op_jns(m))     \
    X(OP_NOP, op_nop(m))     \
    X(OP_HLT, op_hlt(m, io)) \
    X(OP_SHL, op_shl(m))     \
    X(OP_SHLW, op_shlw(m))   \
    X(OP_SHR, op_shr(m))     \
    X(OP_SHRW, op_shrw(m))   \
    X(OP_ROL, op_rol(m))     \
    X(OP_ROLW, op_rolw(m))   \
    X(OP_ROR, op_ror(m))     \
    X(OP_RORW, op_rorw(m))   \
    X(OP_AND, op_and(m))     \
    X(OP_ANDW, op_andw(m))   \
    X(OP_OR, op_or(m))       \
    X(OP_ORW, op_orw(m))     \
    X(OP_NOT, op_not(m))     \
    X(OP_NOTW, op_notw(m))   \
    X(OP_XOR, op_xor(m))     \
    X(OP_XORW, op_xorw(m))   \
    X(OP_CMP, op_cmp(m))     \
    X(OP_CMPW, op_cmpw(m))
// clang-format on

namespace step_detail {

// Whether MACHINE_HANDLERS names every defined opcode exactly once and no
// undefined one.
constexpr bool handlers_match_rows() {
    int handlers_of[256]{};
#define MACHINE_COUNT_HANDLER(opcode, call) ++handlers_of[opcode];
    MACHINE_HANDLERS(MACHINE_COUNT_HANDLER)
#undef MACHINE_COUNT_HANDLER
    for (int op = 0; op < 256; ++op) {
        if (handlers_of[op] != (OpcodeTable[op].defined() ? 1 : 0)) return false;
    }
    return true;
}
static_assert(handlers_match_rows(),
              "MACHINE_HANDLERS must give every defined row one handler and no other opcode any");

}  // namespace step_detail

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
#define MACHINE_CASE(opcode, call) \
    case opcode:                   \
        call;                      \
        charge_clocks(m, opcode);  \
        break;
    switch (m.IR) {
        MACHINE_HANDLERS(MACHINE_CASE)
        // An undefined opcode stops the run; the position line shows the
        // opcode's own address.
        default: raise_stop(StopKind::UNDEFINED_OPCODE, m.PC, m.IR);
    }
#undef MACHINE_CASE
    complete_instruction(m);
}

// One whole instruction from PC (the key test, if any, comes before it).
template <class M, class Io>
inline void step(M& m, Io& io) {
    // Only a state changed by hand after a PC overload begins beyond the
    // program area: it stops there again, counted as a PC overload is,
    // instead of reading past memory.
    if (m.PC >= MAX_MEMORY) [[unlikely]] {
        ++m.instruction_count;
        raise_stop(StopKind::PC_OVERLOAD, static_cast<std::uint16_t>(m.PC), m.IR);
    }
    fetch_instruction(m);
    execute_instruction(m, io);
}
