// Pass 1: assigns addresses, collects labels, lists the source and writes the
// pass-1 file, a cleaned lower-case copy of the source for pass 2.
#pragma once

#include <cstdint>

#include "opcode_table.hpp"

constexpr int SYMBOL_TABLE_SIZE = 512;
constexpr int SYMBOL_NAME_CAPACITY = 20;  // 19 characters and the NUL

struct Symbol {
    char name[SYMBOL_NAME_CAPACITY];
    std::uint16_t value;
};

extern std::int32_t location_counter;  // address of the next byte to assemble
extern Symbol SymbolTable[SYMBOL_TABLE_SIZE];
extern int symbol_count;
extern int end_seen;  // set by a token "end": reading stops after this line

// Adds amount to location_counter with 32-bit wrap-around.
void advance_location(std::uint32_t amount);
// Value of a run of at most 19 decimal digits (exact in 64 bits).
std::uint64_t digits_value(const char* digits);

// Appends a label with the low 16 bits of location_counter; error exit when
// the table is full.
void define_label(const char* name);

// Handlers called by the tokenizer in pass 1; 1 when they took the text.
int pass1_directive(const char* text);
int pass1_mnemonic(const char* text);

// Lists and copies the source until end, end of file or an error exit, then
// closes both files and prints the symbol table.
void pass1_loop();
