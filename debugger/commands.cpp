#include "commands.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <sstream>
#include <vector>

namespace {

using Words = std::vector<std::string>;

// Control characters a command may carry (a NUL, an Escape) are written as
// ^@, ^[ and so on, so that a message shows the whole command; a tab stays.
void say(const std::string& text) {
    std::string shown;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
            shown += '^';
            shown += static_cast<char>(byte ^ 0x40);
        } else {
            shown += c;
        }
    }
    shown += '\n';
    std::fwrite(shown.data(), 1, shown.size(), stdout);
}

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

// Decimal, or hexadecimal after 0x; nothing else in the word.
std::optional<std::uint64_t> parse_number(const std::string& word) {
    int base = 10;
    const char* first = word.data();
    const char* last = word.data() + word.size();
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        base = 16;
        first += 2;
    }
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(first, last, value, base);
    if (error != std::errc() || end != last || first == last) return std::nullopt;
    return value;
}

// A count: absent means 1; at least 1.
std::optional<std::uint64_t> parse_count(const Words& words, std::size_t index) {
    if (words.size() <= index) return 1;
    std::optional<std::uint64_t> n = parse_number(words[index]);
    if (!n || *n == 0) {
        say("'" + words[index] + "' is not a count (a number from 1)");
        return std::nullopt;
    }
    return n;
}

// An address, a label or :LINE, up to `limit`.
std::optional<std::uint16_t> parse_location(const Session& s, const std::string& word,
                                            unsigned limit) {
    const DebugProgram& p = s.program;
    std::optional<std::uint64_t> address;
    if (word[0] == ':') {
        if (!p.has_source) {
            say("no source lines: " + p.file_name + " is object code");
            return std::nullopt;
        }
        std::optional<std::uint64_t> line = parse_number(word.substr(1));
        if (!line || *line == 0 || *line > static_cast<std::uint64_t>(source_line_count(p))) {
            say("no source line " + word.substr(1) + " (the source has " +
                std::to_string(source_line_count(p)) + " lines)");
            return std::nullopt;
        }
        std::optional<std::uint16_t> at = address_of_line(p, static_cast<int>(*line));
        if (!at) {
            say("no instruction on line " + word.substr(1) + " or after it");
            return std::nullopt;
        }
        return at;
    }
    if (word[0] >= '0' && word[0] <= '9') {
        address = parse_number(word);
        if (!address) {
            say("'" + word + "' is not an address");
            return std::nullopt;
        }
    } else {
        std::optional<std::uint16_t> at = find_label(p, word);
        if (!at) {
            say(p.has_source ? "unknown label '" + word + "'"
                             : "no labels: " + p.file_name + " is object code");
            return std::nullopt;
        }
        address = *at;
    }
    if (*address > limit) {
        say("address " + word + " out of range (0 to " + std::to_string(limit) + ")");
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*address);
}

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

// Text as it stands, NUL bytes included, then a line end.
void put_line(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::putchar('\n');
}

// The source line of address, indented so that it never reads as a trace
// line.
void print_source(const Session& s, unsigned address) {
    if (!s.program.has_source || address >= static_cast<unsigned>(MEMORY_SIZE)) return;
    int line = s.program.line_of_address[address];
    if (line == 0) return;
    std::printf("    %d: ", line);
    put_line(source_line(s.program, line));
}

// Where PC is after a run stopped: the instruction about to run and its
// source line.
void print_at(const Session& s, unsigned address) {
    std::string label = label_at(s.program, static_cast<std::uint16_t>(address));
    std::printf("at %04X%s %s\n", address, label.empty() ? "" : (" (" + label + ")").c_str(),
                address < MAX_MEMORY ? instruction_text(s.machine, address).c_str() : "");
    print_source(s, address);
}

void print_trace(const Session& s) {
    char text[TRACE_LINE_CAPACITY];
    format_trace_line(text, s.last_start, s.machine);
    std::printf("%s\n", text);
    print_source(s, s.last_start.pc);
}

