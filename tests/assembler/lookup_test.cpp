// The two lookups pass 1 and pass 2 run for every token: mnemonics by packed
// key in the shared instruction table, labels through the hash index over
// the symbol table.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "opcode_table.hpp"
#include "pass2.hpp"

namespace {

TEST(PassLookups, MnemonicsAgreeWithTheInstructionTable) {
    int found = 0;
    for (const OpcodeEntry& slot : OpcodeTable) {
        if (slot.mnemonic[0] == '\0') continue;
        EXPECT_EQ(find_mnemonic(slot.mnemonic), &slot) << slot.mnemonic;
        ++found;
    }
    EXPECT_EQ(found, DEFINED_INSTRUCTION_COUNT);
    for (const char* text : {"", "l", "ld", "ldiww", "ldix", "LDI", "org", "x10", "i\xe9"}) {
        EXPECT_EQ(find_mnemonic(text), nullptr) << text;
    }
}

TEST(PassLookups, SymbolIndexOverAFullTableWithDuplicates) {
    auto a = std::make_unique<Assembly>();
    a->symbol_count = SYMBOL_TABLE_SIZE;
    for (int i = 0; i < SYMBOL_TABLE_SIZE; ++i) {
        // Entries 500 to 511 repeat the names of entries 0 to 11.
        std::snprintf(a->SymbolTable[i].name, SYMBOL_NAME_CAPACITY, "n%d", i < 500 ? i : i - 500);
        a->SymbolTable[i].value = static_cast<std::uint16_t>(i * 7);
    }
    build_symbol_index(*a);
    for (int i = 0; i < 500; ++i) {
        char name[SYMBOL_NAME_CAPACITY];
        std::snprintf(name, sizeof name, "n%d", i);
        int definitions = 0;
        ASSERT_EQ(find_symbol(*a, name, &definitions), i);  // the first definition
        EXPECT_EQ(definitions, i < 12 ? 2 : 1) << name;
    }
    int definitions = -1;
    EXPECT_EQ(find_symbol(*a, "n500", &definitions), -1);
    EXPECT_EQ(definitions, 0);
}

}  // namespace
