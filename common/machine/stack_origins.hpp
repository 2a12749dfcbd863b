// Where each byte on the stack came from: for every stack address, the
// address of the instruction that last pushed a byte there. Only a monitored
// run keeps it (the FindingMonitor notes every push it sees); the plain run
// loops never do. With it a run that ends with bytes on the stack can name
// the instruction that left most of them: "of the 17 bytes on the stack, 16
// were pushed by ldd at 001D".
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "object_code.hpp"

struct StackOrigins {
    static constexpr unsigned SIZE = STACK_TOP - STACK_BOTTOM + 1u;
    // A byte no instruction the monitor saw pushed (one a test put there);
    // above every address an instruction can have.
    static constexpr std::uint16_t NONE = 0xFFFF;
    static_assert(NONE >= MAX_MEMORY);
    // Index: stack address - STACK_BOTTOM.
    std::array<std::uint16_t, SIZE> pushed_by;

    StackOrigins() { pushed_by.fill(NONE); }

    // An instruction at `pc` that pops `pops` bytes and then pushes `pushes`,
    // with SP before it in range (the fast loop's stack test): its pushed
    // bytes are the top `pushes` after it.
    // (Indexed from SP as a pointer, so that a loop's 64-bit SP needs no
    // arithmetic of its own: each byte is one store.)
    [[gnu::always_inline]] void note_in_range(unsigned pc, std::uint64_t sp, unsigned pops,
                                              unsigned pushes) {
        std::uint16_t* at_sp = pushed_by.data() + (sp - STACK_BOTTOM);
        for (unsigned k = 0; k < pushes; ++k)
            at_sp[static_cast<int>(pops) - static_cast<int>(k)] = static_cast<std::uint16_t>(pc);
    }
    // The same for an instruction that pushes a word, with `pc_pair` its
    // address in both halves: one store.
    [[gnu::always_inline]] void note_pair_in_range(std::uint32_t pc_pair, std::uint64_t sp,
                                                   unsigned pops) {
        std::memcpy(pushed_by.data() + (sp - STACK_BOTTOM) + pops - 1, &pc_pair, sizeof pc_pair);
    }
    // The same for any SP (0 after reset is the top); bytes that would fall
    // outside the stack (the instruction stops there) are not noted.
    void note(unsigned pc, unsigned sp, unsigned pops, unsigned pushes) {
        unsigned top = sp == 0 ? STACK_TOP : sp;
        for (unsigned k = 0; k < pushes; ++k) {
            unsigned at = top + pops - k;
            if (at >= STACK_BOTTOM && at <= STACK_TOP)
                pushed_by[at - STACK_BOTTOM] = static_cast<std::uint16_t>(pc);
        }
    }
};

// The largest group of the bytes on the stack by the instruction that pushed
// them (of two groups as large, the one that reaches its size first,
// counting from the top).
struct StackLeak {
    unsigned bytes;           // on the stack
    unsigned group;           // of them pushed by one instruction
    std::uint16_t pushed_by;  // its address
};

// Nothing when the stack is empty (SP 0 or STACK_TOP), or when no byte on
// it was pushed by an instruction the monitor saw.
inline std::optional<StackLeak> stack_leak(const StackOrigins& origins, unsigned sp) {
    if (sp == 0 || sp >= STACK_TOP || sp < STACK_BOTTOM) return std::nullopt;
    std::map<std::uint16_t, unsigned> groups;
    StackLeak leak{STACK_TOP - sp, 0, 0};
    // From the top down, so that of two groups as large the one first reached wins.
    for (unsigned at = sp + 1; at <= STACK_TOP; ++at) {
        std::uint16_t pc = origins.pushed_by[at - STACK_BOTTOM];
        if (pc == StackOrigins::NONE) continue;
        unsigned count = ++groups[pc];
        if (count > leak.group) leak = {leak.bytes, count, pc};
    }
    if (leak.group == 0) return std::nullopt;
    return leak;
}

// "of the 17 bytes on the stack, 16 were pushed by ", to which the caller
// adds the instruction ("ldd at 001D", "line 14: ldd i").
inline std::string stack_leak_lead(const StackLeak& leak) {
    std::string bytes = std::to_string(leak.bytes) + (leak.bytes == 1 ? " byte" : " bytes");
    return "of the " + bytes + " on the stack, " + std::to_string(leak.group) +
           (leak.group == 1 ? " was" : " were") + " pushed by ";
}
