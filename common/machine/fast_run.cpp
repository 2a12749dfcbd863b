#include "machine/fast_run.hpp"

#include <array>

#include "machine/fast_run_decoded.hpp"

#include "machine/findings.hpp"
#include "machine/step.hpp"

namespace {

// The registers as the fast loop keeps them: PC and SP in full-width
// integers, which spares a zero extension at nearly every use. The handlers
// keep both within 16 bits, as in Registers. Memory and ports are the
// machine's.
struct FastMachine {
    std::uint32_t PC;
    std::uint32_t SP;
    std::uint8_t IR;
    std::uint8_t Z, S, O, C;
    std::uint64_t instruction_count;
    std::uint64_t clock_count;
    std::uint8_t* memory;
    std::uint8_t* ports;
};

FastMachine widen(Machine& m) {
    return {m.PC,          m.SP,     m.IR,   m.Z, m.S, m.O, m.C, m.instruction_count,
            m.clock_count, m.memory, m.ports};
}

void narrow(const FastMachine& f, Machine& m) {
    m.registers() = {static_cast<std::uint16_t>(f.PC),
                     static_cast<std::uint16_t>(f.SP),
                     f.IR,
                     f.Z,
                     f.S,
                     f.O,
                     f.C,
                     f.instruction_count,
                     f.clock_count};
}

// Whether an instruction runs here: defined, not reaching the program's Io.
constexpr bool runs_fast(const OpcodeEntry& row) { return row.defined() && !row.reaches_io(); }

// Whether the row's most popped bytes can be popped and then two pushed (no
// instruction pushes more) without reaching either end of the stack. Only
// then does an instruction run here: from this test the compiler knows SP's
// range and drops the stack tests inside the handler. An instruction near
// the ends, or on a stack not used since reset (SP 0), is left to step(); an
// instruction that leaves the stack alone always runs here.
constexpr bool stack_within_reach(std::uint32_t sp, const OpcodeEntry& row) {
    if (!row.uses_stack()) return true;
    return sp - (STACK_BOTTOM + 2u) <= STACK_TOP - unsigned{row.pops} - (STACK_BOTTOM + 2u);
}

// The fast loop never calls the program's Io: instructions that would are
// left to step().
struct NoIo {
    void show_port0(unsigned) {}
    void wait_key() {}
    void halt() {}
};

using Dispatch = std::array<const void*, 256>;

// Opcode -> handler label; every opcode whose row does not run here goes to
// `other`.
Dispatch make_dispatch(const void* const* handlers, const std::uint8_t* opcodes, std::size_t count,
                       const void* other, bool profiled) {
    Dispatch table;
    table.fill(other);
    for (std::size_t i = 0; i < count; ++i) {
        const OpcodeEntry& row = OpcodeTable[opcodes[i]];
        if (profiled && (row.flow == Flow::CALL || row.flow == Flow::RETURN)) continue;
        if (runs_fast(row)) table[opcodes[i]] = handlers[i];
    }
    return table;
}

}  // namespace

// Labels as values are a GNU extension (GCC and Clang). Every handler ends
// with its own copy of the dispatch, so that the jump to the next handler
// has its own branch history for each opcode.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"

