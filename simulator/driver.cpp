#include "driver.hpp"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "arithmetic.hpp"
#include "console.hpp"
#include "data_movement.hpp"
#include "logic.hpp"
#include "machine.hpp"

int activity_phase = 0;

namespace {

constexpr int ESCAPE = 27;
constexpr int NAME_CAPACITY = 256;

[[noreturn]] void user_stop() {
    fatal_stop("\n-user terminated-\n", PositionLine::STANDARD, PC, true);
}

// An undefined opcode's slot has length 0 (and opcodes 112..255 have none),
// so the position line shows the opcode's own address.
[[noreturn]] void undefined_opcode_stop() {
    fatal_stop("\n-ERROR-\n unknown machine code\n", PositionLine::STANDARD, PC, false);
}

// Shows PC set back by the length of the instruction that moved it out.
[[noreturn]] void pc_overload_stop() {
    PC = static_cast<std::uint16_t>(PC - OpcodeTable[IR].length);
    fatal_stop("\n-ERROR-\n PC overload (PC > MAX_MEMORY)\n", PositionLine::STANDARD, PC, false);
}

[[noreturn]] void end_of_run(int status) {
    print_statistics();
    dump_memory_map("memmap2.txt");
    console_exit(status);
}

}  // namespace

void op_nop() { advance_pc(OP_NOP); }

// Waits for one key press and discards it; PC stays on the hlt.
void op_hlt() {
    console_printf("\n-HALT-\n");
    console_read_key();
}

// One frame of the rotating bar; every frame after the first steps back over
// the last character printed.
void show_activity() {
    static constexpr char FRAMES[4][2] = {{'\b', '\\'}, {'\b', '|'}, {'\b', '/'}, {'\b', '-'}};
    static constexpr int NEXT_PHASE[5] = {1, 2, 3, 4, 1};
    if (activity_phase == 0) {
        console_put('-');
    } else {
        std::memcpy(console_reserve(2), FRAMES[activity_phase - 1], 2);
    }
    activity_phase = NEXT_PHASE[activity_phase];
}

void execute_instruction() {
    switch (IR) {
        case OP_LDI: op_ldi(); break;
        case OP_LDIW: op_ldiw(); break;
        case OP_LDD: op_ldd(); break;
        case OP_LDDW: op_lddw(); break;
        case OP_LDA: op_lda(); break;
        case OP_STA: op_sta(); break;
        case OP_STD: op_std(); break;
        case OP_STDW: op_stdw(); break;
        case OP_IN: op_in(); break;
        case OP_OUT: op_out(); break;
        case OP_LDAW: op_ldaw(); break;
        case OP_STAW: op_staw(); break;
        case OP_MUL: op_mul(); break;
        case OP_MULW: op_mulw(); break;
        case OP_DIV: op_div(); break;
        case OP_DIVW: op_divw(); break;
        case OP_SUB: op_sub(); break;
        case OP_SUBW: op_subw(); break;
        case OP_ADD: op_add(); break;
        case OP_ADDW: op_addw(); break;
        case OP_INC: op_inc(); break;
        case OP_INCW: op_incw(); break;
        case OP_DEC: op_dec(); break;
        case OP_DECW: op_decw(); break;
        case OP_CALL: op_call(); break;
        case OP_RET: op_ret(); break;
        case OP_JMP: op_jmp(); break;
        case OP_JMR: op_jmr(); break;
        case OP_JZ: op_jz(); break;
        case OP_JNZ: op_jnz(); break;
        case OP_JO: op_jo(); break;
        case OP_JNO: op_jno(); break;
        case OP_JC: op_jc(); break;
        case OP_JNC: op_jnc(); break;
        case OP_JS: op_js(); break;
        case OP_JNS: op_jns(); break;
        case OP_NOP: op_nop(); break;
        case OP_HLT: op_hlt(); break;
        case OP_SHL: op_shl(); break;
        case OP_SHLW: op_shlw(); break;
        case OP_SHR: op_shr(); break;
        case OP_SHRW: op_shrw(); break;
        case OP_ROL: op_rol(); break;
        case OP_ROLW: op_rolw(); break;
        case OP_ROR: op_ror(); break;
        case OP_RORW: op_rorw(); break;
        case OP_AND: op_and(); break;
        case OP_ANDW: op_andw(); break;
        case OP_OR: op_or(); break;
        case OP_ORW: op_orw(); break;
        case OP_NOT: op_not(); break;
        case OP_NOTW: op_notw(); break;
        case OP_XOR: op_xor(); break;
        case OP_XORW: op_xorw(); break;
        case OP_CMP: op_cmp(); break;
        case OP_CMPW: op_cmpw(); break;
        default: undefined_opcode_stop();
    }
    ++instruction_count;
    clock_count += OpcodeTable[IR].clocks;
    if (PC >= MAX_MEMORY) pc_overload_stop();
}

[[gnu::flatten]] void run_program() {
    console_start_keys();
    do {
        if (console_key_waiting() && console_take_key() == ESCAPE) user_stop();
        fetch_instruction();
        show_activity();
        execute_instruction();
    } while (IR != OP_HLT);
}

// The CPI divides the clocks (unsigned) by the instructions (signed); with no
// instruction run it is not a number and printed as "nan".
void print_statistics() {
    std::int32_t instructions = static_cast<std::int32_t>(instruction_count);
    console_printf("No. instruction = %d\nNo. clock = %d,", instructions,
                   static_cast<std::int32_t>(clock_count));
    double cpi = static_cast<double>(clock_count) / static_cast<double>(instructions);
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
