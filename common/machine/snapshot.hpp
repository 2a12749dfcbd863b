// Saving and restoring the state of a run, so that a debugger can go back:
// a whole snapshot (registers, flags, counts, memory and ports), or the few
// bytes one instruction may overwrite, captured before it runs.
#pragma once

#include <cstdint>
#include <cstring>

#include "machine/machine.hpp"

struct Snapshot {
    Machine regs;
    std::uint8_t memory[MEMORY_SIZE];
    std::uint8_t ports[256];
};

inline void save_snapshot(const Machine& m, Snapshot& s) {
    s.regs = m;
    std::memcpy(s.memory, memory, sizeof s.memory);
    std::memcpy(s.ports, ports, sizeof s.ports);
}

inline void restore_snapshot(Machine& m, const Snapshot& s) {
    m = s.regs;
    std::memcpy(memory, s.memory, sizeof s.memory);
    std::memcpy(ports, s.ports, sizeof s.ports);
}

// Every byte one instruction can overwrite, with its value before: the
// stack bytes around SP (at most four popped, then at most two pushed), the
// target of a store, and the port of an out. Capturing a few bytes more than
// are written is harmless; restoring puts all of them back.
struct UndoRecord {
    static constexpr int CAPACITY = 8;
    Machine regs;
    std::uint16_t address[CAPACITY];
    std::uint8_t value[CAPACITY];
    std::uint8_t count;
    std::uint8_t port;  // meaningful when has_port
    std::uint8_t port_value;
    bool has_port;
};

// Captures, before the instruction at m.PC runs, what it may overwrite.
UndoRecord capture_undo(const Machine& m);
// Puts the machine back as it was when the record was captured.
void apply_undo(Machine& m, const UndoRecord& record);
