#include "source_model.hpp"

#include <algorithm>
#include <cstring>
#include <memory>

#include "assembly.hpp"
#include "opcode_table.hpp"
#include "scanner.hpp"
#include "stop.hpp"

SourceText::SourceText(std::string content) : text(std::move(content)) {
    line_starts.push_back(0);
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        line_starts.push_back(at + 1);
}

std::string_view SourceText::line(int index) const {
    if (index < 0 || index >= line_count()) return {};
    std::size_t start = line_starts[static_cast<std::size_t>(index)];
    std::size_t end = index + 1 < line_count()
                          ? line_starts[static_cast<std::size_t>(index) + 1] - 1
                          : text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

namespace {

struct PieceScan {
    std::vector<SourceToken> tokens;
    bool stopped = false;   // the scanner or a directive stopped the assembler here
    bool end_seen = false;  // the piece holds `end`: the assembler reads no further
};

// Scans one piece (at most 255 bytes, the line feed included) as pass 1
// does, with positions relative to the editor line.
PieceScan scan_piece(std::string_view piece, int line, int offset) {
    PieceScan result;
    auto cursor = std::make_unique<SourceCursor>();
    SourceCursor& s = *cursor;
    std::memcpy(s.line_buffer, piece.data(), piece.size());
    s.line_buffer[piece.size()] = '\0';
    start_line(s);
    auto add = [&](int end, int length, Role role, std::string_view name) {
        result.tokens.push_back(
            SourceToken{line, offset + end - length, length, role, std::string(name)});
    };
    try {
        for (Token t = next_token(s);; t = next_token(s)) {
            int length = static_cast<int>(t.text.size());
            if (t.kind == TOKEN_END_OF_LINE) {
                if (!t.text.empty()) {
                    int column = static_cast<int>(t.text.data() - s.line_buffer);
                    add(column + length, length, Role::COMMENT, t.text);
                }
                break;
            }
            if (t.text == "end") result.end_seen = true;
            switch (t.kind) {
                case TOKEN_LABEL: add(s.cursor, length, Role::LABEL_DEFINITION, t.text); break;
                case TOKEN_NUMBER: add(s.cursor, length, Role::NUMBER, t.text); break;
                case TOKEN_INVALID:
                case TOKEN_BAD_LABEL:
                    add(s.cursor, 1, Role::INVALID, {});
                    result.stopped = true;
                    break;
                case TOKEN_NAME: {
                    Directive directive = find_directive(t.text);
                    if (directive == DIRECTIVE_NONE) {
                        bool mnemonic = find_mnemonic(t.text.data()) != nullptr;
                        add(s.cursor, length, mnemonic ? Role::MNEMONIC : Role::STRAY_NAME, t.text);
                        break;
                    }
                    add(s.cursor, length, Role::DIRECTIVE, t.text);
                    char digits[OPERAND_CAPACITY];
                    if (directive == DIRECTIVE_END) break;
                    if (read_operand_digits(s, digits)) {
                        int digits_length = static_cast<int>(std::strlen(digits));
                        add(s.cursor, digits_length, Role::NUMBER, digits);
                    } else {
                        result.stopped = true;
                    }
                    break;
                }
                case TOKEN_END_OF_LINE: break;
            }
        }
    } catch (const AssemblyStop&) {
        result.stopped = true;
    }
    return result;
}

// Pass 2 reads a 2- or 3-byte instruction's operand from the text pass 1
// copied: the next name or number there, whatever it is.
void mark_operands(std::vector<SourceToken>& tokens) {
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].role != Role::MNEMONIC) continue;
        const OpcodeEntry* entry = find_mnemonic(tokens[i].name.c_str());
        if (entry == nullptr || entry->length < 2) continue;
        std::size_t next = i + 1;
        while (next < tokens.size() && tokens[next].role == Role::LABEL_DEFINITION) ++next;
        if (next >= tokens.size() || tokens[next].line != tokens[i].line) continue;
        Role role = tokens[next].role;
        // Pass 1 copies no `end`: pass 2 finds no operand there.
        if (role == Role::DIRECTIVE && tokens[next].name == "end") continue;
        if (role == Role::MNEMONIC || role == Role::DIRECTIVE || role == Role::STRAY_NAME) {
            tokens[next].role = Role::LABEL_USE;
            i = next;
        } else if (role == Role::NUMBER) {
            i = next;
        }
    }
}

}  // namespace

// Each error shown costs an assembly of the whole source: a large source
// shows its first only.
constexpr std::size_t MAX_ERRORS_SHOWN = 20;
constexpr std::size_t MAX_BYTES_FOR_EVERY_ERROR = std::size_t{256} << 10;

SourceModel analyse_source(std::string text) {
    SourceModel model;
    model.source = SourceText(std::move(text));
    const SourceText& source = model.source;
    model.plain_line.assign(static_cast<std::size_t>(source.line_count()), false);
    bool ended = false;
    for (int line = 0; line < source.line_count() && !ended; ++line) {
        // The line with its line feed, cut as the assembler's reads cut it.
        std::size_t start = source.line_starts[static_cast<std::size_t>(line)];
        std::size_t end = line + 1 < source.line_count()
                              ? source.line_starts[static_cast<std::size_t>(line) + 1]
                              : source.text.size();
        if (start == end) break;  // the text ends with a line feed: no further line
        int pieces = 0;
        bool stopped = false;
        for (std::size_t at = start; at < end && !ended;) {
            std::size_t size =
                std::min(end - at, static_cast<std::size_t>(SOURCE_LINE_CAPACITY - 1));
            PieceScan scan = scan_piece(std::string_view(source.text).substr(at, size), line,
                                        static_cast<int>(at - start));
            model.line_of_assembler_line.push_back(line);
            model.tokens.insert(model.tokens.end(), scan.tokens.begin(), scan.tokens.end());
            stopped = stopped || scan.stopped;
            ended = scan.end_seen;
            ++pieces;
            at += size;
        }
        model.plain_line[static_cast<std::size_t>(line)] = pieces == 1 && !stopped && !ended;
    }
    mark_operands(model.tokens);
    model.assembly = assemble_source(model.source.text);
    if (!model.assembly.ok)
        model.errors = every_error(
            model.source.text,
            model.source.text.size() <= MAX_BYTES_FOR_EVERY_ERROR ? MAX_ERRORS_SHOWN : 1);
    return model;
}

const SourceToken* SourceModel::token_at(int line, int column) const {
    auto first = std::lower_bound(tokens.begin(), tokens.end(), line,
                                  [](const SourceToken& t, int l) { return t.line < l; });
    for (auto t = first; t != tokens.end() && t->line == line; ++t) {
        // A position just behind a name still names it, as editors place
        // the cursor there after typing.
        if (column >= t->column && column <= t->column + t->length && t->role != Role::COMMENT)
            return &*t;
        if (t->role == Role::COMMENT && column >= t->column && column < t->column + t->length)
            return &*t;
    }
    return nullptr;
}

int SourceModel::editor_line(int assembler_line) const {
    if (line_of_assembler_line.empty()) return 0;
    std::size_t index = static_cast<std::size_t>(std::max(assembler_line, 1) - 1);
    index = std::min(index, line_of_assembler_line.size() - 1);
    return line_of_assembler_line[index];
}

const Symbol* SourceModel::symbol(std::string_view name, int* definitions) const {
    const Symbol* found = nullptr;
    int count = 0;
    for (const Symbol& s : assembly.symbols) {
        if (name == s.name) {
            if (found == nullptr) found = &s;
            ++count;
        }
    }
    if (definitions != nullptr) *definitions = count;
    return found;
}
