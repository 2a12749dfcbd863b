#include "features.hpp"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "instruction_notes.hpp"
#include "opcode_table.hpp"
#include "protocol_values.hpp"
#include "scanner.hpp"

namespace {

// The protocol's enumerations this server uses.
constexpr int COMPLETION_KEYWORD = 14;
constexpr int COMPLETION_VARIABLE = 6;
constexpr int SYMBOL_FUNCTION = 12;
constexpr int SYMBOL_VARIABLE = 13;
constexpr int SYMBOL_CONSTANT = 14;

struct DirectiveNote {
    std::string_view name, text;
};
constexpr DirectiveNote DIRECTIVE_NOTES[] = {
    {"org", "`org N`: the next byte is assembled at address N."},
    {"db", "`db N`: one data byte with the value N (its low 8 bits)."},
    {"dw", "`dw N`: one data word with the value N, low byte first."},
    {"end", "`end`: the end of the source; later lines are not read."},
};

constexpr int INSTRUCTION_COLUMN = 8;
constexpr int COMMENT_COLUMN = 24;

std::string address_text(std::uint16_t value) {
    char text[40];
    std::snprintf(text, sizeof text, "address %u (0x%04X)", value, value);
    return text;
}

std::string label_hover(const SourceModel& model, const std::string& name) {
    int definitions = 0;
    const Symbol* symbol = model.symbol(name, &definitions);
    std::string text = "label `" + name + "`";
    if (symbol == nullptr) {
        bool defined = std::any_of(model.tokens.begin(), model.tokens.end(), [&](const auto& t) {
            return t.role == Role::LABEL_DEFINITION && t.name == name;
        });
        return text + (defined ? ": its address is not known (the assembler stopped first)"
                               : ": not defined");
    }
    text += ": " + address_text(symbol->value);
    if (definitions > 1) {
        text += "; defined " + std::to_string(definitions) +
                " times, which the assembler refuses where it is used";
    }
    return text;
}

std::string mnemonic_hover(const std::string& name) {
    const OpcodeEntry* entry = find_mnemonic(name.c_str());
    const InstructionNote* note = find_instruction_note(name);
    if (entry == nullptr || note == nullptr) return {};
    char facts[96];
    std::snprintf(facts, sizeof facts, "%d byte%s · %d clock%s · opcode %d (0x%02X)", entry->length,
                  entry->length == 1 ? "" : "s", entry->clocks, entry->clocks == 1 ? "" : "s",
                  entry->opcode, entry->opcode);
    return "`" + name + "` — " + std::string(note->description) + "\n\n" + facts + "\n\nStack: `" +
           std::string(note->stack) + "`\n\nFlags: " + std::string(note->flags);
}

std::string number_hover(const std::string& digits) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size())
        return "`" + digits + "`: more than 64 bits";
    char text[160];
    int length =
        std::snprintf(text, sizeof text, "`%llu` = 0x%llX", static_cast<unsigned long long>(value),
                      static_cast<unsigned long long>(value));
    std::string result(text, static_cast<std::size_t>(length));
    if (value >= 32 && value <= 126) {
        result += " = '";
        result += static_cast<char>(value);
        result += "'";
    }
    if (value > 255) {
        std::snprintf(text, sizeof text, "; as a byte %llu, as a word %llu",
                      static_cast<unsigned long long>(value & 0xFF),
                      static_cast<unsigned long long>(value & 0xFFFF));
        result += text;
    }
    return result;
}

std::vector<const SourceToken*> label_tokens(const SourceModel& model, const std::string& name,
                                             bool uses, bool definitions) {
    std::vector<const SourceToken*> found;
    for (const SourceToken& t : model.tokens) {
        if (t.name != name) continue;
        if ((uses && t.role == Role::LABEL_USE) ||
            (definitions && t.role == Role::LABEL_DEFINITION))
            found.push_back(&t);
    }
    return found;
}

Json location(const SourceModel& model, const Encoding& encoding, const std::string& uri,
              const SourceToken& t) {
    return {{"uri", uri}, {"range", token_range(model, encoding, t)}};
}

std::string lower(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = to_lower(c);
    return result;
}

