#include "pass2.hpp"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "console.hpp"
#include "driver.hpp"
#include "opcode_table.hpp"
#include "pass1.hpp"
#include "tokenizer.hpp"

namespace {

// Open addressing over twice as many slots as the table has entries, so that
// probe chains stay short; a slot holds a SymbolTable index or -1.
constexpr int INDEX_SLOTS = 2 * SYMBOL_TABLE_SIZE;
std::int16_t symbol_index[INDEX_SLOTS];
// For the first entry of each name: how many entries carry that name.
int definition_count[SYMBOL_TABLE_SIZE];

std::uint32_t name_hash(const char* name) {
    std::uint32_t hash = 2166136261u;
    for (const char* c = name; *c != '\0'; ++c) {
        hash ^= static_cast<unsigned char>(*c);
        hash *= 16777619u;
    }
    return hash;
}

// The slot holding name, or the empty slot where it belongs.
int index_slot(const char* name) {
    int slot = static_cast<int>(name_hash(name) & (INDEX_SLOTS - 1));
    while (symbol_index[slot] >= 0 &&
           std::strcmp(SymbolTable[symbol_index[slot]].name, name) != 0) {
        slot = (slot + 1) & (INDEX_SLOTS - 1);
    }
    return slot;
}

void write_label_operand(const char* name) {
    int definitions = 0;
    int found = find_symbol(name, &definitions);
    if (found < 0) error_exit("\nERROR\nCan not find symbol [%s]\n", name);
    if (definitions > 1) {
        error_exit("\nERROR\nLine %d : symbol [%s] defined more than once\n", line_number + 1,
                   name);
    }
    std::fprintf(object_stream, "%d ", SymbolTable[found].value);
}

}  // namespace

void build_symbol_index() {
    for (std::int16_t& slot : symbol_index) slot = -1;
    for (int i = 0; i < symbol_count; ++i) {
        int slot = index_slot(SymbolTable[i].name);
        if (symbol_index[slot] < 0) {
            symbol_index[slot] = static_cast<std::int16_t>(i);
            definition_count[i] = 1;
        } else {
            ++definition_count[symbol_index[slot]];
        }
    }
}

int find_symbol(const char* name, int* definitions) {
    int found = symbol_index[index_slot(name)];
    *definitions = found < 0 ? 0 : definition_count[found];
    return found;
}

int pass2_directive(const char* text) {
    bool org = std::strcmp(text, "org") == 0;
    bool db = std::strcmp(text, "db") == 0;
    bool dw = std::strcmp(text, "dw") == 0;
    if (!org && !db && !dw) return std::strcmp(text, "end") == 0 ? 1 : 0;

    char digits[OPERAND_CAPACITY];
    if (!read_operand_digits(digits)) return 1;  // pass 1 has already rejected this
    if (org) {
        location_counter =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(digits_value(digits)));
    } else if (db) {
        std::fprintf(object_stream, "%d 255 %s\n", location_counter, digits);
        advance_location(1);
    } else {
        // A value above 65535 is not rejected: the second record carries it
        // shifted right by 8, unreduced.
        std::uint64_t value = digits_value(digits);
        std::fprintf(object_stream, "%d 255 %llu\n", location_counter,
                     static_cast<unsigned long long>(value & 0xFF));
        advance_location(1);
        std::fprintf(object_stream, "%d 255 %llu\n", location_counter,
                     static_cast<unsigned long long>(value >> 8));
        advance_location(1);
    }
    return 1;
}

int pass2_mnemonic(const char* text) {
    const OpcodeEntry* entry = find_mnemonic(text);
    if (entry == nullptr) return 0;
    std::fprintf(object_stream, "%d %d ", location_counter, entry->opcode);
    if (entry->length > 1) {
        char operand[OPERAND_CAPACITY];
        if (read_operand_digits(operand)) {
            std::fprintf(object_stream, "%s ", operand);
        } else if (is_letter(char_at_cursor())) {
            read_operand_name(operand);
            write_label_operand(operand);
        }
    }
    std::fputc('\n', object_stream);
    advance_location(entry->length);
    return 1;
}

bool run_pass2() {
    location_counter = 0;
    line_number = 0;
    console_printf("\n-pass2-\n");
    // Without a pass-1 file from this run, an older one of the same name must
    // not be assembled in its place.
    if (!pass1_file_complete || (pass1_stream = std::fopen(pass1_file_name, "r")) == nullptr) {
        console_printf("\n File not found\n");
        return false;
    }
    object_stream = std::fopen(object_file_name, "w");
    if (object_stream == nullptr) {
        console_printf("\n File can not create for PASS2\n");
        std::fclose(pass1_stream);
        pass1_stream = nullptr;
        return false;
    }
    build_symbol_index();
    while (std::fgets(line_buffer, LINE_BUFFER_CAPACITY, pass1_stream) != nullptr) {
        // Pass 1 never writes a line this long; refuse rather than split it.
        if (std::strchr(line_buffer, '\n') == nullptr && !std::feof(pass1_stream)) {
            error_exit("\nERROR\nLine %d : pass-1 line too long\n", line_number + 1);
        }
        cursor = 0;
        while (next_token() != TOKEN_END_OF_LINE) {
        }
    }
    // An object code file cut short (a full disk) is not a completed pass.
    bool written = std::ferror(object_stream) == 0;
    written = std::fclose(object_stream) == 0 && written;
    object_stream = nullptr;
    std::fclose(pass1_stream);
    pass1_stream = nullptr;
    return written;
}
