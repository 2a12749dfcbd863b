// Document highlights of a label, and folding ranges: blocks of comment
// lines and subroutines.
#include <algorithm>
#include <string>
#include <unordered_set>

#include "features.hpp"
#include "opcode_table.hpp"
#include "protocol_values.hpp"

namespace {

constexpr int HIGHLIGHT_TEXT = 1;
constexpr int HIGHLIGHT_READ = 2;
constexpr int HIGHLIGHT_WRITE = 3;

// A label's definition is text; a use is a write when its instruction
// stores at the operand's address (std, stdw: not sta, which stores where
// the pointer there points, and reads the label), else a read.
int highlight_kind(const SourceModel& model, std::size_t i) {
    const SourceToken& t = model.tokens[i];
    if (t.role == Role::LABEL_DEFINITION) return HIGHLIGHT_TEXT;
    if (i > 0 && model.tokens[i - 1].role == Role::MNEMONIC) {
        const OpcodeEntry* row = find_mnemonic(model.tokens[i - 1].name.c_str());
        if (row != nullptr &&
            (row->store == Store::OPERAND_BYTE || row->store == Store::OPERAND_WORD))
            return HIGHLIGHT_WRITE;
    }
    return HIGHLIGHT_READ;
}

bool comment_line(const SourceModel& model, int line, std::size_t first_token) {
    return first_token < model.tokens.size() && model.tokens[first_token].line == line &&
           model.tokens[first_token].role == Role::COMMENT;
}

bool follows_call(const SourceModel& model, std::size_t i) {
    return i > 0 && model.tokens[i].role == Role::LABEL_USE &&
           model.tokens[i - 1].role == Role::MNEMONIC && model.tokens[i - 1].name == "call";
}

}  // namespace

Json document_highlight(const SourceModel& model, const Encoding& encoding, int line, int column) {
    const SourceToken* at = token_at(model, encoding, line, column);
    if (!is_label(at)) return nullptr;
    Json list = Json::array();
    for (std::size_t i = 0; i < model.tokens.size(); ++i) {
        const SourceToken& t = model.tokens[i];
        if (t.name != at->name || !is_label(&t)) continue;
        list.push_back(
            {{"range", token_range(model, encoding, t)}, {"kind", highlight_kind(model, i)}});
    }
    return list;
}

Json folding_ranges(const SourceModel& model) {
    Json list = Json::array();
    // The index of each line's first token.
    std::vector<std::size_t> first(static_cast<std::size_t>(model.source.line_count()) + 1,
                                   model.tokens.size());
    for (std::size_t i = model.tokens.size(); i-- > 0;)
        first[static_cast<std::size_t>(model.tokens[i].line)] = i;
    for (int line = 0; line < model.source.line_count();) {
        int end = line;
        while (comment_line(model, end, first[static_cast<std::size_t>(end)])) ++end;
        if (end - line >= 2)
            list.push_back({{"startLine", line}, {"endLine", end - 1}, {"kind", "comment"}});
        line = std::max(end, line + 1);
    }
    // Subroutines: from a call target's definition to the next ret, unless
    // another call target is defined first. One pass over the tokens.
    std::unordered_set<std::string> targets;
    for (std::size_t i = 0; i < model.tokens.size(); ++i) {
        if (follows_call(model, i)) targets.insert(model.tokens[i].name);
    }
    const SourceToken* open = nullptr;
    for (const SourceToken& t : model.tokens) {
        if (t.role == Role::LABEL_DEFINITION && targets.count(t.name) > 0) {
            open = &t;
        } else if (open != nullptr && t.role == Role::MNEMONIC && t.name == "ret") {
            if (t.line > open->line)
                list.push_back(
                    {{"startLine", open->line}, {"endLine", t.line}, {"kind", "region"}});
            open = nullptr;
        }
    }
    return list;
}
