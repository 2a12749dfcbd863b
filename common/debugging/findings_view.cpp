#include "findings_view.hpp"

#include <cstdio>

#include "command_words.hpp"
#include "stack_view.hpp"

namespace {

void put(std::ostream& out, const std::string& text) {
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.put('\n');
}

// A source line as the other reports show it, indented.
void print_line(const Session& s, int line) {
    std::string_view text = source_line(s.program, line);
    put_format(*s.out, "    %d: ", line);
    s.out->write(text.data(), static_cast<std::streamsize>(text.size()));
    s.out->put('\n');
}

int line_of(const Session& s, unsigned address) {
    return address < MAX_MEMORY ? s.program.line_of_address[address] : 0;
}

// The source lines a finding names: the instruction's own, then the other
// place it speaks of (the call, the jump that left the program or reached
// data, the instruction it ran on from, the instruction stored into, the
// byte read).
std::vector<int> lines_involved(const Session& s, const MachineFinding& f) {
    std::vector<int> lines;
    auto add = [&](unsigned address) {
        int line = line_of(s, address);
        if (line == 0) return;
        for (int known : lines)
            if (known == line) return;
        lines.push_back(line);
    };
    add(f.pc);
    switch (f.kind) {
        case FindingKind::RETURN_MISMATCH:
        case FindingKind::STRAY_PC:
        case FindingKind::EXECUTING_DATA:
            if (f.has_related) add(f.related_pc);
            if (f.ran_on) add(f.ran_on_from);
            break;
        case FindingKind::WRITING_CODE:
        case FindingKind::UNWRITTEN_READ: add(f.address); break;
        case FindingKind::PAST_END:
            if (f.has_related) add(f.related_address);
            break;
    }
    return lines;
}

const FindingKindRow* find_kind(const std::string& name) {
    for (const FindingKindRow& row : FINDING_KINDS) {
        if (name == row.name) return &row;
    }
    return nullptr;
}

void list_kinds(const Session& s) {
    for (const FindingKindRow& row : FINDING_KINDS) {
        put_format(*s.out, "%-10s %-3s %s\n", row.name,
                   (s.run.findings().shown & kind_bit(row.kind)) != 0 ? "on" : "off", row.title);
    }
}

}  // namespace

bool print_findings_here(const Session& s) {
    std::vector<std::size_t> here = s.run.findings().at(s.run.step());
    for (std::size_t index : here) {
        const MachineFinding& f = s.run.findings().all()[index];
        put(*s.out, "finding: " + finding_text(f, &s.source));
        for (int line : lines_involved(s, f)) print_line(s, line);
    }
    return !here.empty();
}

void info_findings(const Session& s) {
    const FindingLog& log = s.run.findings();
    std::size_t listed = 0;
    std::size_t hidden = 0;
    FindingKinds hidden_kinds = 0;
    for (std::size_t i = 0; i < log.all().size(); ++i) {
        if (!log.is_shown(log.all()[i])) {
            ++hidden;
            hidden_kinds |= kind_bit(log.all()[i].kind);
            continue;
        }
        ++listed;
        put(*s.out, finding_text(log.all()[i], &s.source) +
                        (log.steps[i] > s.run.step() ? " (ahead)" : ""));
    }
    // The stack left at the end of the run, as the simulator's --check lists it.
    if (std::string leak = end_stack_leak_line(s); !leak.empty()) {
        put(*s.out, leak);
        ++listed;
    }
    if (listed == 0) put(*s.out, "no findings");
    if (hidden > 0) {
        // Each kind by name, with the command that turns it on.
        std::string names;
        std::string commands;
        for (const FindingKindRow& row : FINDING_KINDS) {
            if ((hidden_kinds & kind_bit(row.kind)) == 0) continue;
            names += (names.empty() ? "" : ", ") + std::string(row.name);
            commands += (commands.empty() ? "check " : ", check ") + std::string(row.name) + " on";
        }
        put(*s.out, std::to_string(hidden) + (hidden == 1 ? " finding" : " findings") +
                        " of kinds turned off: " + names + " (" + commands + " shows " +
                        (hidden == 1 ? "it)" : "them)"));
    }
}

void check_command(Session& s, const std::vector<std::string>& words) {
    if (words.size() == 1) return list_kinds(s);
    const FindingKindRow* row = find_kind(words[1]);
    bool all = words[1] == "all";
    if (words.size() != 3 || (row == nullptr && !all) || (words[2] != "on" && words[2] != "off")) {
        std::string kinds;
        for (const FindingKindRow& kind : FINDING_KINDS) kinds.append(kind.name).append(", ");
        return put(*s.out, "check takes a kind (" + kinds + "or all) and on or off");
    }
    FindingKinds bits = all ? ALL_FINDING_KINDS : kind_bit(row->kind);
    if (words[2] == "on") {
        s.run.set_shown(s.run.findings().shown | bits);
    } else {
        s.run.set_shown(s.run.findings().shown & static_cast<FindingKinds>(~bits));
    }
    put(*s.out, (all ? std::string("every kind") : std::string(row->title)) + ": " + words[2]);
}

std::string address_with_offset(const Session& s, unsigned address) {
    std::string text = hex4(address);
    if (address >= MAX_MEMORY || !s.program.loaded[address]) return text + " (outside the program)";
    std::string label = s.source.label_offset(address);
    return label.empty() ? text : text + " (" + label + ")";
}