// Why a run ended, in one line (a stop: the simulator's message and
// position line), then the trace line of the last instruction that ran and,
// unless the program halted, where PC is now: the instruction about to run
// (after a stop, the one that stopped, which has no trace line).
void report_end(const Session& s, Why why, bool with_trace) {
    switch (why) {
        case Why::DONE: say("returned"); break;
        case Why::HALTED: say("program halted"); break;
        case Why::STOPPED:
            std::printf("%s%s", stop_message(s.last_stop).c_str(),
                        stop_position_line(s.last_stop).c_str());
            return print_at(s, s.last_start.pc);
        case Why::BREAKPOINT:
            say(std::string("stopped at ") +
                (s.hit_temporary ? "temporary breakpoint " : "breakpoint ") +
                std::to_string(s.hit_id) + ": " + with_label(s, s.machine.PC));
            break;
        case Why::WATCHPOINT: {
            auto watched = std::find_if(s.breakpoints.begin(), s.breakpoints.end(),
                                        [&](const Breakpoint& b) { return b.id == s.hit_id; });
            say("stopped at watchpoint " + std::to_string(s.hit_id) + ": " +
                with_label(s, watched->address) + " changed from " + std::to_string(s.old_value) +
                " to " + std::to_string(s.machine.memory[watched->address]));
            break;
        }
        case Why::INTERRUPTED: say("interrupted"); break;
    }
    if (with_trace) print_trace(s);
    if (why != Why::HALTED) print_at(s, s.machine.PC);
}

bool ready(const Session& s) {
    if (s.state == RunState::READY) return true;
    say(s.state == RunState::HALTED ? "the program has halted: back or run"
                                    : "the program has stopped: back or run");
    return false;
}

// Runs until the subroutine `depth` calls deep returns: every call counts
// one deeper, every ret one shallower. DONE when it returned.
Why run_to_return(Session& s, int depth) {
    for (;;) {
        std::uint8_t op = s.machine.memory[s.machine.PC];
        Why why = run_instruction(s);
        if (why != Why::DONE) return why;
        if (OpcodeTable[op].flow == Flow::CALL) ++depth;
        if (OpcodeTable[op].flow == Flow::RETURN && --depth == 0) return Why::DONE;
        why = check_after(s, true);
        if (why != Why::DONE) return why;
    }
}

// step and next: n instructions, each with its trace line; next runs a
// called subroutine to its return and shows only the call and the ret.
void step_lines(Session& s, std::uint64_t n, bool over_calls) {
    if (!ready(s)) return;
    interrupt_requested = 0;
    for (std::uint64_t i = 0; i < n; ++i) {
        std::uint8_t op = s.machine.memory[s.machine.PC];
        Why why = run_instruction(s);
        if (why == Why::STOPPED) return report_end(s, why, false);
        print_trace(s);
        if (why == Why::HALTED) return report_end(s, why, false);
        if (over_calls && OpcodeTable[op].flow == Flow::CALL) {
            why = check_after(s, true);
            if (why != Why::DONE) return report_end(s, why, false);
            why = run_to_return(s, 1);
            if (why != Why::DONE) return report_end(s, why, true);
            print_trace(s);
        }
        why = check_after(s, i + 1 < n);
        if (why != Why::DONE) return report_end(s, why, false);
    }
}

void finish(Session& s) {
    if (!ready(s)) return;
    interrupt_requested = 0;
    report_end(s, run_to_return(s, 1), true);
}

void continue_run(Session& s) {
    if (!ready(s)) return;
    interrupt_requested = 0;
    Why why;
    do {
        why = run_instruction(s);
        if (why == Why::DONE) why = check_after(s, true);
    } while (why == Why::DONE);
    report_end(s, why, true);
}

