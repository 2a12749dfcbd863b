// The machine's instruction set: one row per instruction, and a table that
// gives every byte 0..255 a row (a byte without an instruction has an
// undefined row). The assembler, the machine, the disassembler, the debugger
// and the web page all read their facts about an opcode from here, so they
// can never disagree.
//
// The handler that runs an instruction is the one column kept elsewhere:
// common/ knows nothing of the machine, so MACHINE_HANDLERS in
// common/machine/step.hpp joins a handler to every defined row, and a
// static_assert there checks that the two lists cover the same opcodes.
#pragma once

#include <cstdint>

// Opcodes of the 56 defined instructions.
// clang-format off
enum Opcode : std::uint8_t {
    OP_LDI = 0x00, OP_LDIW = 0x01, OP_LDD = 0x02, OP_LDDW = 0x03,
    OP_LDA = 0x04, OP_STA = 0x05, OP_STD = 0x06, OP_STDW = 0x07,
    OP_IN = 0x08, OP_OUT = 0x09, OP_LDAW = 0x0A, OP_STAW = 0x0B,
    OP_MUL = 0x10, OP_MULW = 0x11, OP_DIV = 0x12, OP_DIVW = 0x13,
    OP_SUB = 0x14, OP_SUBW = 0x15, OP_ADD = 0x16, OP_ADDW = 0x17,
    OP_INC = 0x18, OP_INCW = 0x19, OP_DEC = 0x1A, OP_DECW = 0x1B,
    OP_CALL = 0x20, OP_RET = 0x21,
    OP_JMP = 0x30, OP_JMR = 0x31, OP_JZ = 0x32, OP_JNZ = 0x33, OP_JO = 0x34,
    OP_JNO = 0x35, OP_JC = 0x36, OP_JNC = 0x37, OP_JS = 0x38, OP_JNS = 0x39,
    OP_NOP = 0x40, OP_HLT = 0x41,
    OP_SHL = 0x50, OP_SHLW = 0x51, OP_SHR = 0x52, OP_SHRW = 0x53,
    OP_ROL = 0x54, OP_ROLW = 0x55, OP_ROR = 0x56, OP_RORW = 0x57,
    OP_AND = 0x60, OP_ANDW = 0x61, OP_OR = 0x62, OP_ORW = 0x63,
    OP_NOT = 0x64, OP_NOTW = 0x65, OP_XOR = 0x66, OP_XORW = 0x67,
    OP_CMP = 0x68, OP_CMPW = 0x69,
};
// clang-format on

// Where control goes after an instruction.
enum class Flow : std::uint8_t {
    NEXT,       // falls through to the next instruction
    JUMP,       // always to its target (jmp: the operand word; jmr: PC + the operand byte)
    BRANCH,     // a conditional jump: to the operand word or falls through
    CALL,       // to the operand word, the return address pushed
    RETURN,     // to the address popped
    HALT,       // hlt: the run ends (reaches the program's Io)
    PORT,       // in, out: falls through, after reaching the program's Io
    UNDEFINED,  // no instruction: the run stops
};

// What an instruction writes besides the stack and the registers.
enum class Store : std::uint8_t {
    NONE,
    OPERAND_BYTE,  // the byte at the operand word (std)
    OPERAND_WORD,  // the two bytes at the operand word (stdw)
    POINTED_BYTE,  // the byte at the pointer stored at the operand word (sta)
    POINTED_WORD,  // the two bytes there (staw)
    PORT,          // the port named by the operand byte (out)
};

// What an instruction reads from memory besides the stack and its own bytes.
enum class Read : std::uint8_t {
    NONE,
    OPERAND_BYTE,  // the byte at the operand word (ldd)
    OPERAND_WORD,  // the two bytes at the operand word (lddw)
    POINTER,       // the pointer stored at the operand word, to store through it (sta, staw)
    POINTED_BYTE,  // that pointer, then the byte it points at (lda)
    POINTED_WORD,  // that pointer, then the two bytes there (ldaw)
};

struct OpcodeEntry {
    char mnemonic[5];  // lower-case, NUL-padded; empty for an undefined row
    std::uint8_t opcode;
    std::uint8_t length;  // bytes in memory, opcode included: 1, 2 or 3; 1 when undefined
    std::uint8_t clocks;
    std::uint8_t pops;    // the most bytes it pops
    std::uint8_t pushes;  // the most bytes it pushes
    Flow flow;
    Store store;
    Read reads;

