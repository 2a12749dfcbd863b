// The hash index that pass 2 resolves label operands through.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "pass1.hpp"
#include "pass2.hpp"

namespace {

void set_symbol(int i, const char* name, int value) {
    std::snprintf(SymbolTable[i].name, sizeof SymbolTable[i].name, "%s", name);
    SymbolTable[i].value = static_cast<std::uint16_t>(value);
}

std::string numbered(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "n%d", i);
    return name;
}

TEST(PassSymbolIndex, FindsEveryEntryOfAFullTable) {
    symbol_count = SYMBOL_TABLE_SIZE;
    for (int i = 0; i < SYMBOL_TABLE_SIZE; ++i) set_symbol(i, numbered(i).c_str(), i * 7);
    build_symbol_index();
    for (int i = 0; i < SYMBOL_TABLE_SIZE; ++i) {
        int definitions = -1;
        int found = find_symbol(numbered(i).c_str(), &definitions);
        ASSERT_EQ(found, i);
        EXPECT_EQ(definitions, 1);
        EXPECT_EQ(SymbolTable[found].value, i * 7);
    }
    int definitions = -1;
    EXPECT_EQ(find_symbol("n512", &definitions), -1);
    EXPECT_EQ(definitions, 0);
    EXPECT_EQ(find_symbol("n", &definitions), -1);
}

TEST(PassSymbolIndex, CountsEveryDefinitionOfAName) {
    symbol_count = 5;
    set_symbol(0, "a", 1);
    set_symbol(1, "b", 2);
    set_symbol(2, "a", 3);
    set_symbol(3, "c", 4);
    set_symbol(4, "a", 5);
    build_symbol_index();
    int definitions = 0;
    EXPECT_EQ(find_symbol("a", &definitions), 0);  // the first definition
    EXPECT_EQ(definitions, 3);
    EXPECT_EQ(find_symbol("c", &definitions), 3);
    EXPECT_EQ(definitions, 1);
}

TEST(PassSymbolIndex, RebuildForgetsTheLastRun) {
    symbol_count = 2;
    set_symbol(0, "old", 1);
    set_symbol(1, "old", 2);
    build_symbol_index();
    symbol_count = 1;
    set_symbol(0, "new", 9);
    build_symbol_index();
    int definitions = 0;
    EXPECT_EQ(find_symbol("old", &definitions), -1);
    EXPECT_EQ(find_symbol("new", &definitions), 0);
    EXPECT_EQ(definitions, 1);
}

}  // namespace