namespace {

// The loop; CHECKED adds the test of `stops` after every instruction,
// MONITORED the monitor's test before every instruction, which leaves to
// step() (and the monitor's careful look) every instruction it does not
// pass, and its look at every ret after it ran, which stops the loop after
// a ret it noted a finding for. The plain loop has no trace of either.
template <bool CHECKED, bool MONITORED, bool PROFILED = false, bool MARKED = MONITORED>
void fast_loop(Machine& machine, std::uint64_t until, const FastStops* stops,
               FindingMonitor* monitor, RunMarks* marks, ProfileCounts* counts = nullptr) {
#define FAST_LABEL_ADDRESS(opcode, call) &&run_##opcode,
#define FAST_OPCODE(opcode, call) opcode,
    static const void* const handlers[] = {MACHINE_HANDLERS(FAST_LABEL_ADDRESS)};
    static constexpr std::uint8_t opcodes[] = {MACHINE_HANDLERS(FAST_OPCODE)};
    static const Dispatch dispatch =
        make_dispatch(handlers, opcodes, std::size(opcodes), &&leave, PROFILED);
#undef FAST_LABEL_ADDRESS
#undef FAST_OPCODE

    // The registers live in a local during the run, and the instructions
    // still to run in `left`, so that each instruction costs one decrement
    // and test; every way out writes both back.
    FastMachine m = widen(machine);
    // A copy the compiler can keep in registers: the program's stores
    // (bytes, which may alias anything) would make it reload *stops.
    const FastStops checks = CHECKED ? *stops : FastStops{};
    // Read from memory at each use: kept in a CPU register, the pointer
    // pushes the registers, PC or the clock count to memory instead
    // (measured: a fifth slower).
    FindingMonitor* volatile monitor_at = monitor;
    ProfileCounts* volatile counts_at = counts;
    NoIo io;
    // The opcode the next handler is chosen by: memory's, or monitored the
    // monitor's passed opcode, so that an instruction the monitor has not
    // passed leaves to step().
    static_assert(!runs_fast(OpcodeTable[FindingMonitor::NOT_PASSED]));
#define FAST_NEXT_OPCODE (MONITORED ? monitor_at->passed_opcode(m.PC) : m.memory[m.PC])
    std::uint64_t left = until - m.instruction_count;
    try {
        if (left == 0) goto leave;
        goto* dispatch[FAST_NEXT_OPCODE];

        // Each handler: leave the instruction to step() unless the stack has
        // room for it (and, monitored, unless the monitor passes it); set IR,
        // run it and charge its clocks; (monitored, a ret: have the monitor
        // look where it went, and stop after it if it made a finding;) stop
        // if it moved PC out of the program area (counted, as
        // complete_instruction does); go on to the next one unless the
        // caller's count is reached. The rows that do not run here get a
        // label the dispatch never uses.
        // clang-format off
#define FAST_HANDLER(opcode, call)                                                 \
    run_##opcode:                                                                  \
        if constexpr (runs_fast(OpcodeTable[opcode])) {                            \
            if (!stack_within_reach(m.SP, OpcodeTable[opcode])) goto leave;        \
            if constexpr (MONITORED) {                                             \
                if (!monitor_at->passes<opcode>(m)) goto leave;                    \
            }                                                                      \
            [[maybe_unused]] std::uint32_t at = m.PC;                              \
            [[maybe_unused]] bool astray = false;                                  \
            if constexpr (MARKED) note_opcode<opcode>(*marks, m);    \
            m.IR = opcode;                                                         \
            call;                                                                  \
            charge_clocks(m, opcode);                                              \
            if constexpr (PROFILED) {                                              \
                ProfileCounts& p = *counts_at;                                     \
                if (p.instructions[at]++ == 0)                                     \
                    p.touched[p.touched_count++] = static_cast<std::uint16_t>(at); \
                p.clocks[at] += OpcodeTable[opcode].clocks;                        \
            }                                                                      \
            if constexpr (MONITORED && (opcode) == OP_RET) {                       \
                std::uint64_t number = until - left + 1;                           \
                astray = !monitor_at->returned(at, m.PC, m.memory, number);        \
            }                                                                      \
            if (m.PC >= MAX_MEMORY) [[unlikely]] goto pc_overload;                 \
            if constexpr (MONITORED && (opcode) == OP_RET) {                       \
                if (astray) {                                                      \
                    --left;                                                        \
                    goto leave;                                                    \
                }                                                                  \
            }                                                                      \
            if (--left == 0) goto leave;                                           \
            if constexpr (CHECKED) {                                               \
                if (fast_stop_due(m.memory, m.PC, checks)) goto leave;             \
            }                                                                      \
            goto* dispatch[FAST_NEXT_OPCODE];                                      \
        } else {                                                                   \
            goto leave;                                                            \
        }
        MACHINE_HANDLERS(FAST_HANDLER)
#undef FAST_HANDLER
#undef FAST_NEXT_OPCODE
        // clang-format on

    leave:
        m.instruction_count = until - left;
        narrow(m, machine);
        return;
    } catch (const MachineStop&) {
        m.instruction_count = until - left;
        narrow(m, machine);
        throw;
    }
pc_overload:
    // The instruction completed, so it counts, as in complete_instruction.
    m.instruction_count = until - left + 1;
    narrow(m, machine);
    check_pc(machine);
}

}  // namespace

void run_fast_literal(Machine& machine, std::uint64_t until) {
    fast_loop<false, false>(machine, until, nullptr, nullptr, nullptr);
}

void run_fast(Machine& machine, std::uint64_t until) { run_fast_decoded(machine, until); }

void run_fast_literal(Machine& machine, std::uint64_t until, FindingMonitor& monitor,
                      RunMarks* marks) {
    if (marks == nullptr) {
        fast_loop<false, true, false, false>(machine, until, nullptr, &monitor, nullptr);
    } else {
        fast_loop<false, true>(machine, until, nullptr, &monitor, marks);
    }
}

void run_fast(Machine& machine, std::uint64_t until, const FastStops& stops) {
    fast_loop<true, false>(machine, until, &stops, nullptr, nullptr);
}

void run_fast(Machine& machine, std::uint64_t until, ProfileCounts& counts) {
    fast_loop<false, false, true>(machine, until, nullptr, nullptr, nullptr, &counts);
}

void run_fast(Machine& machine, std::uint64_t until, const FastStops& stops,
              FindingMonitor& monitor, RunMarks* marks) {
    // The monitor's marks carry the breakpoints; without watched bytes
    // nothing is left to test after an instruction, and the loop keeps a
    // few more of its values in CPU registers.
    FastStops watches{nullptr, stops.watched, stops.values, stops.watch_count};
    bool checked = watches.watch_count > 0;
    if (!checked) {
        run_fast_decoded(machine, until, monitor, marks);
        return;
    }
    if (marks == nullptr) {
        checked ? fast_loop<true, true, false, false>(machine, until, &watches, &monitor, nullptr)
                : fast_loop<false, true, false, false>(machine, until, nullptr, &monitor, nullptr);
    } else {
        checked ? fast_loop<true, true>(machine, until, &watches, &monitor, marks)
                : fast_loop<false, true>(machine, until, nullptr, &monitor, marks);
    }
}

#pragma GCC diagnostic pop
