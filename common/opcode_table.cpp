#include "opcode_table.hpp"

#include <cstring>

namespace {

// A mnemonic has at most four characters, so it packs into one 32-bit key;
// undefined rows get key 0, which no token packs to. Comparing keys instead
// of strings keeps the assembler's lookup of every token cheap.
struct MnemonicKeys {
    std::uint32_t key[DEFINED_INSTRUCTION_COUNT];
};

constexpr std::uint32_t pack_mnemonic(const char* text) {
    std::uint32_t key = 0;
    for (int i = 0; i < 4 && text[i] != '\0'; ++i) {
        key |= static_cast<std::uint32_t>(static_cast<unsigned char>(text[i])) << (8 * i);
    }
    return key;
}

constexpr MnemonicKeys build_mnemonic_keys() {
    MnemonicKeys keys{};
    for (int i = 0; i < DEFINED_INSTRUCTION_COUNT; ++i)
        keys.key[i] = pack_mnemonic(INSTRUCTION_ROWS[i].mnemonic);
    return keys;
}

constexpr MnemonicKeys MNEMONIC_KEYS = build_mnemonic_keys();

}  // namespace

const OpcodeEntry* find_mnemonic(const char* text) {
    if (std::strlen(text) > 4) return nullptr;
    std::uint32_t key = pack_mnemonic(text);
    if (key == 0) return nullptr;
    for (int i = 0; i < DEFINED_INSTRUCTION_COUNT; ++i) {
        if (MNEMONIC_KEYS.key[i] == key) return &OpcodeTable[INSTRUCTION_ROWS[i].opcode];
    }
    return nullptr;
}
