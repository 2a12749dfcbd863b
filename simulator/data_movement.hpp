// Loads, stores, ports, subroutine call and return, and jumps. Each handler
// is named after its mnemonic with the prefix op_.
#pragma once

#include "console.hpp"
#include "machine.hpp"

// Operands follow the opcode; PC <= 0x2FFF keeps them inside memory.
inline unsigned operand_byte() { return memory[PC + 1]; }
inline unsigned operand_word() { return memory[PC + 1] | (memory[PC + 2] << 8); }

[[noreturn]] void address_overload_stop(const char* mnemonic);
[[noreturn]] void lda_overload_stop();
[[noreturn]] void sta_overload_stop();

// Stops the run before any access that would reach last_address >= MEMORY_SIZE.
inline void check_address(unsigned last_address, const char* mnemonic) {
    if (last_address >= static_cast<unsigned>(MEMORY_SIZE)) address_overload_stop(mnemonic);
}

// The pointer word at w, after checking that both of its bytes exist.
inline unsigned read_pointer(unsigned w, const char* mnemonic) {
    check_address(w + 1, mnemonic);
    return memory[w] | (memory[w + 1] << 8);
}

inline void op_ldi() {
    push_byte(operand_byte());
    advance_pc(OP_LDI);
}

inline void op_ldiw() {
    push_byte(memory[PC + 2]);
    push_byte(memory[PC + 1]);
    advance_pc(OP_LDIW);
}

inline void op_ldd() {
    unsigned a = operand_word();
    check_address(a, "LDD");
    push_byte(memory[a]);
    advance_pc(OP_LDD);
}

inline void op_lddw() {
    unsigned a = operand_word();
    check_address(a + 1, "LDDW");
    push_byte(memory[a + 1]);
    push_byte(memory[a]);
    advance_pc(OP_LDDW);
}

inline void op_lda() {
    unsigned a = read_pointer(operand_word(), "LDA");
    if (a >= static_cast<unsigned>(MAX_MEMORY)) lda_overload_stop();
    push_byte(memory[a]);
    advance_pc(OP_LDA);
}

inline void op_sta() {
    unsigned a = read_pointer(operand_word(), "STA");
    if (a >= static_cast<unsigned>(MAX_MEMORY)) sta_overload_stop();
    memory[a] = static_cast<std::uint8_t>(pop_byte());
    advance_pc(OP_STA);
}

inline void op_std() {
    unsigned a = operand_word();
    check_address(a, "STD");
    memory[a] = static_cast<std::uint8_t>(pop_byte());
    advance_pc(OP_STD);
}

inline void op_stdw() {
    unsigned a = operand_word();
    check_address(a + 1, "STDW");
    memory[a] = static_cast<std::uint8_t>(pop_byte());
    memory[a + 1] = static_cast<std::uint8_t>(pop_byte());
    advance_pc(OP_STDW);
}

// in 1 waits for a key press (or the end of input) instead of reading a port.
inline void op_in() {
    unsigned n = operand_byte();
    if (n == 1) {
        console_read_key();
    } else {
        push_byte(ports[n]);
    }
    advance_pc(OP_IN);
}

void show_port0(unsigned value);

inline void op_out() {
    unsigned n = operand_byte();
    unsigned v = pop_byte();
    ports[n] = static_cast<std::uint8_t>(v);
    if (n == 0) show_port0(v);
    advance_pc(OP_OUT);
}

inline void op_ldaw() {
    unsigned a = read_pointer(operand_word(), "LDAW");
    check_address(a + 1, "LDAW");
    push_byte(memory[a + 1]);
    push_byte(memory[a]);
    advance_pc(OP_LDAW);
}

inline void op_staw() {
    unsigned a = read_pointer(operand_word(), "STAW");
    check_address(a + 1, "STAW");
    memory[a] = static_cast<std::uint8_t>(pop_byte());
    memory[a + 1] = static_cast<std::uint8_t>(pop_byte());
    advance_pc(OP_STAW);
}

// The target is read after the pushes: they may overwrite the operand bytes
// of a call at the very end of the program area.
inline void op_call() {
    unsigned r = static_cast<std::uint16_t>(PC + OpcodeTable[OP_CALL].length);
    push_word(r);
    PC = static_cast<std::uint16_t>(operand_word());
}

inline void op_ret() { PC = static_cast<std::uint16_t>(pop_word()); }

inline void op_jmp() { PC = static_cast<std::uint16_t>(operand_word()); }

// The offset is unsigned and counts from the jmr opcode itself.
inline void op_jmr() { PC = static_cast<std::uint16_t>(PC + operand_byte()); }

inline void jump_if(bool taken, std::uint8_t opcode) {
    if (taken) {
        op_jmp();
    } else {
        advance_pc(opcode);
    }
}

inline void op_jz() { jump_if(Z == 1, OP_JZ); }
inline void op_jnz() { jump_if(Z != 1, OP_JNZ); }
inline void op_jo() { jump_if(O == 1, OP_JO); }
inline void op_jno() { jump_if(O != 1, OP_JNO); }
inline void op_jc() { jump_if(C == 1, OP_JC); }
inline void op_jnc() { jump_if(C != 1, OP_JNC); }
inline void op_js() { jump_if(S == 1, OP_JS); }
inline void op_jns() { jump_if(S != 1, OP_JNS); }
