#include "command_print.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "commands.hpp"
#include "findings_view.hpp"
#include "stack_view.hpp"

namespace {

// Text as it stands, NUL bytes included, then a line end.
void put_line(std::ostream& out, std::string_view text) {
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.put('\n');
}

}  // namespace

// "ldd 43": the instruction at address as the trace line shows it.
std::string instruction_text(const Machine& m, unsigned address) {
    std::uint8_t op = m.memory[address];
    const OpcodeEntry& e = OpcodeTable[op];
    if (!e.defined()) return "undefined opcode " + std::to_string(op);
    std::string text = e.mnemonic;
    if (e.length > 1 && address + e.length <= static_cast<unsigned>(MEMORY_SIZE)) {
        unsigned operand = m.memory[address + 1];
        if (e.length == 3) operand |= static_cast<unsigned>(m.memory[address + 2]) << 8;
        text += ' ';
        text += std::to_string(operand);
    }
    return text;
}

std::string with_label(const Session& s, unsigned address) {
    std::string label = label_at(s.program, static_cast<std::uint16_t>(address));
    return label.empty() ? hex4(address) : hex4(address) + " (" + label + ")";
}

// The source line of address, indented so that it never reads as a trace
// line.
void print_source(const Session& s, unsigned address) {
    if (!s.program.has_source || address >= static_cast<unsigned>(MEMORY_SIZE)) return;
    int line = s.program.line_of_address[address];
    if (line == 0) return;
    put_format(*s.out, "    %d: ", line);
    put_line(*s.out, source_line(s.program, line));
}

// Where PC is after a run stopped: the instruction about to run and its
// source line; with `offset` the nearest label and the offset from it.
void print_at(const Session& s, unsigned address, bool offset) {
    std::string label = label_at(s.program, static_cast<std::uint16_t>(address));
    bool outside = address >= MAX_MEMORY || !s.program.loaded[address];
    std::string place = offset || outside ? address_with_offset(s, address)
                        : label.empty()   ? hex4(address)
                                          : hex4(address) + " (" + label + ")";
    put_format(*s.out, "at %s %s\n", place.c_str(),
               address < MAX_MEMORY ? instruction_text(s.run.machine(), address).c_str() : "");
    print_source(s, address);
}

void print_trace(const Session& s) {
    char text[TRACE_LINE_CAPACITY];
    format_trace_line(text, s.run.last_start(), s.run.machine());
    put_format(*s.out, "%s\n", text);
    print_source(s, s.run.last_start().pc);
}

std::string mark_name(const Mark& m) {
    switch (m.kind) {
        case MarkKind::BREAK: return "breakpoint";
        case MarkKind::TBREAK: return "temporary breakpoint";
        case MarkKind::WATCH: return "watchpoint";
        case MarkKind::RWATCH: return "read watchpoint";
    }
    return "";
}

// "line 2: std early", the instruction at address by its source line (or
// "0005: std 65" without one).
std::string instruction_place(const Session& s, unsigned address) {
    int line =
        address < static_cast<unsigned>(MEMORY_SIZE) ? s.program.line_of_address[address] : 0;
    if (!s.program.has_source || line == 0)
        return hex4(address) + ": " +
               (address < MAX_MEMORY ? instruction_text(s.run.machine(), address) : "");
    // The instruction as written: no label, no comment, single spaces.
    std::string_view text = source_line(s.program, line);
    text = text.substr(0, text.find(';'));
    std::string words;
    std::size_t at = 0;
    bool first = true;
    while (at < text.size()) {
        std::size_t start = text.find_first_not_of(" \t\r", at);
        if (start == std::string_view::npos) break;
        std::size_t end = std::min(text.find_first_of(" \t\r", start), text.size());
        std::string_view word = text.substr(start, end - start);
        if (!(first && word[0] == '[')) {
            if (!words.empty()) words += ' ';
            words += word;
        }
        first = false;
        at = end;
    }
    return "line " + std::to_string(line) + ": " + words;
}

std::string stop_line(const Session& s, const RunHit& hit, unsigned ran) {
    const Mark* m = nullptr;
    for (const Mark& mark : s.run.marks())
        if (mark.id == hit.id) m = &mark;
    if (m == nullptr || m->kind == MarkKind::BREAK || m->kind == MarkKind::TBREAK) {
        unsigned pc = s.run.machine().PC;
        std::string place = pc < MAX_MEMORY ? s.source.label_offset(pc) : "";
        if (place.empty()) place = hex4(pc);
        int line = pc < static_cast<unsigned>(MEMORY_SIZE) ? s.program.line_of_address[pc] : 0;
        if (line > 0) place += " (line " + std::to_string(line) + ")";
        return std::string(hit.temporary ? "temporary breakpoint " : "breakpoint ") +
               std::to_string(hit.id) + " at " + place;
    }
    std::string text = mark_name(*m) + " " + std::to_string(hit.id) + ": " +
                       (m->width == 2 ? "word " : "") + with_label(s, m->address);
    const Machine& now = s.run.machine();
    unsigned value = now.memory[m->address];
    if (m->width == 2) value |= now.memory[(m->address + 1u) % MEMORY_SIZE] << 8;
    if (m->kind == MarkKind::RWATCH) {
        text += " read (" + std::to_string(value) + ")";
    } else {
        text += " changed " + std::to_string(hit.old_value) + " -> " + std::to_string(value);
    }
    return text + " at " + instruction_place(s, ran);
}