void back(Session& s, std::uint64_t n) {
    if (s.undo_count == 0) return say("nothing to undo");
    std::size_t done =
        go_back(s, static_cast<std::size_t>(std::min<std::uint64_t>(n, UNDO_CAPACITY)));
    if (done < n) say("went back " + std::to_string(done) + " (the record holds no more)");
    print_position(s);
}

void print_registers(const Machine& m) {
    const char* name = OpcodeTable[m.IR].defined() ? OpcodeTable[m.IR].mnemonic : "undefined";
    std::printf("PC=%04X SP=%04X IR=%02X (%s) Z=%u S=%u O=%u C=%u instructions=%u clocks=%u\n",
                m.PC, m.SP, m.IR, name, m.Z, m.S, m.O, m.C, m.instruction_count, m.clock_count);
}

constexpr unsigned STACK_SHOWN = 32;

// The top STACK_SHOWN bytes, top first, and how many more there are; all
// of them when asked.
void print_stack(const Machine& m, bool all) {
    if (m.SP == 0 || m.SP == STACK_TOP) return say("the stack is empty");
    unsigned depth = STACK_TOP - m.SP;
    unsigned shown = all ? depth : std::min(depth, STACK_SHOWN);
    for (unsigned a = m.SP + 1u; a <= m.SP + shown; ++a) {
        std::printf("%04X: %02X %u\n", a, m.memory[a], m.memory[a]);
    }
    if (shown < depth) say("... " + std::to_string(depth - shown) + " more (stack all shows them)");
}

void examine(const Machine& m, std::uint16_t address, std::uint64_t count) {
    unsigned end = static_cast<unsigned>(
        std::min<std::uint64_t>(address + count, static_cast<std::uint64_t>(MEMORY_SIZE)));
    for (unsigned a = address; a < end; a += 8) {
        std::string hex;
        std::string decimal;
        for (unsigned b = a; b < end && b < a + 8; ++b) {
            char text[8];
            std::snprintf(text, sizeof text, " %02X", m.memory[b]);
            hex += text;
            decimal += ' ';
            decimal += std::to_string(m.memory[b]);
        }
        std::printf("%04X:%s |%s\n", a, hex.c_str(), decimal.c_str());
    }
}

bool has_breakpoint_on_line(const Session& s, int line) {
    return std::any_of(s.breakpoints.begin(), s.breakpoints.end(), [&](const Breakpoint& b) {
        return b.kind != BreakKind::WATCH && s.program.line_of_address[b.address] == line;
    });
}

// "=>" marks the line or instruction at PC, "* " one with a breakpoint.
const char* marker(bool at_pc, bool breakpoint) { return at_pc ? "=>" : breakpoint ? "* " : "  "; }

constexpr int LIST_AROUND = 5;

void list_source(const Session& s, int center) {
    int first = std::max(1, center - LIST_AROUND);
    int last = std::min(source_line_count(s.program), center + LIST_AROUND);
    int pc_line = s.machine.PC < MEMORY_SIZE ? s.program.line_of_address[s.machine.PC] : 0;
    for (int line = first; line <= last; ++line) {
        std::printf("%s%5d  ", marker(line == pc_line, has_breakpoint_on_line(s, line)), line);
        put_line(source_line(s.program, line));
    }
}

