// The state of one assembly run, made fresh for each run and passed by
// reference to both passes: the source cursor, the symbol table, the
// location counter, and the texts the run reads and writes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "object_code.hpp"
#include "scanner.hpp"
#include "text_io.hpp"

constexpr int SYMBOL_TABLE_SIZE = 512;
// Open addressing over twice as many slots as the table has entries, so that
// probe chains stay short.
constexpr int SYMBOL_INDEX_SLOTS = 2 * SYMBOL_TABLE_SIZE;

struct Symbol {
    char name[SYMBOL_NAME_CAPACITY];
    std::uint16_t value;
};

// Something a pass noticed that does not stop the run, with its line.
struct Finding {
    int line;
    std::string text;
};

// What pass 1 met, in source order, for the checks of mistakes.hpp: a label
// (its SymbolTable index), an instruction (its opcode), db, dw or org.
struct SourceItem {
    enum Kind : std::uint8_t { LABEL, INSTRUCTION, DB, DW, ORG } kind;
    int line;
    int value;  // LABEL: the symbol's index; INSTRUCTION: the opcode
};

// A label as an instruction's operand, met in pass 2.
struct LabelUse {
    int line;
    std::uint8_t opcode;
    int symbol;  // SymbolTable index of its definition
};

// Where a line began and where its bytes start in Assembly::line_bytes.
struct LineStart {
    std::uint32_t address;
    std::uint32_t first_byte;
};

struct Assembly {
    SourceCursor scan;
    LineInput source;       // pass 1 reads the source from here
    LineInput pass1_input;  // pass 2 reads the pass-1 text back from here
    Output listing;         // pass 1's listing and symbol table
    Output pass1_text;      // the cleaned lower-case copy of the source
    Output object_code;     // pass 2's records

    std::int32_t location_counter = 0;  // address of the next byte to assemble
    Symbol SymbolTable[SYMBOL_TABLE_SIZE];
    int symbol_count = 0;
    bool end_seen = false;  // set by a token "end": pass 1 stops after this line
    // Pass 1: a directive's digits were written last on this line, so a token
    // following them gets a blank between and is not glued to the digits.
    bool blank_owed = false;

    // Pass 2's index over SymbolTable: a slot holds an entry's index or -1;
    // for the first entry of each name, how many entries carry that name.
    std::int16_t symbol_index[SYMBOL_INDEX_SLOTS];
    int definition_count[SYMBOL_TABLE_SIZE];

    // For every address, the source line whose record placed a byte there
    // (0 where none did).
    std::array<std::int32_t, MEMORY_SIZE> line_of_address{};
    // What pass 2 finds without stopping, when note_findings is set: names
    // and numbers it passes over, operands cut to fit, an org back over
    // assembled bytes, bytes the simulator will not load, an operand missing.
    bool note_findings = false;
    std::vector<Finding> findings;
    // Also when note_findings is set: what the mistake checks read.
    std::vector<SourceItem> items;
    std::vector<LabelUse> label_uses;
    std::uint64_t assembled_end = 0;  // one past the highest address pass 2 assembled
    bool high_bytes_noted = false;    // bytes at MAX_MEMORY or above were reported

    // When note_lines is set, pass 2 notes where each line began and the
    // bytes it assembled, for a listing of the machine code.
    bool note_lines = false;
    std::vector<LineStart> line_starts;  // index: line - 1
    std::vector<std::uint8_t> line_bytes;
};

enum Directive { DIRECTIVE_NONE, DIRECTIVE_ORG, DIRECTIVE_END, DIRECTIVE_DB, DIRECTIVE_DW };

inline Directive find_directive(std::string_view text) {
    if (text == "org") return DIRECTIVE_ORG;
    if (text == "end") return DIRECTIVE_END;
    if (text == "db") return DIRECTIVE_DB;
    if (text == "dw") return DIRECTIVE_DW;
    return DIRECTIVE_NONE;
}

// Adds amount to location_counter with 32-bit wrap-around.
inline void advance_location(Assembly& a, std::uint32_t amount) {
    a.location_counter =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(a.location_counter) + amount);
}

// Sets location_counter to the low 32 bits of value.
inline void set_location(Assembly& a, std::uint64_t value) {
    a.location_counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Value of a run of at most 19 decimal digits (exact in 64 bits).
inline std::uint64_t digits_value(const char* digits) {
    std::uint64_t value = 0;
    for (const char* d = digits; *d != '\0'; ++d)
        value = value * 10 + static_cast<std::uint64_t>(*d - '0');
    return value;
}

// Hands every output's collected block on to its file or writer.
inline void drain_outputs(Assembly& a) {
    drain_output(a.listing);
    drain_output(a.pass1_text);
    drain_output(a.object_code);
}
