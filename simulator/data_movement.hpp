// Loads, stores, ports, subroutine call and return, and jumps. Each handler
// is named after its mnemonic with the prefix op_.
#pragma once

#include "console.hpp"
#include "machine.hpp"

// Operands follow the opcode; PC <= 0x2FFF keeps them inside memory.
inline unsigned operand_byte(const Machine& m) { return memory[m.PC + 1]; }
inline unsigned operand_word(const Machine& m) {
    return memory[m.PC + 1] | (memory[m.PC + 2] << 8);
}

[[noreturn]] void address_overload_stop(std::uint16_t pc, std::uint8_t ir, const char* mnemonic);
[[noreturn]] void lda_overload_stop(std::uint16_t pc, std::uint8_t ir);
[[noreturn]] void sta_overload_stop();

// Stops the run before any access that would reach last_address >= MEMORY_SIZE.
inline void check_address(const Machine& m, unsigned last_address, const char* mnemonic) {
    if (last_address >= static_cast<unsigned>(MEMORY_SIZE))
        address_overload_stop(m.PC, m.IR, mnemonic);
}

// The pointer word at w, after checking that both of its bytes exist.
inline unsigned read_pointer(const Machine& m, unsigned w, const char* mnemonic) {
    check_address(m, w + 1, mnemonic);
    return memory[w] | (memory[w + 1] << 8);
}

// The word at a (low byte first in memory) goes on the stack high byte first.
inline void push_memory_word(Machine& m, unsigned a, const char* mnemonic) {
    check_address(m, a + 1, mnemonic);
    push_byte(m, memory[a + 1]);
    push_byte(m, memory[a]);
}

// The word on top of the stack goes to memory at a, low byte first.
inline void pop_memory_word(Machine& m, unsigned a, const char* mnemonic) {
    check_address(m, a + 1, mnemonic);
    memory[a] = static_cast<std::uint8_t>(pop_byte(m));
    memory[a + 1] = static_cast<std::uint8_t>(pop_byte(m));
}

inline void op_ldi(Machine& m) {
    push_byte(m, operand_byte(m));
    advance_pc(m, OP_LDI);
}

inline void op_ldiw(Machine& m) {
    push_byte(m, memory[m.PC + 2]);
    push_byte(m, memory[m.PC + 1]);
    advance_pc(m, OP_LDIW);
}

inline void op_ldd(Machine& m) {
    unsigned a = operand_word(m);
    check_address(m, a, "LDD");
    push_byte(m, memory[a]);
    advance_pc(m, OP_LDD);
}

inline void op_lddw(Machine& m) {
    push_memory_word(m, operand_word(m), "LDDW");
    advance_pc(m, OP_LDDW);
}

inline void op_lda(Machine& m) {
    unsigned a = read_pointer(m, operand_word(m), "LDA");
    if (a >= static_cast<unsigned>(MAX_MEMORY)) lda_overload_stop(m.PC, m.IR);
    push_byte(m, memory[a]);
    advance_pc(m, OP_LDA);
}

inline void op_sta(Machine& m) {
    unsigned a = read_pointer(m, operand_word(m), "STA");
    if (a >= static_cast<unsigned>(MAX_MEMORY)) sta_overload_stop();
    memory[a] = static_cast<std::uint8_t>(pop_byte(m));
    advance_pc(m, OP_STA);
}

inline void op_std(Machine& m) {
    unsigned a = operand_word(m);
    check_address(m, a, "STD");
    memory[a] = static_cast<std::uint8_t>(pop_byte(m));
    advance_pc(m, OP_STD);
}

inline void op_stdw(Machine& m) {
    pop_memory_word(m, operand_word(m), "STDW");
    advance_pc(m, OP_STDW);
}

// in 1 waits for a key press (or the end of input) instead of reading a port.
inline void op_in(Machine& m) {
    unsigned n = operand_byte(m);
    if (n == 1) {
        console_read_key();
    } else {
        push_byte(m, ports[n]);
    }
    advance_pc(m, OP_IN);
}

void show_port0(unsigned value);

inline void op_out(Machine& m) {
    unsigned n = operand_byte(m);
    unsigned v = pop_byte(m);
    ports[n] = static_cast<std::uint8_t>(v);
    if (n == 0) show_port0(v);
    advance_pc(m, OP_OUT);
}

inline void op_ldaw(Machine& m) {
    push_memory_word(m, read_pointer(m, operand_word(m), "LDAW"), "LDAW");
    advance_pc(m, OP_LDAW);
}

inline void op_staw(Machine& m) {
    pop_memory_word(m, read_pointer(m, operand_word(m), "STAW"), "STAW");
    advance_pc(m, OP_STAW);
}

// The target is read after the pushes: they may overwrite the operand bytes
// of a call at the very end of the program area.
inline void op_call(Machine& m) {
    unsigned r = static_cast<std::uint16_t>(m.PC + OpcodeTable[OP_CALL].length);
    push_word(m, r);
    m.PC = static_cast<std::uint16_t>(operand_word(m));
}

inline void op_ret(Machine& m) { m.PC = static_cast<std::uint16_t>(pop_word(m)); }

inline void op_jmp(Machine& m) { m.PC = static_cast<std::uint16_t>(operand_word(m)); }

// The offset is unsigned and counts from the jmr opcode itself.
inline void op_jmr(Machine& m) { m.PC = static_cast<std::uint16_t>(m.PC + operand_byte(m)); }

inline void jump_if(Machine& m, bool taken, std::uint8_t opcode) {
    if (taken) {
        op_jmp(m);
    } else {
        advance_pc(m, opcode);
    }
}

inline void op_jz(Machine& m) { jump_if(m, m.Z == 1, OP_JZ); }
inline void op_jnz(Machine& m) { jump_if(m, m.Z != 1, OP_JNZ); }
inline void op_jo(Machine& m) { jump_if(m, m.O == 1, OP_JO); }
inline void op_jno(Machine& m) { jump_if(m, m.O != 1, OP_JNO); }
inline void op_jc(Machine& m) { jump_if(m, m.C == 1, OP_JC); }
inline void op_jnc(Machine& m) { jump_if(m, m.C != 1, OP_JNC); }
inline void op_js(Machine& m) { jump_if(m, m.S == 1, OP_JS); }
inline void op_jns(Machine& m) { jump_if(m, m.S != 1, OP_JNS); }