// Instruction boundaries are found by decoding from address 0; when that
// walk misses `center`, the listing starts at center instead.
void list_instructions(const Session& s, unsigned center) {
    std::vector<unsigned> starts;
    for (unsigned a = 0; a <= center && a < static_cast<unsigned>(MAX_MEMORY);
         a += instruction_length(s.machine.memory[a])) {
        starts.push_back(a);
    }
    std::size_t from = starts.size();
    if (!starts.empty() && starts.back() == center) {
        from = starts.size() - 1 - std::min<std::size_t>(starts.size() - 1, LIST_AROUND);
    }
    std::vector<unsigned> shown(starts.begin() + static_cast<std::ptrdiff_t>(from), starts.end());
    if (shown.empty() || shown.back() != center) shown.push_back(center);
    for (int k = 0;
         k < LIST_AROUND && shown.back() + instruction_length(s.machine.memory[shown.back()]) <
                                static_cast<unsigned>(MAX_MEMORY);
         ++k) {
        shown.push_back(shown.back() + instruction_length(s.machine.memory[shown.back()]));
    }
    for (unsigned a : shown) {
        std::string bytes;
        for (unsigned b = a; b < a + instruction_length(s.machine.memory[a]) &&
                             b < static_cast<unsigned>(MEMORY_SIZE);
             ++b) {
            char text[4];
            std::snprintf(text, sizeof text, "%02X ", s.machine.memory[b]);
            bytes += text;
        }
        bool breakpoint = std::any_of(s.breakpoints.begin(), s.breakpoints.end(), [&](auto& b) {
            return b.kind != BreakKind::WATCH && b.address == a;
        });
        std::printf("%s%04X  %-9s %s\n", marker(a == s.machine.PC, breakpoint), a, bytes.c_str(),
                    instruction_text(s.machine, a).c_str());
    }
}

void list(const Session& s, const Words& words) {
    unsigned address = s.machine.PC;
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
    list_instructions(s, std::min(address, static_cast<unsigned>(MAX_MEMORY - 1)));
}

void info_breakpoints(const Session& s) {
    if (s.breakpoints.empty()) return say("no breakpoints or watchpoints");
    for (const Breakpoint& b : s.breakpoints) {
        const char* kind = b.kind == BreakKind::BREAK    ? "break"
                           : b.kind == BreakKind::TBREAK ? "tbreak"
                                                         : "watch";
        std::string text = std::to_string(b.id) + " " + kind + " " + with_label(s, b.address);
        int line = s.program.line_of_address[b.address];
        if (b.kind != BreakKind::WATCH && line > 0) text += " line " + std::to_string(line);
        if (b.kind == BreakKind::WATCH) text += " = " + std::to_string(s.machine.memory[b.address]);
        say(text);
    }
}

void set_breakpoint(Session& s, const Words& words, BreakKind kind) {
    if (words.size() != 2) return say(words[0] + " takes one location");
    unsigned limit = kind == BreakKind::WATCH ? MEMORY_SIZE - 1 : MAX_MEMORY - 1;
    std::optional<std::uint16_t> at = parse_location(s, words[1], limit);
    if (!at) return;
    int id = add_breakpoint(s, kind, *at);
    const char* kind_name = kind == BreakKind::WATCH    ? "watchpoint "
                            : kind == BreakKind::TBREAK ? "temporary breakpoint "
                                                        : "breakpoint ";
    say(kind_name + std::to_string(id) + " at " + with_label(s, *at));
}

void delete_command(Session& s, const Words& words) {
    if (words.size() == 1) {
        delete_all_breakpoints(s);
        return say("deleted every breakpoint and watchpoint");
    }
    std::optional<std::uint64_t> id = parse_number(words[1]);
    if (!id || *id > static_cast<std::uint64_t>(s.next_id) ||
        !delete_breakpoint(s, static_cast<int>(*id))) {
        return say("no breakpoint " + words[1]);
    }
    say("deleted " + words[1]);
}

