// Reads an object code file: whitespace-separated decimal tokens forming
// instruction records (ADDRESS OPCODE [OPERAND]) and data records
// (ADDRESS 255 VALUE). The file is streamed, never held whole.
#include <cstdio>
#include <cstdlib>

#include "console.hpp"
#include "driver.hpp"
#include "machine.hpp"

namespace {

std::FILE* object_file = nullptr;

bool is_blank(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

[[noreturn]] void reject_file(const char* format, const char* detail) {
    std::fclose(object_file);
    console_printf(format, detail);
    console_exit(255);
}

// Next token's value, converted as strtoll converts (saturating at the
// limits; no leading digits gives 0). False at the end of the file.
bool read_value(long long* value) {
    char token[OBJECT_TOKEN_MAX + 1];
    int c;
    do {
        c = getc_unlocked(object_file);
    } while (c != EOF && is_blank(c));
    if (c == EOF) return false;
    int length = 0;
    for (; c != EOF && !is_blank(c); c = getc_unlocked(object_file)) {
        if (length == OBJECT_TOKEN_MAX) {
            token[length] = '\0';
            reject_file("\nERROR\nObject code token too long : %s...\n", token);
        }
        token[length++] = static_cast<char>(c);
    }
    token[length] = '\0';
    *value = std::strtoll(token, nullptr, 10);
    return true;
}

// Bytes a record fills: its opcode's length, where an empty slot (length 0)
// takes a two-byte operand like a length-3 instruction.
int record_span(int op) {
    if (op == DATA_RECORD_MARKER) return 1;
    int n = opcode_length(op);
    return n == 0 ? 3 : n;
}

}  // namespace

void load_object_file(const char* file_name) {
    object_file = std::fopen(file_name, "r");
    if (object_file == nullptr) {
        console_printf("\nERROR\nFile not found\n");
        console_exit(255);
    }
    long long address = 0;
    long long op_value = 0;
    long long operand = 0;
    while (read_value(&address) && read_value(&op_value)) {
        int op = static_cast<std::uint8_t>(op_value);
        int span = record_span(op);
        if (address < 0 || address > MAX_MEMORY - span) {
            char text[32];
            std::snprintf(text, sizeof text, "%lld", address);
            reject_file("\nERROR\nObject code address out of range : %s\n", text);
        }
        if (op != DATA_RECORD_MARKER) memory[address] = static_cast<std::uint8_t>(op);
        if (span == 1 && op != DATA_RECORD_MARKER) continue;
        if (!read_value(&operand)) break;
        if (op == DATA_RECORD_MARKER) {
            memory[address] = static_cast<std::uint8_t>(operand);
        } else {
            memory[address + 1] = static_cast<std::uint8_t>(operand);
            if (span == 3) memory[address + 2] = static_cast<std::uint8_t>(operand >> 8);
        }
    }
    bool unreadable = std::ferror(object_file) != 0;
    std::fclose(object_file);
    object_file = nullptr;
    if (unreadable) {
        console_printf("\nERROR\nFile not found\n");
        console_exit(255);
    }
    dump_memory_map("memmap.txt");
}