// The text with every token of the list replaced (tokens in text order).
std::string replaced(const SourceModel& model, const std::vector<const SourceToken*>& tokens,
                     const std::string& replacement) {
    std::string text;
    std::size_t copied = 0;
    for (const SourceToken* t : tokens) {
        std::size_t at = model.source.line_starts[static_cast<std::size_t>(t->line)] +
                         static_cast<std::size_t>(t->column);
        text.append(model.source.text, copied, at - copied);
        text += replacement;
        copied = at + static_cast<std::size_t>(t->length);
    }
    text.append(model.source.text, copied);
    return text;
}

}  // namespace

int Encoding::units(std::string_view line, int byte_column) const {
    std::size_t end = std::min(line.size(), static_cast<std::size_t>(std::max(byte_column, 0)));
    if (!utf16) return static_cast<int>(end);
    int count = 0;
    for (std::size_t i = 0; i < end; ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte
        count += c >= 0xF0 ? 2 : 1;        // beyond the first plane: a surrogate pair
    }
    return count;
}

int Encoding::byte_column(std::string_view line, int units) const {
    if (units <= 0) return 0;
    if (!utf16) return static_cast<int>(std::min(line.size(), static_cast<std::size_t>(units)));
    int count = 0;
    std::size_t i = 0;
    while (i < line.size() && count < units) {
        auto c = static_cast<unsigned char>(line[i]);
        count += c >= 0xF0 ? 2 : 1;
        ++i;
        while (i < line.size() && (static_cast<unsigned char>(line[i]) & 0xC0) == 0x80) ++i;
    }
    return static_cast<int>(i);
}

Json hover(const SourceModel& model, const Encoding& encoding, int line, int column) {
    const SourceToken* t = token_at(model, encoding, line, column);
    if (t == nullptr) return nullptr;
    std::string text;
    switch (t->role) {
        case Role::MNEMONIC: text = mnemonic_hover(t->name); break;
        case Role::DIRECTIVE:
            for (const DirectiveNote& d : DIRECTIVE_NOTES) {
                if (d.name == t->name) text = d.text;
            }
            break;
        case Role::LABEL_DEFINITION:
        case Role::LABEL_USE: text = label_hover(model, t->name); break;
        case Role::NUMBER: text = number_hover(t->name); break;
        case Role::STRAY_NAME:
            text = "`" + t->name + "`: no instruction, directive or label operand; passed over";
            break;
        case Role::COMMENT:
        case Role::INVALID: return nullptr;
    }
    if (text.empty()) return nullptr;
    return {{"contents", {{"kind", "markdown"}, {"value", text}}},
            {"range", token_range(model, encoding, *t)}};
}

namespace {

// Where completion was asked: in a comment, at the first word of a line,
// where an operand goes, or after a whole instruction.
enum class CompletionPlace { COMMENT, LINE_START, LABEL_NAME, OPERAND, NEXT_INSTRUCTION };

CompletionPlace completion_place(const SourceModel& model, int line, int column) {
    const SourceToken* before = nullptr;  // the last token ended before the word typed
    for (const SourceToken& t : model.tokens) {
        if (t.line != line) continue;
        if (t.role == Role::COMMENT && t.column < column) return CompletionPlace::COMMENT;
        if (t.column >= column) break;
        if (t.column + t.length >= column) {  // the word being typed
            if (t.role == Role::LABEL_DEFINITION) return CompletionPlace::LABEL_NAME;
            break;
        }
        before = &t;
    }
    if (before == nullptr) return CompletionPlace::LINE_START;
    const OpcodeEntry* entry =
        before->role == Role::MNEMONIC ? find_mnemonic(before->name.c_str()) : nullptr;
    return entry != nullptr && entry->length > 1 ? CompletionPlace::OPERAND
                                                 : CompletionPlace::NEXT_INSTRUCTION;
}

// The first definition of every label, or of every name used as a label
// operand and defined nowhere.
std::vector<const SourceToken*> completion_labels(const SourceModel& model, bool undefined) {
    std::unordered_set<std::string> defined, seen;
    for (const SourceToken& t : model.tokens) {
        if (t.role == Role::LABEL_DEFINITION) defined.insert(t.name);
    }
    std::vector<const SourceToken*> found;
    for (const SourceToken& t : model.tokens) {
        if (t.role != (undefined ? Role::LABEL_USE : Role::LABEL_DEFINITION)) continue;
        if (undefined && defined.count(t.name) > 0) continue;
        if (seen.insert(t.name).second) found.push_back(&t);
    }
    return found;
}

}  // namespace

