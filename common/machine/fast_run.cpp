#include "machine/fast_run.hpp"

#include <array>

#include "machine/step.hpp"

namespace {

// The registers as the fast loop keeps them: PC and SP in full-width
// integers, which spares a zero extension at nearly every use. The handlers
// keep both within 16 bits, as in Machine.
struct FastMachine {
    std::uint32_t PC;
    std::uint32_t SP;
    std::uint8_t IR;
    std::uint8_t Z, S, O, C;
    std::uint32_t instruction_count;
    std::uint32_t clock_count;
};

FastMachine widen(const Machine& m) {
    return {m.PC, m.SP, m.IR, m.Z, m.S, m.O, m.C, m.instruction_count, m.clock_count};
}

Machine narrow(const FastMachine& f) {
    return {static_cast<std::uint16_t>(f.PC),
            static_cast<std::uint16_t>(f.SP),
            f.IR,
            f.Z,
            f.S,
            f.O,
            f.C,
            f.instruction_count,
            f.clock_count};
}

// The most bytes an instruction pops, or -1 for one that leaves the stack
// alone. This decides only which instructions run here and how fast, never
// what they do: see stack_within_reach.
// clang-format off
constexpr int most_popped(std::uint8_t opcode) {
    switch (opcode) {
        case OP_MULW: case OP_DIVW: case OP_SUBW: case OP_ADDW:
        case OP_ANDW: case OP_ORW: case OP_XORW: case OP_CMPW:
            return 4;
        case OP_STDW: case OP_STAW: case OP_RET:
        case OP_MUL: case OP_DIV: case OP_SUB: case OP_ADD: case OP_INCW: case OP_DECW:
        case OP_SHLW: case OP_SHRW: case OP_ROLW: case OP_RORW:
        case OP_AND: case OP_OR: case OP_NOTW: case OP_XOR: case OP_CMP:
            return 2;
        case OP_STA: case OP_STD: case OP_INC: case OP_DEC:
        case OP_SHL: case OP_SHR: case OP_ROL: case OP_ROR: case OP_NOT:
            return 1;
        case OP_JMP: case OP_JMR: case OP_JZ: case OP_JNZ: case OP_JO: case OP_JNO:
        case OP_JC: case OP_JNC: case OP_JS: case OP_JNS: case OP_NOP:
            return -1;
        default:  // the loads, ldi, ldiw and call push and do not pop
            return 0;
    }
}
// clang-format on

// Whether `pops` bytes can be popped and then two pushed (no instruction
// pushes more) without reaching either end of the stack. Only then does an
// instruction run here: from this test the compiler knows SP's range and
// drops the stack tests inside the handler. An instruction near the ends,
// or on a stack not used since reset (SP 0), is left to step(); so is any
// instruction whose count here is too small, which only costs time.
constexpr bool stack_within_reach(std::uint32_t sp, int pops) {
    if (pops < 0) return true;
    return sp - (STACK_BOTTOM + 2u) <=
           STACK_TOP - static_cast<unsigned>(pops) - (STACK_BOTTOM + 2u);
}

using Dispatch = std::array<const void*, 256>;

// Opcode -> handler label; every opcode without one goes to `other`.
Dispatch make_dispatch(const void* const* handlers, const std::uint8_t* opcodes, std::size_t count,
                       const void* other) {
    Dispatch table;
    table.fill(other);
    for (std::size_t i = 0; i < count; ++i) table[opcodes[i]] = handlers[i];
    return table;
}

}  // namespace

// Labels as values are a GNU extension (GCC and Clang). Every handler ends
// with its own copy of the dispatch, so that the jump to the next handler
// has its own branch history for each opcode.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"

void run_fast(Machine& machine_out, std::uint32_t until) {
#define FAST_LABEL_ADDRESS(opcode, handler) &&run_##handler,
#define FAST_OPCODE(opcode, handler) opcode,
    static const void* const handlers[] = {MACHINE_INSTRUCTIONS(FAST_LABEL_ADDRESS)};
    static constexpr std::uint8_t opcodes[] = {MACHINE_INSTRUCTIONS(FAST_OPCODE)};
    static const Dispatch dispatch = make_dispatch(handlers, opcodes, std::size(opcodes), &&leave);
#undef FAST_LABEL_ADDRESS
#undef FAST_OPCODE

    // The registers live in a local during the run, and the instructions
    // still to run in `left`, so that each instruction costs one decrement
    // and test; every way out writes both back.
    FastMachine m = widen(machine_out);
    std::uint32_t left = until - m.instruction_count;
    try {
        if (left == 0) goto leave;
        goto* dispatch[memory[m.PC]];

        // Each handler: leave the instruction to step() unless the stack has
        // room for it; set IR, run it and charge its clocks; stop if it moved
        // PC out of the program area (counted, as complete_instruction does);
        // go on to the next one unless the caller's count is reached.
        // clang-format off
#define FAST_HANDLER(opcode, handler)                                   \
    run_##handler:                                                      \
        if (!stack_within_reach(m.SP, most_popped(opcode))) goto leave; \
        m.IR = opcode;                                                  \
        handler(m);                                                     \
        charge_clocks(m, opcode);                                       \
        if (m.PC >= MAX_MEMORY) [[unlikely]] goto pc_overload;          \
        if (--left == 0) goto leave;                                    \
        goto* dispatch[memory[m.PC]];
        MACHINE_INSTRUCTIONS(FAST_HANDLER)
#undef FAST_HANDLER
        // clang-format on

    leave:
        m.instruction_count = until - left;
        machine_out = narrow(m);
        return;
    } catch (const MachineStop&) {
        m.instruction_count = until - left;
        machine_out = narrow(m);
        throw;
    }
pc_overload:
    // The instruction completed, so it counts, as in complete_instruction.
    m.instruction_count = until - left + 1;
    machine_out = narrow(m);
    check_pc(machine_out);
}

#pragma GCC diagnostic pop
