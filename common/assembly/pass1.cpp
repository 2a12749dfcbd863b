#include "pass1.hpp"

#include <cstdio>
#include <cstring>

#include "opcode_table.hpp"
#include "stop.hpp"

namespace {

void write_pass1_text(Assembly& a, std::string_view text) {
    if (a.blank_owed) put(a.pass1_text, ' ');
    a.blank_owed = false;
    put(a.pass1_text, text);
}

// A token that pass 2 must see again: listed and copied, each followed by a blank.
void list_and_copy(Assembly& a, std::string_view token) {
    put(a.listing, token);
    put(a.listing, ' ');
    write_pass1_text(a, token);
    put(a.pass1_text, ' ');
}

// org, db and dw take the digits that follow; end takes nothing.
void pass1_directive(Assembly& a, Directive directive, std::string_view name) {
    if (directive == DIRECTIVE_END) return;
    char digits[OPERAND_CAPACITY];
    if (!read_operand_digits(a.scan, digits)) {
        const char* which = directive == DIRECTIVE_ORG  ? "ORG"
                            : directive == DIRECTIVE_DB ? "DB"
                                                        : "DW";
        int line = current_line(a.scan);
        stop_assembly(line, "\nERROR\nLine %d : %s syntax error\n", line, which);
    }
    if (a.note_findings) {
        SourceItem::Kind kind = directive == DIRECTIVE_ORG  ? SourceItem::ORG
                                : directive == DIRECTIVE_DB ? SourceItem::DB
                                                            : SourceItem::DW;
        a.items.push_back({kind, current_line(a.scan), 0});
    }
    if (directive == DIRECTIVE_ORG) {
        set_location(a, digits_value(digits));
    } else {
        advance_location(a, directive == DIRECTIVE_DB ? 1 : 2);
    }
    write_pass1_text(a, name);
    put(a.pass1_text, ' ');
    put(a.pass1_text, digits);
    a.blank_owed = true;
}

// The name is a directive, a mnemonic or a stray name; the last two are
// listed and copied. A mnemonic's operand is the next token.
void pass1_name(Assembly& a, const Token& t) {
    Directive directive = find_directive(t.text);
    if (directive != DIRECTIVE_NONE) {
        pass1_directive(a, directive, t.text);
        return;
    }
    const OpcodeEntry* entry = find_mnemonic(t.text.data());
    if (entry != nullptr) {
        advance_location(a, entry->length);
        if (a.note_findings) a.items.push_back({SourceItem::INSTRUCTION, t.line, entry->opcode});
    }
    list_and_copy(a, t.text);
}

// Each character of a comment is listed with a blank behind it.
void list_comment(Assembly& a, std::string_view comment) {
    for (char c : comment) {
        put(a.listing, c);
        put(a.listing, ' ');
    }
}

void list_symbol_table(Assembly& a) {
    put(a.listing, "\nSymbol table\n");
    for (int i = 0; i < a.symbol_count; ++i) {
        char line[64];
        int length = std::snprintf(line, sizeof line, "%5d: %20s\n", a.SymbolTable[i].value,
                                   a.SymbolTable[i].name);
        put(a.listing, std::string_view(line, static_cast<std::size_t>(length)));
    }
}

}  // namespace

void define_label(Assembly& a, const Token& label) {
    if (a.symbol_count == SYMBOL_TABLE_SIZE)
        stop_assembly(label.line, "\nERROR\nLine %d : symbol table full\n", label.line);
    Symbol& symbol = a.SymbolTable[a.symbol_count++];
    label.text.copy(symbol.name, label.text.size());
    symbol.name[label.text.size()] = '\0';
    symbol.value = static_cast<std::uint16_t>(static_cast<std::uint32_t>(a.location_counter));
}

void pass1_run(Assembly& a) {
    a.location_counter = 0;
    a.scan.line_number = 0;
    a.end_seen = false;
    while (!a.end_seen && read_line(a.source, a.scan.line_buffer, SOURCE_LINE_CAPACITY)) {
        put_address(a.listing, a.location_counter);
        start_line(a.scan);
        a.blank_owed = false;
        Token t = next_token(a.scan);
        for (; t.kind != TOKEN_END_OF_LINE; t = next_token(a.scan)) {
            switch (t.kind) {
                case TOKEN_NAME: pass1_name(a, t); break;
                case TOKEN_LABEL:
                    define_label(a, t);
                    if (a.note_findings)
                        a.items.push_back({SourceItem::LABEL, t.line, a.symbol_count - 1});
                    break;
                case TOKEN_NUMBER: list_and_copy(a, t.text); break;
                case TOKEN_INVALID:
                    list_and_copy(a, t.text);
                    stop_assembly(t.line, "\nERROR\nLine %d have syntax error\n", t.line);
                case TOKEN_BAD_LABEL:
                    stop_assembly(t.line, "\nERROR\nLine %d have syntax error\n", t.line);
                case TOKEN_END_OF_LINE: break;
            }
            // Also the definition [end ends the pass after its line.
            if (t.text == "end") a.end_seen = true;
        }
        list_comment(a, t.text);
        put(a.listing, '\n');
        put(a.pass1_text, '\n');
    }
    list_symbol_table(a);
}
