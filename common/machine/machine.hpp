// The simulated stack machine as one value, and the operations every
// instruction performs on it: fetch, the byte stack and the operand helpers.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "machine/stops.hpp"
#include "object_code.hpp"
#include "opcode_table.hpp"

// The processor's registers, flags and counters.
struct Registers {
    std::uint16_t PC;
    std::uint16_t SP;  // next free byte; 0 means nothing pushed since reset
    std::uint8_t IR;
    std::uint8_t Z, S, O, C;  // each always 0 or 1
    // 64-bit: a run of more than 2^32 clocks takes seconds. The simulator
    // prints the low 32 bits, as its statistics lines always have.
    std::uint64_t instruction_count;
    std::uint64_t clock_count;

    bool operator==(const Registers&) const = default;
};

// One whole machine: registers, flags, counts, memory and ports. A plain
// value with no pointers: copying it is a snapshot, and two of them never
// share anything. A program owns as many as it needs (the simulator one,
// a local of simulator_main that its run loop takes by reference).
// Memory and ports are fixed arrays inside it, so the compiler can tell
// stores into them from the registers.
struct Machine : Registers {
    std::uint8_t memory[MEMORY_SIZE];
    std::uint8_t ports[256];

    Registers& registers() { return *this; }
    const Registers& registers() const { return *this; }
    bool operator==(const Machine&) const = default;
};

// A run loop's working copy of a machine: the registers in a local, which the
// compiler can keep in CPU registers since its address is never taken, and
// the memory and ports of the machine it runs. write_back puts the registers
// back into the machine at every way out of the loop.
struct RunningMachine : Registers {
    std::uint8_t* memory;
    std::uint8_t* ports;

    explicit RunningMachine(Machine& m) : Registers(m), memory(m.memory), ports(m.ports) {}
    void write_back(Machine& m) const { m.registers() = *this; }
};

// The procedures below and the instruction handlers take the machine as a
// template parameter: Machine, RunningMachine, or the fast run loop's copy
// that holds PC and SP in full-width integers (machine/fast_run.cpp). Each
// has the registers and `memory` and `ports`. Either way PC and SP hold
// 16-bit values: every change to them wraps at 16 bits or stays in range.

// Registers, IR, flags, counts, memory and ports all to 0.
void machine_reset(Machine& m);

// The row of the instruction the next step begins; an undefined one beyond
// the program area (a state changed by hand after a PC overload).
inline const OpcodeEntry& next_instruction(const Machine& m) {
    return OpcodeTable[m.PC < MAX_MEMORY ? m.memory[m.PC] : 0xFF];
}

template <class M>
inline void fetch_instruction(M& m) {
    m.IR = m.memory[m.PC];
}

// The word at address and address + 1, low byte first: one load on a
// little-endian host. Only for bytes no instruction has just written one at a
// time (the operands in the program), since a wide load of bytes still on
// their way to memory waits for them.
inline unsigned load_word(const std::uint8_t* memory, unsigned address) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint16_t word;
        std::memcpy(&word, memory + address, sizeof word);
        return word;
    } else {
        return memory[address] | (memory[address + 1] << 8);
    }
}

// One test on the common path: SP 0 and SP 0x3000 both take the edge path.
// Each path ends on its own, so that where SP is known to be in range the
// compiler drops the edge path and the next push's test with it.
template <class M>
inline void push_byte(M& m, unsigned value) {
    if (m.SP <= STACK_BOTTOM) [[unlikely]] {
        // The first push since reset goes to the top; at 0x3000 the 4096th
        // byte is written and the run stops.
        m.memory[m.SP == 0 ? STACK_TOP : m.SP] = static_cast<std::uint8_t>(value);
        if (m.SP != 0) raise_stop(StopKind::STACK_OVERFLOW, m.PC, m.IR);
        m.SP = STACK_TOP - 1;
        return;
    }
    m.memory[m.SP] = static_cast<std::uint8_t>(value);
    --m.SP;
}

// The stack is empty when SP is 0 (after reset) or STACK_TOP; one unsigned
// comparison catches both.
template <class M>
inline unsigned pop_byte(M& m) {
    if (static_cast<unsigned>(m.SP) - 1u >= STACK_TOP - 1u)
        raise_stop(StopKind::STACK_UNDERFLOW, m.PC, m.IR);
    ++m.SP;
    return m.memory[m.SP];
}

// Words travel on the stack high byte first, so the low byte is on top.
// They go byte by byte: the next instruction may take them as two bytes.
template <class M>
inline void push_word(M& m, unsigned value) {
    push_byte(m, (value >> 8) & 0xFF);
    push_byte(m, value & 0xFF);
}

template <class M>
inline unsigned pop_word(M& m) {
    unsigned low = pop_byte(m);
    unsigned high = pop_byte(m);
    return low | (high << 8);
}

// Operands of the byte and the word form of an instruction family. With a
// constant width every use folds to the plain byte or word operation.
constexpr unsigned BYTE_BITS = 8;
constexpr unsigned WORD_BITS = 16;

template <class M>
inline unsigned pop_operand(M& m, unsigned bits) {
    return bits == BYTE_BITS ? pop_byte(m) : pop_word(m);
}

// Pushes the low `bits` bits of value.
template <class M>
inline void push_result(M& m, unsigned value, unsigned bits) {
    if (bits == BYTE_BITS) {
        push_byte(m, value & 0xFF);
    } else {
        push_word(m, value & 0xFFFF);
    }
}

// PC moves past the instruction whose opcode is given (a constant in every
// handler, so the table lookup folds away).
template <class M>
inline void advance_pc(M& m, std::uint8_t opcode) {
    m.PC = static_cast<std::uint16_t>(m.PC + OpcodeTable[opcode].length);
}

// Z and S describe a signed 32-bit result.
template <class M>
inline void set_zero_sign(M& m, std::int32_t result) {
    m.Z = result == 0;
    m.S = result < 0;
}

// Operands follow the opcode; PC <= 0x2FFF keeps them inside memory.
template <class M>
inline unsigned operand_byte(const M& m) {
    return m.memory[m.PC + 1];
}
template <class M>
inline unsigned operand_word(const M& m) {
    return load_word(m.memory, m.PC + 1u);
}
