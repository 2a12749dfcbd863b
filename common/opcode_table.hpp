// The machine's instruction set: one slot per opcode 0..111, shared by the
// assembler and the simulator so that the two can never disagree.
#pragma once

#include <cstdint>

struct OpcodeEntry {
    char mnemonic[5];  // lower-case, NUL-padded; empty for an unused slot
    std::uint8_t opcode;
    std::uint8_t length;  // bytes in memory, opcode included: 1, 2 or 3
    std::uint8_t clocks;
};

constexpr int OPCODE_SLOTS = 112;

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

namespace opcode_table_detail {

struct Defined {
    const char* mnemonic;
    std::uint8_t opcode, length, clocks;
};

// mnemonic, opcode, length, clocks
// clang-format off
inline constexpr Defined DEFINED[] = {
    {"ldi", OP_LDI, 2, 3},     {"ldiw", OP_LDIW, 3, 4},   {"ldd", OP_LDD, 3, 4},
    {"lddw", OP_LDDW, 3, 5},   {"lda", OP_LDA, 3, 5},     {"sta", OP_STA, 3, 5},
    {"std", OP_STD, 3, 4},     {"stdw", OP_STDW, 3, 5},   {"in", OP_IN, 2, 3},
    {"out", OP_OUT, 2, 3},     {"ldaw", OP_LDAW, 3, 6},   {"staw", OP_STAW, 3, 6},
    {"mul", OP_MUL, 1, 5},     {"mulw", OP_MULW, 1, 8},   {"div", OP_DIV, 1, 5},
    {"divw", OP_DIVW, 1, 8},   {"sub", OP_SUB, 1, 6},     {"subw", OP_SUBW, 1, 9},
    {"add", OP_ADD, 1, 6},     {"addw", OP_ADDW, 1, 9},   {"inc", OP_INC, 1, 4},
    {"incw", OP_INCW, 1, 6},   {"dec", OP_DEC, 1, 4},     {"decw", OP_DECW, 1, 6},
    {"call", OP_CALL, 3, 4},   {"ret", OP_RET, 1, 3},     {"jmp", OP_JMP, 3, 5},
    {"jmr", OP_JMR, 2, 4},     {"jz", OP_JZ, 3, 5},       {"jnz", OP_JNZ, 3, 5},
    {"jo", OP_JO, 3, 5},       {"jno", OP_JNO, 3, 5},     {"jc", OP_JC, 3, 5},
    {"jnc", OP_JNC, 3, 5},     {"js", OP_JS, 3, 5},       {"jns", OP_JNS, 3, 5},
    {"nop", OP_NOP, 1, 3},     {"hlt", OP_HLT, 1, 0},     {"shl", OP_SHL, 1, 4},
    {"shlw", OP_SHLW, 1, 6},   {"shr", OP_SHR, 1, 4},     {"shrw", OP_SHRW, 1, 6},
    {"rol", OP_ROL, 1, 4},     {"rolw", OP_ROLW, 1, 6},   {"ror", OP_ROR, 1, 4},
    {"rorw", OP_RORW, 1, 6},   {"and", OP_AND, 1, 5},     {"andw", OP_ANDW, 1, 9},
    {"or", OP_OR, 1, 6},       {"orw", OP_ORW, 1, 9},     {"not", OP_NOT, 1, 5},
    {"notw", OP_NOTW, 1, 7},   {"xor", OP_XOR, 1, 6},     {"xorw", OP_XORW, 1, 8},
    {"cmp", OP_CMP, 1, 5},     {"cmpw", OP_CMPW, 1, 7},
};
// clang-format on

struct Table {
    OpcodeEntry slot[OPCODE_SLOTS];
};

constexpr Table build() {
    Table table{};
    for (int i = 0; i < OPCODE_SLOTS; ++i) {
        table.slot[i] = OpcodeEntry{{0, 0, 0, 0, 0}, static_cast<std::uint8_t>(i), 0, 0};
    }
    for (const Defined& d : DEFINED) {
        OpcodeEntry& e = table.slot[d.opcode];
        for (int k = 0; k < 4 && d.mnemonic[k] != '\0'; ++k) e.mnemonic[k] = d.mnemonic[k];
        e.length = d.length;
        e.clocks = d.clocks;
    }
    return table;
}

inline constexpr Table TABLE = build();

}  // namespace opcode_table_detail

// Indexed by opcode; every slot's opcode field equals its index.
inline constexpr const OpcodeEntry (&OpcodeTable)[OPCODE_SLOTS] = opcode_table_detail::TABLE.slot;

constexpr int DEFINED_INSTRUCTION_COUNT =
    static_cast<int>(sizeof opcode_table_detail::DEFINED / sizeof opcode_table_detail::DEFINED[0]);

// Length of a loaded opcode: its slot's length (0 for an empty slot), and 1
// for opcodes without a slot (112 and above).
constexpr int opcode_length(int opcode) {
    return opcode >= 0 && opcode < OPCODE_SLOTS ? OpcodeTable[opcode].length : 1;
}

// Slot whose mnemonic equals the lower-case text exactly, or nullptr.
const OpcodeEntry* find_mnemonic(const char* text);
