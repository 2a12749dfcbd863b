#include "mistakes.hpp"

#include <algorithm>
#include <cstdio>

#include "opcode_table.hpp"

namespace {

// What a label stands on: the first instruction or data directive after
// it, before any org; for data, how many of the same directive follow
// before the next label, instruction, org or other directive.
struct LabelPlace {
    int line = 0;                           // where the label is defined
    SourceItem::Kind on = SourceItem::ORG;  // ORG: on nothing
    int on_line = 0;
    int run = 0;  // db or dw: how many in a row
    int calls = 0;
    int other_uses = 0;
    int word_uses = 0;     // lddw and stdw
    std::size_t item = 0;  // its index in items
    // The first direct data access of each kind (ldd, lddw, std, stdw), -1 where none.
    int first_use[4] = {-1, -1, -1, -1};
};

// The direct data accesses by a label operand, in the order of first_use.
constexpr std::uint8_t DATA_ACCESS[4] = {OP_LDD, OP_LDDW, OP_STD, OP_STDW};

std::vector<LabelPlace> label_places(const Assembly& a) {
    std::vector<LabelPlace> places(static_cast<std::size_t>(a.symbol_count));
    const std::vector<SourceItem>& items = a.items;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].kind != SourceItem::LABEL) continue;
        LabelPlace& p = places[static_cast<std::size_t>(items[i].value)];
        p.line = items[i].line;
        p.item = i;
        std::size_t next = i + 1;
        while (next < items.size() && items[next].kind == SourceItem::LABEL) ++next;
        if (next == items.size()) continue;
        p.on = items[next].kind;
        p.on_line = items[next].line;
        if (p.on != SourceItem::DB && p.on != SourceItem::DW) continue;
        while (next < items.size() && items[next].kind == p.on) {
            ++p.run;
            ++next;
        }
    }
    for (const LabelUse& use : a.label_uses) {
        LabelPlace& p = places[static_cast<std::size_t>(use.symbol)];
        if (use.opcode == OP_LDDW || use.opcode == OP_STDW) ++p.word_uses;
        for (int k = 0; k < 4; ++k) {
            if (use.opcode == DATA_ACCESS[k] && p.first_use[k] < 0) {
                p.first_use[k] = static_cast<int>(&use - a.label_uses.data());
            }
        }
        if (OpcodeTable[use.opcode].flow == Flow::CALL) {
            ++p.calls;
        } else {
            ++p.other_uses;
        }
    }
    return places;
}

bool is_data(SourceItem::Kind kind) { return kind == SourceItem::DB || kind == SourceItem::DW; }

void add(Assembly& a, int line, const char* text) { a.findings.push_back(Finding{line, text}); }

void add(Assembly& a, int line, const char* format, auto first, auto... values) {
    char text[200];
    std::snprintf(text, sizeof text, format, first, values...);
    a.findings.push_back(Finding{line, text});
}

// Jumps and calls to data; byte loads and stores of a word the program never
// takes as a word (the low byte of one it does is a fair read), word ones of
// a byte (they reach the byte after it).
void check_uses(Assembly& a, const std::vector<LabelPlace>& places) {
    for (const LabelUse& use : a.label_uses) {
        const LabelPlace& p = places[static_cast<std::size_t>(use.symbol)];
        const OpcodeEntry& row = OpcodeTable[use.opcode];
        const char* name = a.SymbolTable[use.symbol].name;
        bool to_address = row.length == 3 && (row.flow == Flow::JUMP || row.flow == Flow::BRANCH ||
                                              row.flow == Flow::CALL);
        if (to_address && is_data(p.on)) {
            add(a, use.line, "%s %s: %s is data (line %d), not an instruction", row.mnemonic, name,
                name, p.on_line);
        }
        bool single_word = p.on == SourceItem::DW && p.run == 1 && p.word_uses == 0;
        bool single_byte = p.on == SourceItem::DB && p.run == 1;
        if ((use.opcode == OP_LDD || use.opcode == OP_STD) && single_word) {
            add(a, use.line,
                "%s %s: %s is a word (dw, line %d), but %s takes one byte; %sw takes both",
                row.mnemonic, name, name, p.on_line, row.mnemonic, row.mnemonic);
        } else if ((use.opcode == OP_LDDW || use.opcode == OP_STDW) && single_byte) {
            add(a, use.line,
                "%s %s: %s is one byte (db, line %d), but %s takes two, the byte after it too; "
                "%.3s takes one",
                row.mnemonic, name, name, p.on_line, row.mnemonic, row.mnemonic);
        }
    }
}