    constexpr bool defined() const { return flow != Flow::UNDEFINED; }
    // in, out and hlt: the program's side of the run takes part.
    constexpr bool reaches_io() const { return flow == Flow::PORT || flow == Flow::HALT; }
    constexpr bool uses_stack() const { return pops != 0 || pushes != 0; }
    // Bytes it stores in memory (at the operand word or through the pointer).
    constexpr unsigned store_width() const {
        return store == Store::OPERAND_BYTE || store == Store::POINTED_BYTE   ? 1
               : store == Store::OPERAND_WORD || store == Store::POINTED_WORD ? 2
                                                                              : 0;
    }
    constexpr bool stores_through_pointer() const {
        return store == Store::POINTED_BYTE || store == Store::POINTED_WORD;
    }
    // Whether it reads the pointer word at its operand word (to load or store through it).
    constexpr bool reads_pointer() const {
        return reads == Read::POINTER || reads == Read::POINTED_BYTE || reads == Read::POINTED_WORD;
    }
    // Bytes of data it reads (at the operand word or through the pointer),
    // the pointer itself not counted.
    constexpr unsigned read_width() const {
        return reads == Read::OPERAND_BYTE || reads == Read::POINTED_BYTE   ? 1
               : reads == Read::OPERAND_WORD || reads == Read::POINTED_WORD ? 2
                                                                            : 0;
    }
    constexpr bool reads_through_pointer() const {
        return reads == Read::POINTED_BYTE || reads == Read::POINTED_WORD;
    }
};

// Every instruction, one row each: mnemonic, opcode, length, clocks, the
// most bytes popped and pushed, where control goes, what it stores, what it
// reads.
// clang-format off
inline constexpr OpcodeEntry INSTRUCTION_ROWS[] = {
    {"ldi",  OP_LDI,  2, 3, 0, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"ldiw", OP_LDIW, 3, 4, 0, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"ldd",  OP_LDD,  3, 4, 0, 1, Flow::NEXT,   Store::NONE,         Read::OPERAND_BYTE},
    {"lddw", OP_LDDW, 3, 5, 0, 2, Flow::NEXT,   Store::NONE,         Read::OPERAND_WORD},
    {"lda",  OP_LDA,  3, 5, 0, 1, Flow::NEXT,   Store::NONE,         Read::POINTED_BYTE},
    {"sta",  OP_STA,  3, 5, 1, 0, Flow::NEXT,   Store::POINTED_BYTE, Read::POINTER},
    {"std",  OP_STD,  3, 4, 1, 0, Flow::NEXT,   Store::OPERAND_BYTE, Read::NONE},
    {"stdw", OP_STDW, 3, 5, 2, 0, Flow::NEXT,   Store::OPERAND_WORD, Read::NONE},
    {"in",   OP_IN,   2, 3, 0, 1, Flow::PORT,   Store::NONE,         Read::NONE},
    {"out",  OP_OUT,  2, 3, 1, 0, Flow::PORT,   Store::PORT,         Read::NONE},
    {"ldaw", OP_LDAW, 3, 6, 0, 2, Flow::NEXT,   Store::NONE,         Read::POINTED_WORD},
    {"staw", OP_STAW, 3, 6, 2, 0, Flow::NEXT,   Store::POINTED_WORD, Read::POINTER},
    {"mul",  OP_MUL,  1, 5, 2, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"mulw", OP_MULW, 1, 8, 4, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"div",  OP_DIV,  1, 5, 2, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"divw", OP_DIVW, 1, 8, 4, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"sub",  OP_SUB,  1, 6, 2, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"subw", OP_SUBW, 1, 9, 4, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"add",  OP_ADD,  1, 6, 2, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"addw", OP_ADDW, 1, 9, 4, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"inc",  OP_INC,  1, 4, 1, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"incw", OP_INCW, 1, 6, 2, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"dec",  OP_DEC,  1, 4, 1, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"decw", OP_DECW, 1, 6, 2, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"call", OP_CALL, 3, 4, 0, 2, Flow::CALL,   Store::NONE,         Read::NONE},
    {"ret",  OP_RET,  1, 3, 2, 0, Flow::RETURN, Store::NONE,         Read::NONE},
    {"jmp",  OP_JMP,  3, 5, 0, 0, Flow::JUMP,   Store::NONE,         Read::NONE},
    {"jmr",  OP_JMR,  2, 4, 0, 0, Flow::JUMP,   Store::NONE,         Read::NONE},
    {"jz",   OP_JZ,   3, 5, 0, 0, Flow::BRANCH, Store::NONE,         Read::NONE},
    {"jnz",  OP_JNZ,  3, 5, 0, 0, Flow::BRANCH, Store::NONE,         Read::NONE},
    {"jo",   OP_JO,   3, 5, 0, 0, Flow::BRANCH, Store::NONE,         Read::NONE},
    {"jno",  OP_JNO,  3, 5, 0, 0, Flow::BRANCH, Store::NONE,         Read::NONE},
    {"jc",   OP_JC,   3, 5, 0, 0, Flow::BRANCH, Store::NONE,         Read::NONE},
    {"jnc",  OP_JNC,  3, 5, 0, 0, Flow::BRANCH, Store::NONE,         Read::NONE},
    {"js",   OP_JS,   3, 5, 0, 0, Flow::BRANCH, Store::NONE,         Read::NONE},
    {"jns",  OP_JNS,  3, 5, 0, 0, Flow::BRANCH, Store::NONE,         Read::NONE},
    {"nop",  OP_NOP,  1, 3, 0, 0, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"hlt",  OP_HLT,  1, 0, 0, 0, Flow::HALT,   Store::NONE,         Read::NONE},
    {"shl",  OP_SHL,  1, 4, 1, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"shlw", OP_SHLW, 1, 6, 2, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"shr",  OP_SHR,  1, 4, 1, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"shrw", OP_SHRW, 1, 6, 2, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"rol",  OP_ROL,  1, 4, 1, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"rolw", OP_ROLW, 1, 6, 2, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"ror",  OP_ROR,  1, 4, 1, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"rorw", OP_RORW, 1, 6, 2, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"and",  OP_AND,  1, 5, 2, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"andw", OP_ANDW, 1, 9, 4, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"or",   OP_OR,   1, 6, 2, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"orw",  OP_ORW,  1, 9, 4, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"not",  OP_NOT,  1, 5, 1, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"notw", OP_NOTW, 1, 7, 2, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"xor",  OP_XOR,  1, 6, 2, 1, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"xorw", OP_XORW, 1, 8, 4, 2, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"cmp",  OP_CMP,  1, 5, 2, 0, Flow::NEXT,   Store::NONE,         Read::NONE},
    {"cmpw", OP_CMPW, 1, 7, 4, 0, Flow::NEXT,   Store::NONE,         Read::NONE},
};
// clang-format on