Json completion(const SourceModel& model, const Encoding& encoding, int line, int character) {
    Json items = Json::array();
    CompletionPlace place =
        completion_place(model, line, encoding.byte_column(model.source.line(line), character));
    if (place == CompletionPlace::COMMENT) return {{"isIncomplete", false}, {"items", items}};
    if (place == CompletionPlace::LINE_START || place == CompletionPlace::NEXT_INSTRUCTION) {
        for (const InstructionNote& note : INSTRUCTION_NOTES) {
            const OpcodeEntry* entry = find_mnemonic(std::string(note.mnemonic).c_str());
            if (entry == nullptr) continue;
            items.push_back(
                {{"label", note.mnemonic},
                 {"kind", COMPLETION_KEYWORD},
                 {"detail", std::string(note.description) + " · " + std::to_string(entry->length) +
                                " B · " + std::to_string(entry->clocks) + " clocks"}});
        }
        for (const DirectiveNote& d : DIRECTIVE_NOTES) {
            items.push_back(
                {{"label", d.name}, {"kind", COMPLETION_KEYWORD}, {"detail", "directive"}});
        }
    }
    // A definition for a label used but not defined yet.
    if (place == CompletionPlace::LINE_START || place == CompletionPlace::LABEL_NAME) {
        bool bracket = place == CompletionPlace::LINE_START;
        for (const SourceToken* t : completion_labels(model, true)) {
            std::string name(written(model, *t));
            items.push_back(
                {{"label", bracket ? "[" + name : name},
                 {"filterText", name},
                 {"kind", COMPLETION_VARIABLE},
                 {"detail", "definition of a label used on line " + std::to_string(t->line + 1)}});
        }
    }
    if (place == CompletionPlace::OPERAND) {
        for (const SourceToken* t : completion_labels(model, false)) {
            const Symbol* symbol = model.symbol(t->name);
            items.push_back({{"label", std::string(written(model, *t))},
                             {"kind", COMPLETION_VARIABLE},
                             {"detail", symbol != nullptr ? "label, " + address_text(symbol->value)
                                                          : std::string("label")}});
        }
    }
    return {{"isIncomplete", false}, {"items", items}};
}

Json document_symbols(const SourceModel& model, const Encoding& encoding) {
    Json list = Json::array();
    for (std::size_t i = 0; i < model.tokens.size(); ++i) {
        const SourceToken& t = model.tokens[i];
        if (t.role != Role::LABEL_DEFINITION) continue;
        // What the label names: code, data (db, dw) or neither.
        int kind = SYMBOL_CONSTANT;
        for (std::size_t j = i + 1; j < model.tokens.size(); ++j) {
            const SourceToken& next = model.tokens[j];
            if (next.role == Role::MNEMONIC) kind = SYMBOL_FUNCTION;
            if (next.role == Role::DIRECTIVE && (next.name == "db" || next.name == "dw"))
                kind = SYMBOL_VARIABLE;
            if (next.role == Role::MNEMONIC || next.role == Role::DIRECTIVE) break;
        }
        const Symbol* symbol = model.symbol(t.name);
        list.push_back({{"name", std::string(written(model, t))},
                        {"detail", symbol != nullptr ? address_text(symbol->value) : ""},
                        {"kind", kind},
                        {"range", line_range(model, encoding, t.line)},
                        {"selectionRange", token_range(model, encoding, t)}});
    }
    return list;
}

Json definition(const SourceModel& model, const Encoding& encoding, const std::string& uri,
                int line, int column) {
    const SourceToken* t = token_at(model, encoding, line, column);
    if (!is_label(t)) return nullptr;
    Json list = Json::array();
    for (const SourceToken* d : label_tokens(model, t->name, false, true))
        list.push_back(location(model, encoding, uri, *d));
    if (list.empty()) return nullptr;
    return list.size() == 1 ? list[0] : list;
}

Json references(const SourceModel& model, const Encoding& encoding, const std::string& uri,
                int line, int column, bool include_definitions) {
    const SourceToken* t = token_at(model, encoding, line, column);
    if (!is_label(t)) return nullptr;
    Json list = Json::array();
    for (const SourceToken* r : label_tokens(model, t->name, true, include_definitions))
        list.push_back(location(model, encoding, uri, *r));
    return list;
}