// "returned from diff: 7 on the stack": the end of a subroutine case, with
// the bytes it left, top first (at most CASE_BYTES_SHOWN of them).
constexpr unsigned CASE_BYTES_SHOWN = 16;

std::string case_return_line(const Session& s) {
    const Machine& m = s.run.machine();
    std::string routine = label_at(s.program, s.run.case_routine().value_or(0));
    if (routine.empty()) routine = hex4(s.run.case_routine().value_or(0));
    unsigned depth = stack_depth(m.SP);
    if (depth == 0) return "returned from " + routine + ": the stack is empty";
    std::string bytes;
    for (unsigned k = 0; k < depth && k < CASE_BYTES_SHOWN; ++k) {
        if (k > 0) bytes += ' ';
        bytes += std::to_string(m.memory[m.SP + 1u + k]);
    }
    if (depth > CASE_BYTES_SHOWN) bytes += " ... (" + std::to_string(depth) + " bytes)";
    return "returned from " + routine + ": " + bytes + " on the stack";
}

// Why a run ended: the findings the last instruction made, then one line (a
// stop: the simulator's message and position line; a finding: none more),
// then the trace line of the last instruction that ran and, unless the
// program halted, where PC is now: the instruction about to run (after a
// stop, the one that stopped, which has no trace line, with its label and
// offset). `depth_before_call` is the stack's depth before the call a
// RETURNED run finished.
void report_end(const Session& s, RunEnd end, bool with_trace,
                std::optional<unsigned> depth_before_call) {
    print_findings_here(s);
    unsigned depth = stack_depth(s.run.machine().SP);
    switch (end) {
        case RunEnd::RETURNED:
            say(*s.out, depth_before_call ? "returned; " + balance_text(*depth_before_call, depth)
                                          : "returned");
            break;
        case RunEnd::HALTED:
            say(*s.out, depth == 0 ? "program halted"
                                   : "program halted with " + std::to_string(depth) +
                                         (depth == 1 ? " byte" : " bytes") + " on the stack");
            if (std::string leak = end_stack_leak_line(s); !leak.empty()) say(*s.out, leak);
            break;
        case RunEnd::STOPPED:
            if (s.run.case_returned()) {
                say(*s.out, case_return_line(s));
                return print_at(s, s.run.last_start().pc, true);
            }
            put_format(*s.out, "%s%s", stop_message(s.run.stop()).c_str(),
                       stop_position_line(s.run.stop()).c_str());
            if (std::string leak = end_stack_leak_line(s); !leak.empty()) say(*s.out, leak);
            return print_at(s, s.run.last_start().pc, true);
        case RunEnd::BREAKPOINT:
        case RunEnd::WATCHPOINT:
            say(*s.out, stop_line(s, s.run.hit(), s.run.last_start().pc));
            break;
        case RunEnd::INTERRUPTED: say(*s.out, "interrupted"); break;
        case RunEnd::FINDING:
        case RunEnd::LIMIT:
        case RunEnd::KEY_WAIT:
        case RunEnd::NOT_RUN:
        case RunEnd::TIMEOUT: break;
    }
    if (with_trace) print_trace(s);
    if (end != RunEnd::HALTED) print_at(s, s.run.machine().PC);
}

void print_registers(const Session& s) {
    const Machine& m = s.run.machine();
    const char* name = OpcodeTable[m.IR].defined() ? OpcodeTable[m.IR].mnemonic : "undefined";
    put_format(*s.out,
               "PC=%04X SP=%04X IR=%02X (%s) Z=%u S=%u O=%u C=%u instructions=%llu clocks=%llu\n",
               m.PC, m.SP, m.IR, name, m.Z, m.S, m.O, m.C,
               static_cast<unsigned long long>(m.instruction_count),
               static_cast<unsigned long long>(m.clock_count));
}

bool has_breakpoint_on_line(const Session& s, int line) {
    return std::any_of(s.run.marks().begin(), s.run.marks().end(), [&](const Mark& b) {
        return (b.kind == MarkKind::BREAK || b.kind == MarkKind::TBREAK) &&
               s.program.line_of_address[b.address] == line;
    });
}

// "=>" marks the line or instruction at PC, "* " one with a breakpoint.
const char* marker(bool at_pc, bool breakpoint) { return at_pc ? "=>" : breakpoint ? "* " : "  "; }