void help() {
    say("step [N] (s)      run N instructions (default 1), each with its trace line");
    say("next [N] (n)      like step, but a call runs until it returns");
    say("finish            run until the current subroutine returns");
    say("continue (c)      run until a breakpoint, a watchpoint, hlt, a stop or Ctrl-C");
    say("back [N]          undo the last N instructions (default 1)");
    say("break LOC (br)    stop when PC reaches LOC; tbreak LOC: only once");
    say("watch ADDRESS     stop after an instruction that changes the byte at ADDRESS");
    say("delete [ID]       delete a breakpoint or watchpoint, or all of them");
    say("info breakpoints  list breakpoints and watchpoints");
    say("regs              registers, flags and counts");
    say("stack [all]       the top 32 bytes on the stack, or all of them");
    say("x ADDRESS [N]     N bytes of memory in hex and decimal");
    say("list [LOC]        source lines or instructions around PC or LOC");
    say("run               start again from the loaded program; quit (q)");
    say("echo TEXT         print TEXT (marks the parts of a scripted session)");
    say("LOC is a decimal or 0x address, a label or :LINE; an empty line repeats step, next or "
        "back");
}

Words split_words(const std::string& line) {
    Words words;
    std::istringstream in(line);
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

bool is(const std::string& word, const char* name, const char* short_name = nullptr) {
    return word == name || (short_name != nullptr && word == short_name);
}

}  // namespace

void print_position(const Session& s) { print_at(s, s.machine.PC); }

bool run_command(Session& s, const std::string& line) {
    Words words = split_words(line);
    if (words.empty()) {
        if (s.repeat_line.empty()) return true;
        words = split_words(s.repeat_line);
    }
    const std::string& c = words[0];
    // Words a command takes at most, itself included.
    std::size_t most = 1;
    for (const char* name : {"step", "s", "next", "n", "back", "break", "br", "tbreak", "watch",
                             "delete", "list", "info", "stack"}) {
        if (c == name) most = 2;
    }
    if (c == "x") most = 3;
    if (c == "echo") most = words.size();
    if (words.size() > most) {
        say("too many words for " + c);
        return true;
    }
    if (is(c, "step", "s") || is(c, "next", "n") || is(c, "back")) {
        std::optional<std::uint64_t> n = parse_count(words, 1);
        if (!n) return true;
        s.repeat_line = line.empty() ? s.repeat_line : line;
        if (is(c, "back")) {
            back(s, *n);
        } else {
            step_lines(s, *n, c[0] == 'n');
        }
    } else if (is(c, "finish")) {
        finish(s);
    } else if (is(c, "continue", "c")) {
        continue_run(s);
    } else if (is(c, "break", "br")) {
        set_breakpoint(s, words, BreakKind::BREAK);
    } else if (is(c, "tbreak")) {
        set_breakpoint(s, words, BreakKind::TBREAK);
    } else if (is(c, "watch")) {
        set_breakpoint(s, words, BreakKind::WATCH);
    } else if (is(c, "delete")) {
        delete_command(s, words);
    } else if (is(c, "info")) {
        if (words.size() == 2 && (words[1] == "breakpoints" || words[1] == "b")) {
            info_breakpoints(s);
        } else {
            say("info breakpoints lists breakpoints and watchpoints");
        }
    } else if (is(c, "regs")) {
        print_registers(s.machine);
    } else if (is(c, "stack")) {
        if (words.size() == 2 && words[1] != "all") {
            say("stack takes no word but all");
        } else {
            print_stack(s.machine, words.size() == 2);
        }
    } else if (is(c, "x")) {
        std::optional<std::uint16_t> at;
        if (words.size() < 2) {
            say("x takes an address and a count");
        } else {
            at = parse_location(s, words[1], MEMORY_SIZE - 1);
        }
        std::optional<std::uint64_t> n = at ? parse_count(words, 2) : std::nullopt;
        if (n) examine(s.machine, *at, *n);
    } else if (is(c, "list")) {
        list(s, words);
    } else if (is(c, "run")) {
        restart(s);
        say("started again from reset");
        print_position(s);
    } else if (is(c, "quit", "q")) {
        return false;
    } else if (is(c, "echo")) {
        // Marks the sections of a scripted session.
        say(line.substr(std::min(line.find("echo") + 5, line.size())));
    } else if (is(c, "help")) {
        help();
    } else {
        say("unknown command '" + c + "' (help lists the commands)");
    }
    return true;
}
