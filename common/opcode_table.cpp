#include "opcode_table.hpp"

#include <cstring>

const OpcodeEntry* find_mnemonic(const char* text) {
    if (text[0] == '\0') return nullptr;
    for (const OpcodeEntry& e : OpcodeTable) {
        if (std::strncmp(e.mnemonic, text, sizeof e.mnemonic) == 0) {
            return &e;
        }
    }
    return nullptr;
}