constexpr int LIST_AROUND = 5;

void list_source(const Session& s, int center) {
    int first = std::max(1, center - LIST_AROUND);
    int last = std::min(source_line_count(s.program), center + LIST_AROUND);
    int pc_line =
        s.run.machine().PC < MEMORY_SIZE ? s.program.line_of_address[s.run.machine().PC] : 0;
    for (int line = first; line <= last; ++line) {
        put_format(*s.out, "%s%5d  ", marker(line == pc_line, has_breakpoint_on_line(s, line)),
                   line);
        put_line(*s.out, source_line(s.program, line));
    }
}

// Instruction boundaries are found by decoding from address 0; when that
// walk misses `center`, the listing starts at center instead.
void list_instructions(const Session& s, unsigned center) {
    std::vector<unsigned> starts;
    for (unsigned a = 0; a <= center && a < static_cast<unsigned>(MAX_MEMORY);
         a += instruction_length(s.run.machine().memory[a])) {
        starts.push_back(a);
    }
    std::size_t from = starts.size();
    if (!starts.empty() && starts.back() == center) {
        from = starts.size() - 1 - std::min<std::size_t>(starts.size() - 1, LIST_AROUND);
    }
    std::vector<unsigned> shown(starts.begin() + static_cast<std::ptrdiff_t>(from), starts.end());
    if (shown.empty() || shown.back() != center) shown.push_back(center);
    for (int k = 0; k < LIST_AROUND &&
                    shown.back() + instruction_length(s.run.machine().memory[shown.back()]) <
                        static_cast<unsigned>(MAX_MEMORY);
         ++k) {
        shown.push_back(shown.back() + instruction_length(s.run.machine().memory[shown.back()]));
    }
    for (unsigned a : shown) {
        std::string bytes;
        for (unsigned b = a; b < a + instruction_length(s.run.machine().memory[a]) &&
                             b < static_cast<unsigned>(MEMORY_SIZE);
             ++b) {
            char text[4];
            std::snprintf(text, sizeof text, "%02X ", s.run.machine().memory[b]);
            bytes += text;
        }
        bool breakpoint = std::any_of(s.run.marks().begin(), s.run.marks().end(), [&](auto& b) {
            return (b.kind == MarkKind::BREAK || b.kind == MarkKind::TBREAK) && b.address == a;
        });
        put_format(*s.out, "%s%04X  %-9s %s\n", marker(a == s.run.machine().PC, breakpoint), a,
                   bytes.c_str(), instruction_text(s.run.machine(), a).c_str());
    }
}

void list(const Session& s, const Words& words) {
    unsigned address = s.run.machine().PC;
    int line = 0;
    if (words.size() > 1) {
        std::optional<std::uint16_t> at = parse_location(s, words[1], MAX_MEMORY - 1);
        if (!at) return;
        address = *at;
        if (words[1][0] == ':') line = static_cast<int>(*parse_number(words[1].substr(1)));
    }
    if (line == 0 && address < static_cast<unsigned>(MEMORY_SIZE))
        line = s.program.line_of_address[address];
    if (s.program.has_source && line > 0) return list_source(s, line);
    if (address >= MAX_MEMORY || !s.program.loaded[address])
        say(*s.out, hex4(address) + " is outside the program: the bytes there, decoded");
    list_instructions(s, std::min(address, static_cast<unsigned>(MAX_MEMORY - 1)));
}

// One line a mark: ID, kind, place, line, watched value, condition, hits.
void info_breakpoints(const Session& s) {
    if (s.run.marks().empty()) return say(*s.out, "no breakpoints or watchpoints");
    for (const Mark& b : s.run.marks()) {
        const char* kind = b.kind == MarkKind::BREAK    ? "break"
                           : b.kind == MarkKind::TBREAK ? "tbreak"
                           : b.kind == MarkKind::WATCH  ? "watch"
                                                        : "rwatch";
        std::string text = std::to_string(b.id) + " " + kind + " " + (b.width == 2 ? "word " : "") +
                           with_label(s, b.address);
        int line = s.program.line_of_address[b.address];
        bool data = b.kind == MarkKind::WATCH || b.kind == MarkKind::RWATCH;
        if (!data && line > 0) text += " line " + std::to_string(line);
        if (data) {
            unsigned value = s.run.machine().memory[b.address];
            if (b.width == 2) value |= s.run.machine().memory[(b.address + 1u) % MEMORY_SIZE] << 8;
            text += " = " + std::to_string(value);
        }
        if (b.condition) text += " if " + b.condition->text;
        if (b.hits > 0)
            text += ", hit " + std::to_string(b.hits) + (b.hits == 1 ? " time" : " times");
        if (b.ignore > b.hits) text += ", passes " + std::to_string(b.ignore - b.hits) + " more";
        say(*s.out, text);
    }
}

void print_position(const Session& s) { print_at(s, s.run.machine().PC); }
