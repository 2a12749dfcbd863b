#include "pass2.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "mistakes.hpp"
#include "opcode_table.hpp"
#include "stop.hpp"

namespace {

std::uint32_t name_hash(const char* name) {
    std::uint32_t hash = 2166136261u;
    for (const char* c = name; *c != '\0'; ++c) {
        hash ^= static_cast<unsigned char>(*c);
        hash *= 16777619u;
    }
    return hash;
}

// The slot holding name, or the empty slot where it belongs.
int index_slot(const Assembly& a, const char* name) {
    int slot = static_cast<int>(name_hash(name) & (SYMBOL_INDEX_SLOTS - 1));
    while (a.symbol_index[slot] >= 0 &&
           std::strcmp(a.SymbolTable[a.symbol_index[slot]].name, name) != 0) {
        slot = (slot + 1) & (SYMBOL_INDEX_SLOTS - 1);
    }
    return slot;
}

void note_finding(Assembly& a, const char* format, ...) __attribute__((format(printf, 2, 3)));

void note_finding(Assembly& a, const char* format, ...) {
    if (!a.note_findings) return;
    char text[160];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    a.findings.push_back(Finding{current_line(a.scan), text});
}

// Notes the line for the bytes a record places from address on.
void note_placement(Assembly& a, std::int32_t address, int length) {
    for (int i = 0; i < length; ++i) {
        std::int64_t at = static_cast<std::int64_t>(address) + i;
        if (at >= 0 && at < MEMORY_SIZE) a.line_of_address[at] = current_line(a.scan);
    }
    // Unsigned and without wrap-around: a negative address is beyond the area too.
    std::uint64_t end =
        std::uint64_t{static_cast<std::uint32_t>(address)} + static_cast<std::uint64_t>(length);
    if (end > a.assembled_end) a.assembled_end = end;
    if (end > MAX_MEMORY && !a.high_bytes_noted) {
        a.high_bytes_noted = true;
        note_finding(a, "bytes at address %d or above: the simulator refuses the file", MAX_MEMORY);
    }
}

void note_byte(Assembly& a, std::uint64_t value) {
    if (a.note_lines) a.line_bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

// An operand wider than its field keeps its low bits when it is loaded.
void note_cut(Assembly& a, std::uint64_t value, unsigned bytes) {
    std::uint64_t limit = bytes == 1 ? 0xFF : 0xFFFF;
    if (value > limit) {
        note_finding(a, "%llu does not fit in a %s: %llu is stored",
                     static_cast<unsigned long long>(value), bytes == 1 ? "byte" : "word",
                     static_cast<unsigned long long>(value & limit));
    }
}

// The operand's bytes, little-endian.
void note_operand(Assembly& a, std::uint64_t value, unsigned bytes) {
    note_cut(a, value, bytes);
    note_byte(a, value);
    if (bytes == 2) note_byte(a, value >> 8);
}

// Writes the label's value and returns it.
std::uint16_t write_label_operand(Assembly& a, const char* name) {
    int definitions = 0;
    int found = find_symbol(a, name, &definitions);
    int line = current_line(a.scan);
    if (found < 0) stop_assembly(line, "\nERROR\nCan not find symbol [%s]\n", name);
    if (definitions > 1)
        stop_assembly(line, "\nERROR\nLine %d : symbol [%s] defined more than once\n", line, name);
    put_number(a.object_code, a.SymbolTable[found].value);
    put(a.object_code, ' ');
    return a.SymbolTable[found].value;
}

void data_record(Assembly& a, std::string_view value) {
    note_placement(a, a.location_counter, 1);
    put_number(a.object_code, a.location_counter);
    put(a.object_code, " 255 ");
    put(a.object_code, value);
    put(a.object_code, '\n');
    advance_location(a, 1);
}

void number_record(Assembly& a, std::uint64_t value) {
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    data_record(a, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

void pass2_directive(Assembly& a, Directive directive) {
    char digits[OPERAND_CAPACITY];
    if (directive == DIRECTIVE_END || !read_operand_digits(a.scan, digits)) return;
    std::uint64_t value = digits_value(digits);
    if (directive == DIRECTIVE_ORG) {
        if (value > UINT32_MAX) {
            note_finding(a, "org %s is taken as %llu", digits,
                         static_cast<unsigned long long>(static_cast<std::uint32_t>(value)));
        }
        if (static_cast<std::uint32_t>(value) < a.assembled_end) {
            note_finding(a, "org %s moves back over bytes already assembled (up to address %llu)",
                         digits, static_cast<unsigned long long>(a.assembled_end - 1));
        }
        set_location(a, value);
    } else if (directive == DIRECTIVE_DB) {
        note_operand(a, value, 1);
        data_record(a, digits);
    } else {
        // A value above 65535 is not rejected: the second record carries it
        // shifted right by 8, unreduced.
        note_operand(a, value, 2);
        number_record(a, value & 0xFF);
        number_record(a, value >> 8);
    }
}

void pass2_instruction(Assembly& a, const OpcodeEntry& entry) {
    note_placement(a, a.location_counter, entry.length);
    put_number(a.object_code, a.location_counter);
    put(a.object_code, ' ');
    put_number(a.object_code, static_cast<int>(entry.opcode));
    put(a.object_code, ' ');
    note_byte(a, entry.opcode);
    if (entry.length > 1) {
        char operand[OPERAND_CAPACITY];
        unsigned bytes = entry.length - 1u;
        if (read_operand_digits(a.scan, operand)) {
            put(a.object_code, operand);
            put(a.object_code, ' ');
            note_operand(a, digits_value(operand), bytes);
        } else if (is_letter(char_at_cursor(a.scan))) {
            read_operand_name(a.scan, operand);
            note_operand(a, write_label_operand(a, operand), bytes);
            if (a.note_findings) {
                int definitions = 0;
                a.label_uses.push_back(
                    {current_line(a.scan), entry.opcode, find_symbol(a, operand, &definitions)});
            }
        } else {
            note_finding(a, "%s has no operand: the object code is read out of step from here",
                         entry.mnemonic);
        }
    }
    put(a.object_code, '\n');
    advance_location(a, entry.length);
}

// Directives and instructions write records; stray names and numbers are
// passed over.
void pass2_name(Assembly& a, const Token& t) {
    Directive directive = find_directive(t.text);
    if (directive != DIRECTIVE_NONE) {
        pass2_directive(a, directive);
    } else if (const OpcodeEntry* entry = find_mnemonic(t.text.data())) {
        pass2_instruction(a, *entry);
    } else {
        int definitions = 0;
        bool label = find_symbol(a, t.text.data(), &definitions) >= 0;
        note_finding(a, "%s '%s' is passed over",
                     label ? "label" : "no instruction, directive or label:", t.text.data());
    }
}

}  // namespace

void build_symbol_index(Assembly& a) {
    for (std::int16_t& slot : a.symbol_index) slot = -1;
    for (int i = 0; i < a.symbol_count; ++i) {
        int slot = index_slot(a, a.SymbolTable[i].name);
        if (a.symbol_index[slot] < 0) {
            a.symbol_index[slot] = static_cast<std::int16_t>(i);
            a.definition_count[i] = 1;
        } else {
            ++a.definition_count[a.symbol_index[slot]];
        }
    }
}

int find_symbol(const Assembly& a, const char* name, int* definitions) {
    int found = a.symbol_index[index_slot(a, name)];
    *definitions = found < 0 ? 0 : a.definition_count[found];
    return found;
}

void pass2_run(Assembly& a) {
    a.location_counter = 0;
    a.scan.line_number = 0;
    build_symbol_index(a);
    while (read_line(a.pass1_input, a.scan.line_buffer, LINE_BUFFER_CAPACITY)) {
        // Pass 1 never writes a line this long; refuse rather than split it.
        if (std::strchr(a.scan.line_buffer, '\n') == nullptr && !a.pass1_input.ended) {
            stop_assembly(current_line(a.scan), "\nERROR\nLine %d : pass-1 line too long\n",
                          current_line(a.scan));
        }
        start_line(a.scan);
        if (a.note_lines) {
            a.line_starts.push_back(LineStart{static_cast<std::uint32_t>(a.location_counter),
                                              static_cast<std::uint32_t>(a.line_bytes.size())});
        }
        for (Token t = next_token(a.scan); t.kind != TOKEN_END_OF_LINE; t = next_token(a.scan)) {
            if (t.kind == TOKEN_NAME) pass2_name(a, t);
            if (t.kind == TOKEN_NUMBER) {
                note_finding(a, "the number %.*s is passed over", static_cast<int>(t.text.size()),
                             t.text.data());
            }
        }
    }
    if (a.note_findings) note_mistakes(a);
}
