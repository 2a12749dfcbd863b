// Quick fixes for the assembler's common errors and warnings: a label
// written `[loop]`, tabs, a misspelt label or mnemonic, a negative number.
// Each fix is assembled before it is offered (see fix_holds).
#include <algorithm>
#include <string>
#include <vector>

#include "features.hpp"
#include "instruction_notes.hpp"
#include "opcode_table.hpp"
#include "protocol_values.hpp"

namespace {

constexpr int TAB_STOP = 8;
// A request over a whole large file stays cheap: each fix costs an
// assembly, and clients ask about the lines at the cursor.
constexpr std::size_t MAX_FIXES = 32;
constexpr int MAX_LINES = 500;

struct Edit {
    int from, to;  // bytes of the line
    std::string text;
};

struct Fix {
    int line;
    std::string title;
    std::vector<Edit> edits;  // left to right, on the one line
    bool preferred = true;
};

// Levenshtein distance of two short names.
std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Near enough to be a misspelling: one edit for short names, more for long.
bool near(std::size_t distance, std::string_view name) {
    return distance <= std::max<std::size_t>(1, name.size() / 3);
}

std::string text_with(const SourceModel& model, const Fix& fix) {
    std::string text = model.source.text;
    std::size_t start = model.source.line_starts[static_cast<std::size_t>(fix.line)];
    for (auto e = fix.edits.rbegin(); e != fix.edits.rend(); ++e) {
        text.replace(start + static_cast<std::size_t>(e->from),
                     static_cast<std::size_t>(e->to - e->from), e->text);
    }
    return text;
}

// The fixed text assembles where the text did (with no more warnings); a
// text that stops must stop no earlier once fixed (a line can hold several
// errors, each with its own fix).
bool fix_holds(const SourceModel& model, const Fix& fix) {
    const AssemblyResult& before = model.assembly;
    AssemblyResult after = assemble_source(text_with(model, fix));
    if (before.ok) return after.ok && after.findings.size() <= before.findings.size();
    if (after.ok) return true;
    const auto& lines = after.lines.text_lines;
    if (after.error_line < 1 || static_cast<std::size_t>(after.error_line) > lines.size())
        return false;
    int after_line = lines[static_cast<std::size_t>(after.error_line) - 1] - 1;
    int before_line = model.editor_line(before.error_line);
    // The error moved on; or the fix removed its own line's error and what
    // is left is an error of a later pass on another line.
    return after_line >= before_line || (before_line == fix.line && after_line != fix.line);
}

void label_fixes(const SourceModel& model, const SourceToken& t,
                 const std::vector<const SourceToken*>& definitions, std::vector<Fix>& fixes) {
    std::string_view line = model.source.line(t.line);
    int end = t.column + t.length;
    if (t.role == Role::LABEL_DEFINITION && static_cast<std::size_t>(end) < line.size() &&
        line[static_cast<std::size_t>(end)] == ']') {
        std::string name(written(model, t));
        fixes.push_back(
            {t.line, "Remove the ']': a label is defined as [" + name, {{end, end + 1, ""}}});
    }
    if (t.role != Role::LABEL_USE) return;
    const SourceToken* best = nullptr;
    std::size_t best_distance = 0;
    for (const SourceToken* d : definitions) {
        std::size_t distance = edit_distance(t.name, d->name);
        if (distance == 0) return;  // defined
        if (best == nullptr || distance < best_distance) best = d, best_distance = distance;
    }
    if (best == nullptr || !near(best_distance, t.name)) return;
    std::string name(written(model, *best));
    fixes.push_back({t.line,
                     "Change '" + std::string(written(model, t)) + "' to '" + name +
                         "': did you mean " + name + "?",
                     {{t.column, end, name}}});
}

void mnemonic_fixes(const SourceModel& model, const SourceToken& t, std::vector<Fix>& fixes) {
    if (t.role != Role::STRAY_NAME || model.symbol(t.name) != nullptr) return;
    std::size_t best = SIZE_MAX;
    for (const InstructionNote& note : INSTRUCTION_NOTES)
        best = std::min(best, edit_distance(t.name, note.mnemonic));
    if (!near(best, t.name)) return;
    std::size_t offered = fixes.size();
    for (const InstructionNote& note : INSTRUCTION_NOTES) {
        if (edit_distance(t.name, note.mnemonic) != best || fixes.size() - offered == 3) continue;
        fixes.push_back({t.line,
                         "Change '" + std::string(written(model, t)) + "' to '" +
                             std::string(note.mnemonic) + "' (" + std::string(note.description) +
                             ")",
                         {{t.column, t.column + t.length, std::string(note.mnemonic)}},
                         false});
    }
    if (fixes.size() - offered == 1) fixes.back().preferred = true;
}

// `ldi -1` -> `ldi 255`: a minus sign, then digits, where a byte or a word
// is read.
void number_fixes(const SourceModel& model, std::size_t index, std::vector<Fix>& fixes) {
    const SourceToken& minus = model.tokens[index];
    if (minus.role != Role::INVALID || index == 0 || index + 1 >= model.tokens.size()) return;
    const SourceToken& before = model.tokens[index - 1];
    const SourceToken& digits = model.tokens[index + 1];
    if (model.source.line(minus.line)[static_cast<std::size_t>(minus.column)] != '-' ||
        digits.role != Role::NUMBER || digits.line != minus.line ||
        digits.column != minus.column + 1 || before.line != minus.line || digits.length > 6)
        return;
    int bytes = 0;
    if (before.role == Role::MNEMONIC) {
        const OpcodeEntry* entry = find_mnemonic(before.name.c_str());
        bytes = entry != nullptr ? entry->length - 1 : 0;
    } else if (before.role == Role::DIRECTIVE) {
        bytes = before.name == "db" ? 1 : before.name == "dw" ? 2 : 0;
    }
    long value = std::stol(digits.name);
    long span = bytes == 1 ? 256 : 65536;
    if (bytes == 0 || value < 1 || value > span / 2) return;
    std::string fitting = std::to_string(span - value);
    fixes.push_back({minus.line,
                     "Write -" + digits.name + " as " + fitting + ", the " +
                         (bytes == 1 ? "byte" : "word") + " it stands for",
                     {{minus.column, digits.column + digits.length, fitting}}});
}

void tab_fix(const SourceModel& model, int line, std::vector<Fix>& fixes) {
    std::string_view text = model.source.line(line);
    if (text.find('\t') == std::string_view::npos) return;
    Fix fix{line, "Replace the tabs with blanks", {}};
    int column = 0;  // as the editor shows it, tabs stopping every 8 columns
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\t') {
            ++column;
            continue;
        }
        int blanks = TAB_STOP - column % TAB_STOP;
        int at = static_cast<int>(i);
        fix.edits.push_back({at, at + 1, std::string(static_cast<std::size_t>(blanks), ' ')});
        column += blanks;
    }
    fixes.push_back(std::move(fix));
}

}  // namespace