constexpr int DEFINED_INSTRUCTION_COUNT =
    static_cast<int>(sizeof INSTRUCTION_ROWS / sizeof INSTRUCTION_ROWS[0]);

namespace opcode_table_detail {

struct Table {
    OpcodeEntry row[256];
};

constexpr Table build() {
    Table table{};
    for (int i = 0; i < 256; ++i) {
        table.row[i] = OpcodeEntry{
            {0, 0, 0, 0, 0}, static_cast<std::uint8_t>(i), 1, 0, 0, 0, Flow::UNDEFINED, Store::NONE,
            Read::NONE};
    }
    for (const OpcodeEntry& d : INSTRUCTION_ROWS) table.row[d.opcode] = d;
    return table;
}

inline constexpr Table TABLE = build();

constexpr bool rows_are_sound() {
    int rows_of[256]{};
    for (const OpcodeEntry& d : INSTRUCTION_ROWS) {
        if (++rows_of[d.opcode] > 1 || d.mnemonic[0] == '\0') return false;
        if (d.length < 1 || d.length > 3 || d.flow == Flow::UNDEFINED) return false;
        // A store through a pointer reads the pointer, and only it.
        if (d.stores_through_pointer() != (d.reads == Read::POINTER)) return false;
        // An operand word names what it reads or stores: one of the two at most.
        if (d.read_width() != 0 && d.store_width() != 0) return false;
    }
    return true;
}
static_assert(rows_are_sound(),
              "an opcode has two rows, or a row has a bad length, flow, store or read");

}  // namespace opcode_table_detail

// Indexed by any byte; every row's opcode field equals its index.
inline constexpr const OpcodeEntry (&OpcodeTable)[256] = opcode_table_detail::TABLE.row;

// Bytes in memory of the instruction whose opcode is given: 1 for an
// undefined opcode (the byte itself).
constexpr int instruction_length(std::uint8_t opcode) { return OpcodeTable[opcode].length; }

// Row whose mnemonic equals the lower-case text exactly, or nullptr.
const OpcodeEntry* find_mnemonic(const char* text);
