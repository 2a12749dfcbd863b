// One open document as the assembler sees it: its lines, every token with
// its place and role, and the outcome of assembling it in memory.
//
// Tokens come from the assembler's own scanner, fed the pieces the
// assembler reads (a line of more than 254 characters is several pieces,
// each a line of its own for the assembler), so a name, a number or a label
// is exactly what the assembler takes it for. Operands are found the way
// pass 2 finds them: the token after a 2- or 3-byte mnemonic in the text
// pass 1 copies, whatever it is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "assemble.hpp"

enum class Role : std::uint8_t {
    MNEMONIC,
    DIRECTIVE,
    LABEL_DEFINITION,  // the name after '[' (the '[' is not part of the token)
    LABEL_USE,         // a name read as an instruction's operand
    NUMBER,
    COMMENT,     // from ';' to the line end
    STRAY_NAME,  // a name the assembler passes over
    INVALID,     // a character the assembler stops at
};

struct SourceToken {
    int line = 0;    // 0-based editor line
    int column = 0;  // byte offset in the line
    int length = 0;  // bytes
    Role role = Role::INVALID;
    std::string name;  // lower-cased text of a name or label; the digits of a number
};

struct SourceText {
    std::string text;
    std::vector<std::size_t> line_starts;  // byte offset of every line

    explicit SourceText(std::string content = {});
    int line_count() const { return static_cast<int>(line_starts.size()); }
    // The line without its line end ("\n" or "\r\n").
    std::string_view line(int index) const;
};

struct SourceModel {
    SourceText source;
    std::vector<SourceToken> tokens;  // in the order of the text
    // The editor line of every line the assembler numbers (index: its
    // number - 1).
    std::vector<int> line_of_assembler_line;
    // Per editor line: one piece, read before `end`, scanned without a stop;
    // only such lines are laid out again by the formatter.
    std::vector<bool> plain_line;
    AssemblyResult assembly;
    // Every error of the source (the first is assembly's), when it fails.
    std::vector<AssemblyError> errors;

    // The token whose bytes include column on line, or nullptr.
    const SourceToken* token_at(int line, int column) const;
    // The editor line of an assembler line number (1-based), clamped.
    int editor_line(int assembler_line) const;
    // The symbol table entry of a label name, or nullptr; how many there are.
    const Symbol* symbol(std::string_view name, int* definitions = nullptr) const;
};

SourceModel analyse_source(std::string text);
