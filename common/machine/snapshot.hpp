// Saving and restoring the state of a run, so that a debugger can go back.
// A whole snapshot is a copy of the Machine value; an undo record holds the
// few bytes one instruction may overwrite, captured before it runs.
#pragma once

#include <cstdint>

#include "machine/machine.hpp"

// Every byte one instruction can overwrite, with its value before: the
// stack bytes around SP (at most four popped, then at most two pushed), what
// its row says it stores (a byte or a word, at the operand or through a
// pointer, or a port). Capturing a few bytes more than are written is
// harmless; restoring puts all of them back.
struct UndoRecord {
    static constexpr int CAPACITY = 8;
    Registers regs;
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
