// Machine control: nop and hlt.
#pragma once

#include "machine/machine.hpp"

template <class M>
inline void op_nop(M& m) {
    advance_pc(m, OP_NOP);
}

// PC stays on the hlt; what a halt shows and whether it waits for a key is
// the program's (its Io's) choice.
template <class M, class Io>
inline void op_hlt(M&, Io& io) {
    io.halt();
}
