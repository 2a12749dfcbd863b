// The trace line: one line per completed instruction, in a form that other
// tools and graders read:
//   <n> <PPPP> <mnemonic>[ <operand>] | SP=<SSSS> Z=<z> S=<s> O=<o> C=<c> |[ <b1> ... <bk>]
// n is the instruction's number in the run (from 1), PPPP its address, the
// operand the byte or little-endian word after the opcode before it ran, in
// decimal; then SP, the flags and at most 8 stack bytes, top first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "machine/machine.hpp"

// What the line needs from before the instruction ran.
struct TraceStart {
    std::uint16_t pc;
    std::uint8_t opcode;
    std::uint16_t operand;
};

template <class M>
inline TraceStart trace_start(const M& m) {
    // Beyond the program area the step stops (step()) and writes no line.
    if (m.PC >= MAX_MEMORY) return TraceStart{static_cast<std::uint16_t>(m.PC), 0, 0};
    std::uint8_t op = m.memory[m.PC];
    unsigned length = OpcodeTable[op].length;
    std::uint16_t operand = 0;
    if (length == 2) operand = static_cast<std::uint16_t>(operand_byte(m));
    if (length == 3) operand = static_cast<std::uint16_t>(operand_word(m));
    return TraceStart{m.PC, op, operand};
}

constexpr int TRACE_STACK_BYTES = 8;
constexpr std::size_t TRACE_LINE_CAPACITY = 128;

// Writes the line, without a line end, into out (TRACE_LINE_CAPACITY bytes,
// NUL-terminated) and returns its length. `after` and `memory` are the
// registers and the memory once the instruction completed.
std::size_t format_trace_line(char* out, const TraceStart& start, const Registers& after,
                              const std::uint8_t* memory);
inline std::size_t format_trace_line(char* out, const TraceStart& start, const Machine& after) {
    return format_trace_line(out, start, after, after.memory);
}
