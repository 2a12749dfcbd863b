#include "pass1.hpp"

#include <cstdio>
#include <cstring>

#include "console.hpp"
#include "driver.hpp"
#include "opcode_table.hpp"
#include "tokenizer.hpp"

std::int32_t location_counter = 0;
Symbol SymbolTable[SYMBOL_TABLE_SIZE];
int symbol_count = 0;
int end_seen = 0;

namespace {

// Set after a directive's digits are written, so that a token following them
// on the same line gets a blank between and is not glued to the digits.
bool blank_owed = false;

void write_pass1_text(const char* text) {
    if (blank_owed) std::fputc(' ', pass1_stream);
    blank_owed = false;
    std::fputs(text, pass1_stream);
}

// A token that pass 2 must see again: listed and copied, each followed by a blank.
void list_and_copy(const char* token) {
    console_write(token, std::strlen(token));
    console_put(' ');
    write_pass1_text(token);
    std::fputc(' ', pass1_stream);
}

void print_symbol_table() {
    console_printf("\nSymbol table\n");
    for (int i = 0; i < symbol_count; ++i) {
        console_printf("%5d: %20s\n", SymbolTable[i].value, SymbolTable[i].name);
    }
}

}  // namespace

void advance_location(std::uint32_t amount) {
    location_counter =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(location_counter) + amount);
}

std::uint64_t digits_value(const char* digits) {
    std::uint64_t value = 0;
    for (const char* d = digits; *d != '\0'; ++d)
        value = value * 10 + static_cast<std::uint64_t>(*d - '0');
    return value;
}

void define_label(const char* name) {
    if (symbol_count == SYMBOL_TABLE_SIZE)
        error_exit("\nERROR\nLine %d : symbol table full\n", line_number + 1);
    Symbol& symbol = SymbolTable[symbol_count++];
    std::strcpy(symbol.name, name);
    symbol.value = static_cast<std::uint16_t>(static_cast<std::uint32_t>(location_counter));
}

int pass1_directive(const char* text) {
    if (std::strcmp(text, "end") == 0) return 1;
    bool org = std::strcmp(text, "org") == 0;
    bool db = std::strcmp(text, "db") == 0;
    bool dw = std::strcmp(text, "dw") == 0;
    if (!org && !db && !dw) return 0;

    char digits[OPERAND_CAPACITY];
    if (!read_operand_digits(digits)) {
        if (org) error_exit("\nERROR\nLine %d : ORG syntax error\n", line_number + 1);
        if (db) error_exit("\nERROR\nLine %d : DB syntax error\n", line_number + 1);
        error_exit("\nERROR\nLine %d : DW syntax error\n", line_number + 1);
    }
    if (org) {
        // Keeps the low 32 bits of the value.
        location_counter =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(digits_value(digits)));
    } else {
        advance_location(db ? 1 : 2);
    }
    write_pass1_text(text);
    std::fputc(' ', pass1_stream);
    std::fputs(digits, pass1_stream);
    blank_owed = true;
    return 1;
}

int pass1_mnemonic(const char* text) {
    const OpcodeEntry* entry = find_mnemonic(text);
    if (entry == nullptr) return 0;
    advance_location(entry->length);
    return 1;
}

void pass1_loop() {
    blank_owed = false;
    while (!end_seen && std::fgets(line_buffer, SOURCE_LINE_CAPACITY, source_stream) != nullptr) {
        console_printf("%5d: ", location_counter);
        cursor = 0;
        blank_owed = false;
        for (TokenKind kind = next_token(); kind != TOKEN_END_OF_LINE; kind = next_token()) {
            if (kind != TOKEN_DIRECTIVE && label_flag == 0) list_and_copy(token_buffer);
            if (std::strcmp(token_buffer, "end") == 0) end_seen = 1;
            if (kind == TOKEN_INVALID)
                error_exit("\nERROR\nLine %d have syntax error\n", line_number + 1);
        }
        console_put('\n');
        std::fputc('\n', pass1_stream);
    }
    // A pass-1 file cut short (a full disk) must not be assembled.
    bool written = std::ferror(pass1_stream) == 0;
    written = std::fclose(pass1_stream) == 0 && written;
    pass1_stream = nullptr;
    std::fclose(source_stream);
    source_stream = nullptr;
    print_symbol_table();
    if (written) {
        pass1_file_complete = true;
    } else {
        console_printf("\n File can not create for PASS1\n");
    }
}
