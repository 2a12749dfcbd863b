#include "assemble.hpp"

#include <algorithm>
#include <memory>

#include "machine_listing.hpp"
#include "pass1.hpp"
#include "pass2.hpp"
#include "stop.hpp"

namespace {

template <typename Pass>
AssemblyOutcome run_pass(Assembly& a, Pass pass) {
    AssemblyOutcome outcome;
    try {
        pass(a);
    } catch (const AssemblyStop& stop) {
        outcome = {false, stop.message, stop.line};
    }
    drain_outputs(a);
    return outcome;
}

}  // namespace

SourceLines split_source_lines(std::string_view source_text) {
    SourceLines lines;
    lines.text = source_text;
    // Read as pass 1 reads: the same procedure, the same capacity.
    LineInput in;
    in.text = lines.text;
    char buffer[SOURCE_LINE_CAPACITY];
    std::int32_t text_line = 1;
    for (std::size_t start = 0; read_line(in, buffer, SOURCE_LINE_CAPACITY); start = in.position) {
        lines.starts.push_back(start);
        lines.text_lines.push_back(text_line);
        if (lines.text[in.position - 1] == '\n') ++text_line;
    }
    return lines;
}

std::string_view source_line_text(const SourceLines& lines, int line) {
    if (line < 1 || static_cast<std::size_t>(line) > lines.starts.size()) return "";
    auto index = static_cast<std::size_t>(line) - 1;
    std::size_t start = lines.starts[index];
    std::size_t end = index + 1 < lines.starts.size() ? lines.starts[index + 1] : lines.text.size();
    std::string_view text(lines.text.data() + start, end - start);
    if (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    }
    // A NUL byte ends the line for the passes: what follows is not shown.
    return text.substr(0, text.find('\0'));
}

namespace {

// found added to findings, keeping them in line order.
void merge_findings(std::vector<Finding>& found, std::vector<Finding>& findings) {
    if (found.empty()) return;
    found.insert(found.end(), findings.begin(), findings.end());
    std::stable_sort(found.begin(), found.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    findings = std::move(found);
}

}  // namespace

void note_nul_bytes(const SourceLines& lines, std::vector<Finding>& findings) {
    std::vector<Finding> found;
    for (std::size_t n = 0; n < lines.starts.size(); ++n) {
        std::size_t end = n + 1 < lines.starts.size() ? lines.starts[n + 1] : lines.text.size();
        std::string_view line(lines.text.data() + lines.starts[n], end - lines.starts[n]);
        if (line.find('\0') == std::string_view::npos) continue;
        found.push_back(
            {static_cast<int>(n + 1), "a NUL byte ends the line here; what follows is not read"});
    }
    merge_findings(found, findings);
}

void note_code_in_pieces(const SourceLines& lines, std::vector<Finding>& findings) {
    std::vector<Finding> found;
    for (std::size_t n = 1; n < lines.starts.size(); ++n) {
        // A piece after the first of one text line.
        if (lines.text_lines[n] != lines.text_lines[n - 1]) continue;
        std::string_view text = source_line_text(lines, static_cast<int>(n + 1));
        std::size_t first = text.find_first_not_of(" \t");
        if (first == std::string_view::npos || text[first] == ';') continue;
        found.push_back({static_cast<int>(n + 1),
                         "the text line goes on past 255 characters: this piece is read as a "
                         "line of its own, and it holds code"});
    }
    merge_findings(found, findings);
}

AssemblyOutcome run_pass1(Assembly& a) { return run_pass(a, pass1_run); }
AssemblyOutcome run_pass2(Assembly& a) { return run_pass(a, pass2_run); }

namespace {

// Each label's data block: the db and dw items after it (and after the
// labels beside it) up to anything else.
std::vector<DataBlock> data_blocks(const Assembly& a) {
    std::vector<DataBlock> blocks;
    const std::vector<SourceItem>& items = a.items;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].kind != SourceItem::LABEL) continue;
        std::size_t next = i + 1;
        while (next < items.size() && items[next].kind == SourceItem::LABEL) ++next;
        unsigned size = 0;
        bool word = next < items.size() && items[next].kind == SourceItem::DW;
        for (; next < items.size(); ++next) {
            if (items[next].kind == SourceItem::DB)
                size += 1;
            else if (items[next].kind == SourceItem::DW)
                size += 2;
            else
                break;
        }
        if (size == 0) continue;
        const Symbol& symbol = a.SymbolTable[items[i].value];
        blocks.push_back(
            {symbol.name, symbol.value, static_cast<std::uint16_t>(size), items[i].line, word});
    }
    return blocks;
}

}  // namespace

