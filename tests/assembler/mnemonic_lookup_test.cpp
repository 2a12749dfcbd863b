// The assembler's packed-key mnemonic lookup must agree with the shared table.
#include <gtest/gtest.h>

#include <string>

#include "opcode_table.hpp"
#include "pass1.hpp"

namespace {

TEST(PassMnemonicLookup, AgreesWithTheInstructionTable) {
    int found = 0;
    for (const OpcodeEntry& slot : OpcodeTable) {
        if (slot.mnemonic[0] == '\0') continue;
        const OpcodeEntry* entry = lookup_mnemonic(slot.mnemonic);
        ASSERT_EQ(entry, &slot) << slot.mnemonic;
        ASSERT_EQ(entry, find_mnemonic(slot.mnemonic));
        ++found;
    }
    EXPECT_EQ(found, DEFINED_INSTRUCTION_COUNT);
}

TEST(PassMnemonicLookup, RefusesEverythingElse) {
    for (const char* text : {"", "l", "ld", "ldiww", "ldix", "hltt", "LDI", "org", "db", "x10", "jmpz", "i\xe9"}) {
        EXPECT_EQ(lookup_mnemonic(text), nullptr) << text;
        EXPECT_EQ(find_mnemonic(text), nullptr) << text;
    }
    EXPECT_EQ(lookup_mnemonic("ldiw")->opcode, OP_LDIW);
    EXPECT_EQ(lookup_mnemonic("or")->opcode, OP_OR);
}

}  // namespace
