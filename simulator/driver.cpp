#include "driver.hpp"

#include <cmath>
#include <cstdlib>

#include "arithmetic.hpp"
#include "console.hpp"
#include "data_movement.hpp"
#include "logic.hpp"
#include "machine.hpp"

namespace {

constexpr int ESCAPE = 27;
constexpr int NAME_CAPACITY = 256;

[[noreturn]] void user_stop(std::uint16_t pc, std::uint8_t ir) {
    fatal_stop("\n-user terminated-\n", PositionLine::STANDARD, pc, ir, true);
}

// An undefined opcode's slot has length 0 (and opcodes 112..255 have none),
// so the position line shows the opcode's own address.
[[noreturn]] void undefined_opcode_stop(std::uint16_t pc, std::uint8_t ir) {
    fatal_stop("\n-ERROR-\n unknown machine code\n", PositionLine::STANDARD, pc, ir, false);
}

// Shows PC set back by the length of the instruction that moved it out.
[[noreturn]] void pc_overload_stop(std::uint16_t pc, std::uint8_t ir) {
    pc = static_cast<std::uint16_t>(pc - OpcodeTable[ir].length);
    fatal_stop("\n-ERROR-\n PC overload (PC > MAX_MEMORY)\n", PositionLine::STANDARD, pc, ir,
               false);
}

[[noreturn]] void end_of_run(int status) {
    print_statistics();
    dump_memory_map("memmap2.txt");
    console_exit(status);
}

}  // namespace

void op_nop(Machine& m) { advance_pc(m, OP_NOP); }

// Waits for one key press and discards it; PC stays on the hlt.
void op_hlt(Machine&) {
    console_printf("\n-HALT-\n");
    console_read_key();
}

void execute_instruction(Machine& m) {
    switch (m.IR) {
        case OP_LDI: op_ldi(m); break;
        case OP_LDIW: op_ldiw(m); break;
        case OP_LDD: op_ldd(m); break;
        case OP_LDDW: op_lddw(m); break;
        case OP_LDA: op_lda(m); break;
        case OP_STA: op_sta(m); break;
        case OP_STD: op_std(m); break;
        case OP_STDW: op_stdw(m); break;
        case OP_IN: op_in(m); break;
        case OP_OUT: op_out(m); break;
        case OP_LDAW: op_ldaw(m); break;
        case OP_STAW: op_staw(m); break;
        case OP_MUL: op_mul(m); break;
        case OP_MULW: op_mulw(m); break;
        case OP_DIV: op_div(m); break;
        case OP_DIVW: op_divw(m); break;
        case OP_SUB: op_sub(m); break;
        case OP_SUBW: op_subw(m); break;
        case OP_ADD: op_add(m); break;
        case OP_ADDW: op_addw(m); break;
        case OP_INC: op_inc(m); break;
        case OP_INCW: op_incw(m); break;
        case OP_DEC: op_dec(m); break;
        case OP_DECW: op_decw(m); break;
        case OP_CALL: op_call(m); break;
        case OP_RET: op_ret(m); break;
        case OP_JMP: op_jmp(m); break;
        case OP_JMR: op_jmr(m); break;
        case OP_JZ: op_jz(m); break;
        case OP_JNZ: op_jnz(m); break;
        case OP_JO: op_jo(m); break;
        case OP_JNO: op_jno(m); break;
        case OP_JC: op_jc(m); break;
        case OP_JNC: op_jnc(m); break;
        case OP_JS: op_js(m); break;
        case OP_JNS: op_jns(m); break;
        case OP_NOP: op_nop(m); break;
        case OP_HLT: op_hlt(m); break;
        case OP_SHL: op_shl(m); break;
        case OP_SHLW: op_shlw(m); break;
        case OP_SHR: op_shr(m); break;
        case OP_SHRW: op_shrw(m); break;
        case OP_ROL: op_rol(m); break;
        case OP_ROLW: op_rolw(m); break;
        case OP_ROR: op_ror(m); break;
        case OP_RORW: op_rorw(m); break;
        case OP_AND: op_and(m); break;
        case OP_ANDW: op_andw(m); break;
        case OP_OR: op_or(m); break;
        case OP_ORW: op_orw(m); break;
        case OP_NOT: op_not(m); break;
        case OP_NOTW: op_notw(m); break;
        case OP_XOR: op_xor(m); break;
        case OP_XORW: op_xorw(m); break;
        case OP_CMP: op_cmp(m); break;
        case OP_CMPW: op_cmpw(m); break;
        default: undefined_opcode_stop(m.PC, m.IR);
    }
    ++m.instruction_count;
    m.clock_count += OpcodeTable[m.IR].clocks;
    if (m.PC >= MAX_MEMORY) pc_overload_stop(m.PC, m.IR);
}

// Everything the loop calls is inlined into it ([[gnu::flatten]]): the
// dispatch, the handlers and the stack operations.
[[gnu::flatten]] void run_program() {
    console_start_keys();
    // The registers live in a local during the run, so that the compiler can
    // keep them in CPU registers.
    Machine m = machine;
    do {
        if (console_key_waiting(m.instruction_count) && console_take_key() == ESCAPE) {
            user_stop(m.PC, m.IR);
        }
        fetch_instruction(m);
        show_activity();
        execute_instruction(m);
    } while (m.IR != OP_HLT);
    machine = m;
}

// The CPI divides the clocks (unsigned) by the instructions (signed); with no
// instruction run it is not a number and printed as "nan".
void print_statistics() {
    std::int32_t instructions = static_cast<std::int32_t>(machine.instruction_count);
    console_printf("No. instruction = %d\nNo. clock = %d,", instructions,
                   static_cast<std::int32_t>(machine.clock_count));
    double cpi = static_cast<double>(machine.clock_count) / static_cast<double>(instructions);
    if (std::isnan(cpi)) {
        console_printf("CPI = nan\n");
    } else {
        console_printf("CPI = %f\n", cpi);
    }
}

int simulator_main() {
    cpu_reset();
    console_printf("- Stack machine simulator -\n");
    console_printf("- Object code file :");
    char name[NAME_CAPACITY];
    if (console_read_line(name, NAME_CAPACITY) <= 0) {
        console_printf("\nERROR\n Inputfile error\n");
        console_printf("program terminated!\n");
        end_of_run(255);
    }
    load_object_file(name);
    run_program();
    end_of_run(0);
}