AssemblyResult assemble_source(std::string_view source_text, bool with_machine_listing) {
    auto a = std::make_unique<Assembly>();
    a->source.text = source_text;
    a->note_findings = true;
    a->note_lines = with_machine_listing;
    AssemblyOutcome outcome = run_pass1(*a);
    if (outcome.ok) {
        a->pass1_input.text = a->pass1_text.text;
        outcome = run_pass2(*a);
    }

    AssemblyResult result;
    result.ok = outcome.ok;
    result.error_message = std::move(outcome.error_message);
    result.error_line = outcome.error_line;
    if (result.ok) {
        // The simulator's own loader decides what the object code loads as.
        if (std::optional<Stop> refused = load_object_text(a->object_code.text, result.image.data(),
                                                           &result.written, &result.code)) {
            result.load_error = stop_message(*refused);
            result.image.fill(0);
            result.written.reset();
            result.code.reset();
        }
    }
    result.symbols.assign(a->SymbolTable, a->SymbolTable + a->symbol_count);
    result.source_line_of_address = a->line_of_address;
    result.lines = split_source_lines(source_text);
    result.listing = std::move(a->listing.text);
    result.pass1_text = std::move(a->pass1_text.text);
    result.object_code = std::move(a->object_code.text);
    result.findings = std::move(a->findings);
    if (result.ok) result.data_blocks = data_blocks(*a);
    note_nul_bytes(result.lines, result.findings);
    if (with_machine_listing && result.ok) {
        LineInput source;
        source.text = source_text;
        result.machine_listing = machine_listing(source, *a);
    }
    return result;
}

std::vector<AssemblyError> every_error(std::string_view source_text, std::size_t limit) {
    std::vector<AssemblyError> errors;
    std::string text(source_text);
    while (errors.size() < limit) {
        AssemblyResult r = assemble_source(text);
        if (r.ok) break;
        errors.push_back({r.error_line, r.error_message});
        const SourceLines& lines = r.lines;
        if (r.error_line < 1 || static_cast<std::size_t>(r.error_line) > lines.starts.size()) break;
        auto index = static_cast<std::size_t>(r.error_line) - 1;
        std::size_t start = lines.starts[index];
        std::size_t end = index + 1 < lines.starts.size() ? lines.starts[index + 1] : text.size();
        // Blanks from `from` to the line end; whether a byte changed.
        auto blank = [&](std::size_t from) {
            bool changed = false;
            for (std::size_t i = from; i < end; ++i) {
                if (text[i] == '\n' || text[i] == '\r' || text[i] == ' ') continue;
                text[i] = ' ';
                changed = true;
            }
            return changed;
        };
        std::size_t kept = start;
        if (kept < end && text[kept] == '[')
            while (kept < end && text[kept] != ' ' && text[kept] != '\t' && text[kept] != '\n' &&
                   text[kept] != ';')
                ++kept;
        // An error in the label itself: the whole line goes.
        if (!blank(kept) && !blank(start)) break;
    }
    return errors;
}

SourceMap source_map_of(const AssemblyResult& program) {
    SourceMap map;
    map.line_of_address = program.source_line_of_address;
    for (const Symbol& s : program.symbols) map.labels.emplace_back(s.name, s.value);
    map.blocks = program.data_blocks;
    return map;
}