Json prepare_rename(const SourceModel& model, const Encoding& encoding, int line, int column) {
    const SourceToken* t = token_at(model, encoding, line, column);
    if (!is_label(t)) return nullptr;
    return {{"range", token_range(model, encoding, *t)},
            {"placeholder", std::string(written(model, *t))}};
}

Json rename(const SourceModel& model, const Encoding& encoding, const std::string& uri, int line,
            int column, const std::string& new_name) {
    const SourceToken* t = token_at(model, encoding, line, column);
    if (!is_label(t)) throw RequestRefused{"only labels can be renamed"};
    bool name_form = !new_name.empty() && new_name.size() < SYMBOL_NAME_CAPACITY &&
                     is_letter(static_cast<unsigned char>(new_name[0])) &&
                     std::all_of(new_name.begin(), new_name.end(), [](char c) {
                         auto u = static_cast<unsigned char>(c);
                         return is_letter(u) || is_digit(u);
                     });
    if (!name_form) {
        throw RequestRefused{"'" + new_name +
                             "' is not a label name: a letter, then letters and digits, at most " +
                             std::to_string(SYMBOL_NAME_CAPACITY - 1) + " characters"};
    }
    const std::string name = lower(new_name);
    if (find_mnemonic(name.c_str()) != nullptr)
        throw RequestRefused{"'" + new_name + "' is an instruction, not a label name"};
    if (find_directive(name) != DIRECTIVE_NONE)
        throw RequestRefused{"'" + new_name + "' is a directive, not a label name"};
    if (name != t->name) {
        // A name used anywhere, even undefined, would capture its uses.
        std::vector<const SourceToken*> taken = label_tokens(model, name, false, true);
        if (!taken.empty()) {
            throw RequestRefused{"'" + new_name + "' is already defined on line " +
                                 std::to_string(taken[0]->line + 1)};
        }
        for (const SourceToken& other : model.tokens) {
            if (other.name == name && other.role != Role::NUMBER && other.role != Role::COMMENT)
                throw RequestRefused{"'" + new_name + "' is already used on line " +
                                     std::to_string(other.line + 1)};
        }
    }
    std::vector<const SourceToken*> renamed = label_tokens(model, t->name, true, true);
    // Longer names can push a line past what the assembler reads as one line.
    AssemblyResult after = assemble_source(replaced(model, renamed, new_name));
    if (model.assembly.ok && !assembles_alike(after, model.assembly))
        throw RequestRefused{"the renamed source would not assemble to the same object code"};
    Json edits = Json::array();
    for (const SourceToken* r : renamed)
        edits.push_back({{"range", token_range(model, encoding, *r)}, {"newText", new_name}});
    return {{"changes", {{uri, edits}}}};
}

namespace {

struct LineLayout {
    std::string labels;  // the leading label definitions, as written
    std::string code;    // the other tokens, as written, one blank apart
    std::string comment;
    bool data = false;  // the code starts with db or dw
};

LineLayout layout_of(const SourceModel& model, std::vector<SourceToken>::const_iterator first,
                     std::vector<SourceToken>::const_iterator last) {
    LineLayout layout;
    for (auto t = first; t != last; ++t) {
        std::string text(written(model, *t));
        if (t->role == Role::COMMENT) {
            text.erase(text.find_last_not_of(" \t") + 1);
            layout.comment = text;
            continue;
        }
        if (t->role == Role::LABEL_DEFINITION) text.insert(0, 1, '[');
        bool leading_label = t->role == Role::LABEL_DEFINITION && layout.code.empty();
        if (!leading_label && layout.code.empty())
            layout.data = t->role == Role::DIRECTIVE && (t->name == "db" || t->name == "dw");
        std::string& part = leading_label ? layout.labels : layout.code;
        if (!part.empty()) part += ' ';
        part += text;
    }
    return layout;
}

// Whether a and b differ only in blanks: the layout may move a line's
// words, never drop one (after a NUL byte, say, which ends the line for the
// assembler but not for the editor).
bool same_but_blanks(std::string_view a, std::string_view b) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t i = 0;
    std::size_t j = 0;
    for (;;) {
        while (i < a.size() && blank(a[i])) ++i;
        while (j < b.size() && blank(b[j])) ++j;
        if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
        if (a[i++] != b[j++]) return false;
    }
}

void pad_to(std::string& text, std::size_t column) {
    text.append(text.size() + 1 > column ? 1 : column - text.size(), ' ');
}