// A label read or written as data that stands where nothing follows it: its
// bytes are none the program loads. And a label written as a byte and read
// as a word, whose high byte then holds what was there before; or only
// written as a word and only read as a byte, whose high byte nothing reads.
void check_data_labels(Assembly& a, const std::vector<LabelPlace>& places) {
    for (std::size_t s = 0; s < places.size(); ++s) {
        const LabelPlace& p = places[s];
        if (p.line == 0) continue;
        const char* name = a.SymbolTable[s].name;
        auto use_at = [&](int k) -> const LabelUse& {
            return a.label_uses[static_cast<std::size_t>(p.first_use[k])];
        };
        int first = -1;  // the first access of all, reads before writes
        for (int k = 0; k < 4; ++k) {
            if (p.first_use[k] >= 0 && (first < 0 || use_at(k).line < use_at(first).line))
                first = k;
        }
        if (first >= 0 && p.on == SourceItem::ORG && p.on_line == 0) {
            const LabelUse& use = use_at(first);
            add(a, use.line,
                "%s (line %d) reserves no byte; %s %s at line %d %s memory the program never loads",
                name, p.line, OpcodeTable[use.opcode].mnemonic, name, use.line,
                first < 2 ? "reads" : "writes");
        }
        if (p.first_use[2] >= 0 && p.first_use[1] >= 0) {
            add(a, use_at(2).line,
                "%s is written as a byte at line %d (std) and read as a word at line %d (lddw)",
                name, use_at(2).line, use_at(1).line);
        } else if (p.first_use[3] >= 0 && p.first_use[0] >= 0 && p.first_use[1] < 0 &&
                   p.first_use[2] < 0) {
            add(a, use_at(0).line,
                "%s is written as a word at line %d (stdw) and read as a byte at line %d (ldd)",
                name, use_at(3).line, use_at(0).line);
        }
    }
}

// Labels spelled like an instruction or named end; code that runs on into a
// routine that is otherwise only called.
void check_labels(Assembly& a, const std::vector<LabelPlace>& places) {
    for (std::size_t s = 0; s < places.size(); ++s) {
        const LabelPlace& p = places[s];
        if (p.line == 0) continue;
        const char* name = a.SymbolTable[s].name;
        if (find_mnemonic(name) != nullptr) {
            add(a, p.line,
                "[%s defines a label spelled like the instruction %s: an instruction is written "
                "without [",
                name, name);
        }
        if (std::string_view(name) == "end") {
            add(a, p.line, "[end defines a label named end: the source ends after this line");
        }
        if (p.calls == 0 || p.other_uses != 0) continue;
        // The instruction before the label, other labels on the same place passed over.
        std::size_t i = p.item;
        while (i > 0 && a.items[i - 1].kind == SourceItem::LABEL) --i;
        if (i == 0 || a.items[i - 1].kind != SourceItem::INSTRUCTION) continue;
        const SourceItem& before = a.items[i - 1];
        const OpcodeEntry& row = OpcodeTable[static_cast<std::uint8_t>(before.value)];
        if (row.flow == Flow::JUMP || row.flow == Flow::RETURN || row.flow == Flow::HALT) continue;
        add(a, before.line,
            "%s runs on into %s (line %d), a routine entered only by call: a jmp, ret or hlt "
            "missing?",
            row.mnemonic, name, p.line);
    }
}

}  // namespace

void note_mistakes(Assembly& a) {
    std::vector<LabelPlace> places = label_places(a);
    check_uses(a, places);
    check_data_labels(a, places);
    check_labels(a, places);
    std::stable_sort(a.findings.begin(), a.findings.end(),
                     [](const Finding& x, const Finding& y) { return x.line < y.line; });
}