Json code_actions(const SourceModel& model, const Encoding& encoding, const std::string& uri,
                  int first_line, int last_line, const Json& diagnostics) {
    first_line = std::max(first_line, 0);
    last_line = std::min({last_line, model.source.line_count() - 1, first_line + MAX_LINES - 1});
    std::vector<const SourceToken*> definitions;
    for (const SourceToken& t : model.tokens) {
        if (t.role == Role::LABEL_DEFINITION) definitions.push_back(&t);
    }
    std::vector<Fix> fixes;
    for (int line = first_line; line <= last_line; ++line) tab_fix(model, line, fixes);
    for (std::size_t i = 0; i < model.tokens.size() && fixes.size() < MAX_FIXES; ++i) {
        const SourceToken& t = model.tokens[i];
        if (t.line < first_line || t.line > last_line) continue;
        label_fixes(model, t, definitions, fixes);
        mnemonic_fixes(model, t, fixes);
        number_fixes(model, i, fixes);
    }
    Json actions = Json::array();
    if (fixes.size() > MAX_FIXES) fixes.resize(MAX_FIXES);
    for (const Fix& fix : fixes) {
        if (!fix_holds(model, fix)) continue;
        Json edits = Json::array();
        for (const Edit& e : fix.edits)
            edits.push_back(
                {{"range", range(model, encoding, fix.line, e.from, e.to)}, {"newText", e.text}});
        Json about = Json::array();
        for (const Json& d : diagnostics.is_array() ? diagnostics : Json::array()) {
            if (d.is_object() && d.contains("range") && d["range"].is_object() &&
                d["range"].value("start", Json::object()).value("line", -1) == fix.line)
                about.push_back(d);
        }
        actions.push_back({{"title", fix.title},
                           {"kind", "quickfix"},
                           {"diagnostics", about},
                           {"isPreferred", fix.preferred},
                           {"edit", {{"changes", {{uri, edits}}}}}});
    }
    return actions;
}