// The new content of every line the layout changes; empty where it keeps it.
std::vector<std::optional<std::string>> formatted_lines(const SourceModel& model) {
    const int lines = model.source.line_count();
    std::vector<std::optional<LineLayout>> layouts(static_cast<std::size_t>(lines));
    auto t = model.tokens.begin();
    for (int line = 0; line < lines; ++line) {
        auto first = t;
        while (t != model.tokens.end() && t->line == line) ++t;
        bool comment_only = first != t && first->role == Role::COMMENT;
        if (model.plain_line[static_cast<std::size_t>(line)] && !comment_only)
            layouts[static_cast<std::size_t>(line)] = layout_of(model, first, t);
    }
    std::vector<std::optional<std::string>> result(static_cast<std::size_t>(lines));
    for (int line = 0; line < lines;) {
        // A run of data lines lines up behind its longest label.
        int end = line + 1;
        std::size_t column = INSTRUCTION_COLUMN;
        if (const auto& here = layouts[static_cast<std::size_t>(line)]; here && here->data) {
            while (end < lines && layouts[static_cast<std::size_t>(end)] &&
                   layouts[static_cast<std::size_t>(end)]->data)
                ++end;
        }
        for (int l = line; l < end; ++l) {
            if (const auto& layout = layouts[static_cast<std::size_t>(l)])
                column = std::max(column, layout->labels.size() + 1);
        }
        for (int l = line; l < end; ++l) {
            const auto& layout = layouts[static_cast<std::size_t>(l)];
            if (!layout) continue;
            std::string text = layout->labels;
            if (!layout->code.empty()) {
                pad_to(text, column);
                text += layout->code;
            }
            if (!layout->comment.empty()) {
                if (!text.empty()) pad_to(text, COMMENT_COLUMN);
                text += layout->comment;
            }
            std::string_view old = model.source.line(l);
            // The line, its line end included, must stay within one read.
            if (text != old && text.size() + 2 < SOURCE_LINE_CAPACITY && same_but_blanks(text, old))
                result[static_cast<std::size_t>(l)] = text;
        }
        line = end;
    }
    return result;
}

}  // namespace

namespace {

std::string joined(const SourceModel& model, const std::vector<std::optional<std::string>>& lines) {
    std::string text;
    for (int line = 0; line < model.source.line_count(); ++line) {
        std::size_t start = model.source.line_starts[static_cast<std::size_t>(line)];
        std::size_t content = model.source.line(line).size();
        const auto& changed = lines[static_cast<std::size_t>(line)];
        text += changed ? *changed : model.source.text.substr(start, content);
        // The line end as it was.
        std::size_t next = line + 1 < model.source.line_count()
                               ? model.source.line_starts[static_cast<std::size_t>(line) + 1]
                               : model.source.text.size();
        text.append(model.source.text, start + content, next - start - content);
    }
    return text;
}

// The changed lines, or none when the new text would assemble differently.
std::vector<std::optional<std::string>> checked_lines(const SourceModel& model) {
    std::vector<std::optional<std::string>> lines = formatted_lines(model);
    if (std::none_of(lines.begin(), lines.end(), [](const auto& l) { return l.has_value(); }))
        return lines;
    if (!assembles_alike(assemble_source(joined(model, lines)), model.assembly))
        return std::vector<std::optional<std::string>>(lines.size());
    return lines;
}

}  // namespace

std::string formatted_text(const SourceModel& model) { return joined(model, checked_lines(model)); }

Json formatting(const SourceModel& model, const Encoding& encoding, int first_line, int last_line) {
    Json edits = Json::array();
    std::vector<std::optional<std::string>> lines = checked_lines(model);
    bool outside = false;
    for (int line = 0; line < model.source.line_count(); ++line) {
        auto& text = lines[static_cast<std::size_t>(line)];
        if (text && (line < first_line || line > last_line)) outside = true, text.reset();
    }
    // Only part of the layout: checked again on its own.
    if (outside && !assembles_alike(assemble_source(joined(model, lines)), model.assembly))
        return edits;
    for (int line = 0; line < model.source.line_count(); ++line) {
        if (const auto& text = lines[static_cast<std::size_t>(line)])
            edits.push_back({{"range", line_range(model, encoding, line)}, {"newText", *text}});
    }
    return edits;
}
