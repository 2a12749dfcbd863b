// Machine control: nop and hlt.
#pragma once

#include "machine/machine.hpp"

inline void op_nop(Machine& m) { advance_pc(m, OP_NOP); }

// PC stays on the hlt; what a halt shows and whether it waits for a key is
// the program's (its Io's) choice.
template <class Io>
inline void op_hlt(Machine&, Io& io) {
    io.halt();
}
