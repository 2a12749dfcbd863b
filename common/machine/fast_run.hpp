// The fast run loop: runs instructions back to back without anything
// between them, until an instruction count the caller chose or an
// instruction that needs the caller. Each instruction is the same handler
// the one step procedure calls (both are generated from
// MACHINE_HANDLERS in machine/step.hpp), so a run here leaves memory,
// ports, registers, flags and counts exactly as the same number of calls of
// step() would.
//
// A caller with work to do before some instructions (the simulator's key
// test, a debugger's breakpoints) runs the fast loop up to that point, does
// its work and runs that instruction with step(), then goes on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "machine/machine.hpp"
#include "machine/stops.hpp"
#include "opcode_table.hpp"

// Runs from m.PC until m.instruction_count equals `until` or the next
// instruction is one to leave to step(): one that reaches the program's Io
// (in, out, hlt), an undefined opcode, or one that would come near either end
// of the stack. Returns at once when m.instruction_count already equals
// `until`. A stop is thrown as from step(), with m as step() would have left
// it.
void run_fast(Machine& m, std::uint64_t until);

// What else ends a checked fast run, tested after every instruction it runs:
// PC at an address whose flag is set in `breaks` (MAX_MEMORY flags, or null
// for none), or a byte at one of the `watch_count` addresses in `watched`
// that differs from its value in `values`.
struct FastStops {
    const std::uint8_t* breaks = nullptr;
    const std::uint16_t* watched = nullptr;
    const std::uint8_t* values = nullptr;
    std::size_t watch_count = 0;
};

// Whether the machine as it stands would end a checked run.
[[gnu::always_inline]] inline bool fast_stop_due(const std::uint8_t* memory, unsigned pc,
                                                 const FastStops& stops) {
    if (stops.breaks != nullptr && pc < MAX_MEMORY && stops.breaks[pc] != 0) return true;
    for (std::size_t i = 0; i < stops.watch_count; ++i) {
        if (memory[stops.watched[i]] != stops.values[i]) return true;
    }
    return false;
}

// Where the instructions of a stretch of a run began and what they may have
// written, noted before each runs (the monitored loop, and note_instruction
// for one left to step()): the history's summary of each stretch, so that
// a search skips the stretches that cannot hold what it looks for. A byte
// marked may have been written; a byte not marked was not.
struct RunMarks {
    std::array<std::uint8_t, MEMORY_SIZE> began{};    // 1: an instruction began here
    std::array<std::uint8_t, MEMORY_SIZE> written{};  // 1: it may have been written

    void clear() {
        began.fill(0);
        written.fill(0);
    }
};

// Notes in `marks` a store of `width` bytes at `address` (wrapped).
inline void note_store(RunMarks& marks, unsigned address, unsigned width) {
    constexpr unsigned WRAP = MEMORY_SIZE - 1;
    marks.written[address & WRAP] = 1;
    if (width == 2) marks.written[(address + 1) & WRAP] = 1;
}

// Notes in `marks` the instruction `row` that m is about to run at m.PC.
// Addresses beyond memory wrap: an access there stops the run before it.
// IN_PROGRAM: m.PC is known to be within the program area, where the
// operand word can be read as it stands.
template <bool IN_PROGRAM = false, class M>
[[gnu::always_inline]] inline void note_instruction(RunMarks& marks, const OpcodeEntry& row,
                                                    const M& m) {
    constexpr unsigned WRAP = MEMORY_SIZE - 1;
    static_assert((MEMORY_SIZE & WRAP) == 0 && MAX_MEMORY + 2 < MEMORY_SIZE);
    unsigned pc = m.PC;
    marks.began[IN_PROGRAM ? pc : pc & WRAP] = 1;
    auto operand = [&]() -> unsigned {
        if constexpr (IN_PROGRAM) return load_word(m.memory, pc + 1);
        return m.memory[(pc + 1) & WRAP] | (m.memory[(pc + 2) & WRAP] << 8);
    };
    if (row.store_width() != 0) {
        unsigned a = operand();
        if (row.stores_through_pointer()) a = m.memory[a & WRAP] | (m.memory[(a + 1) & WRAP] << 8);
        note_store(marks, a, row.store_width());
    }
    // An instruction pops first, then pushes: at SP + pops and below.
    // SP 0 (no push since reset): the first push goes to the top.
    if (row.pushes == 0) return;
    unsigned sp = (m.SP == 0 ? STACK_TOP : m.SP) + row.pops;
    for (unsigned k = 0; k < row.pushes; ++k) marks.written[(sp - k) & WRAP] = 1;
}

// The same for an opcode known when compiling (the fast loop's handlers):
// its row is a constant, so every test of it is decided then.
template <std::uint8_t OPCODE, class M>
[[gnu::always_inline]] inline void note_opcode(RunMarks& marks, const M& m) {
    static constexpr OpcodeEntry row = OpcodeTable[OPCODE];
    note_instruction<true>(marks, row, m);
}

// run_fast that also returns after an instruction that leaves
// fast_stop_due true. The simulator's loop above has no such test.
void run_fast(Machine& m, std::uint64_t until, const FastStops& stops);

class FindingMonitor;
// The same with `monitor` choosing the instructions that run here
// (FindingMonitor::passed_opcode, FindingMonitor::passes): an instruction it
// does not pass is left to step(), and the caller shows it to the monitor (FindingMonitor::before)
// before stepping it, as every other instruction left to step(). A ret is
// looked at after it ran (FindingMonitor::returned): the loop returns right
// after a ret that made a finding. `stops.breaks` is not tested: the
// monitor's break marks (FindingMonitor::mark_breaks) must stand for it.
// Every instruction it begins is also noted in `marks` (RunMarks), before it
// runs, unless `marks` is null.
void run_fast(Machine& m, std::uint64_t until, const FastStops& stops, FindingMonitor& monitor,
              RunMarks* marks);

// What a profiled run counted at each address of the program area since
// the caller last took it: instructions and clocks, and the addresses
// counted, each once, in `touched`. The caller takes the counts and sets
// them back to zero.
struct ProfileCounts {
    std::array<std::uint64_t, MAX_MEMORY> instructions{};
    std::array<std::uint64_t, MAX_MEMORY> clocks{};
    std::array<std::uint16_t, MAX_MEMORY> touched{};
    std::size_t touched_count = 0;
};

// run_fast that counts every instruction it runs in `counts`, and also
// leaves every call and ret to step(): between two of them the same
// subroutine runs.
void run_fast(Machine& m, std::uint64_t until, ProfileCounts& counts);

// The number of instructions begun since m.instruction_count was `start`,
// when `stop` ended the run: the one that stopped is begun but uncounted,
// unless it completed and left PC outside the program area.
inline std::uint64_t instructions_begun(const Machine& m, std::uint64_t start, const Stop& stop) {
    return m.instruction_count - start + (stop.kind == StopKind::PC_OVERLOAD ? 0 : 1);
}
