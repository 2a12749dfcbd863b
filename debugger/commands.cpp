#include "commands.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <sstream>
#include <vector>

#include "findings_view.hpp"
#include "profile_view.hpp"

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

// A word of a command as a message quotes it: at most 80 characters, so
// that a huge line is not echoed whole.
std::string quoted_word(const std::string& word) {
    constexpr std::size_t SHOWN = 80;
    if (word.size() <= SHOWN) return word;
    return word.substr(0, SHOWN) + "...";
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
// source line; with `offset` the nearest label and the offset from it.
void print_at(const Session& s, unsigned address, bool offset = false) {
    std::string label = label_at(s.program, static_cast<std::uint16_t>(address));
    std::string place = offset          ? address_with_offset(s, address)
                        : label.empty() ? hex4(address)
                                        : hex4(address) + " (" + label + ")";
    std::printf("at %s %s\n", place.c_str(),
                address < MAX_MEMORY ? instruction_text(s.machine, address).c_str() : "");
    print_source(s, address);
}

void print_trace(const Session& s) {
    char text[TRACE_LINE_CAPACITY];
    format_trace_line(text, s.last_start, s.machine);
    std::printf("%s\n", text);
    print_source(s, s.last_start.pc);
}

// Why a run ended: the findings the last instruction made, then one line (a
// stop: the simulator's message and position line; a finding: none more),
// then the trace line of the last instruction that ran and, unless the
// program halted, where PC is now: the instruction about to run (after a
// stop, the one that stopped, which has no trace line, with its label and
// offset). `depth_before_call` is the stack's depth before the call a
// RETURNED run finished.
void report_end(const Session& s, RunEnd end, bool with_trace,
                std::optional<unsigned> depth_before_call = std::nullopt) {
    print_findings_here(s);
    unsigned depth = stack_depth(s.machine.SP);
    switch (end) {
        case RunEnd::RETURNED:
            say(depth_before_call ? "returned; " + balance_text(*depth_before_call, depth)
                                  : "returned");
            break;
        case RunEnd::HALTED:
            say(depth == 0 ? "program halted"
                           : "program halted with " + std::to_string(depth) +
                                 (depth == 1 ? " byte" : " bytes") + " on the stack");
            break;
        case RunEnd::STOPPED:
            std::printf("%s%s", stop_message(s.last_stop).c_str(),
                        stop_position_line(s.last_stop).c_str());
            return print_at(s, s.last_start.pc, true);
        case RunEnd::BREAKPOINT:
            say(std::string("stopped at ") +
                (s.hit_temporary ? "temporary breakpoint " : "breakpoint ") +
                std::to_string(s.hit_id) + ": " + with_label(s, s.machine.PC));
            break;
        case RunEnd::WATCHPOINT: {
            auto watched = std::find_if(s.breakpoints.begin(), s.breakpoints.end(),
                                        [&](const Breakpoint& b) { return b.id == s.hit_id; });
            say("stopped at watchpoint " + std::to_string(s.hit_id) + ": " +
                with_label(s, watched->address) + " changed from " + std::to_string(s.old_value) +
                " to " + std::to_string(s.machine.memory[watched->address]));
            break;
        }
        case RunEnd::INTERRUPTED: say("interrupted"); break;
        case RunEnd::FINDING:
        case RunEnd::LIMIT:
        case RunEnd::NOT_RUN:
        case RunEnd::TIMEOUT: break;
    }
    if (with_trace) print_trace(s);
    if (end != RunEnd::HALTED) print_at(s, s.machine.PC);
}

bool ready(const Session& s) {
    if (can_go_on(s.state)) return true;
    say(s.state == RunEnd::HALTED ? "the program has halted: back or run"
                                  : "the program has stopped: back or run");
    return false;
}

// step and next: n instructions, each with its trace line; next runs a
// called subroutine to its return and shows only the call and the ret, then
// how the stack's depth changed if it did. A finding ends them as a
// watchpoint does.
void step_lines(Session& s, std::uint64_t n, bool over_calls) {
    if (!ready(s)) return;
    interrupt_requested = 0;
    for (std::uint64_t i = 0; i < n; ++i) {
        std::uint8_t op = s.machine.memory[s.machine.PC];
        unsigned depth = stack_depth(s.machine.SP);
        RunEnd end = run_instruction(s);
        if (end == RunEnd::STOPPED) return report_end(s, end, false);
        print_trace(s);
        if (end == RunEnd::HALTED) return report_end(s, end, false);
        if (over_calls && OpcodeTable[op].flow == Flow::CALL && end != RunEnd::FINDING) {
            end = check_after(s, true);
            if (end != RunEnd::LIMIT) return report_end(s, end, false);
            end = run_to_return(s, 1);
            if (end != RunEnd::RETURNED) return report_end(s, end, true);
            print_trace(s);
            if (stack_depth(s.machine.SP) != depth)
                say("returned; " + balance_text(depth, stack_depth(s.machine.SP)));
            if (!s.findings.at(s.history.step()).empty()) end = RunEnd::FINDING;
        }
        RunEnd after = check_after(s, i + 1 < n);
        if (after != RunEnd::LIMIT) return report_end(s, after, false);
        if (end == RunEnd::FINDING) return report_end(s, end, false);
    }
}

void finish(Session& s) {
    if (!ready(s)) return;
    interrupt_requested = 0;
    std::optional<OpenCall> call = innermost_call(s);
    std::optional<unsigned> depth;
    if (call) depth = stack_depth(call->sp_after) - 2u;
    report_end(s, run_to_return(s, 1), true, depth);
}

void continue_run(Session& s) {
    if (!ready(s)) return;
    interrupt_requested = 0;
    report_end(s, run_until_break(s), true);
}

void back(Session& s, std::uint64_t n) {
    std::uint64_t at = s.history.step();
    if (at == 0) return say("nothing to undo");
    if (n > at) say("went back " + std::to_string(at) + " (the start of the run)");
    go_to(s, n > at ? 0 : at - n);
    print_position(s);
}

// Findings are not stopped at on the way, but counted.
void goto_step(Session& s, std::uint64_t target) {
    interrupt_requested = 0;
    std::uint64_t from = s.history.step();
    if (target <= s.history.recorded()) {
        go_to(s, target);
    } else if (RunEnd end = run_to(s, target); end != RunEnd::LIMIT) {
        // Where the run ended is shown with its report, except after hlt.
        report_end(s, end, false);
        if (end != RunEnd::HALTED) return;
    }
    // Those of the step reached are named by the report of its end.
    std::size_t passed = s.findings.count_between(from, s.history.step() - 1);
    if (s.history.step() > from && passed > 0) {
        say(std::to_string(passed) + (passed == 1 ? " finding" : " findings") +
            " on the way (info findings lists them)");
    }
    print_position(s);
}

void reverse_continue(Session& s) {
    std::uint64_t target = last_break_before(s);
    if (target == 0)
        say("no breakpoint, watchpoint or finding stops earlier: the start of the run");
    go_to(s, target);
    print_position(s);
}

void print_last_write(Session& s, std::uint16_t address) {
    std::optional<std::uint64_t> t = last_write(s, address);
    if (!t) return say("nothing changed " + with_label(s, address) + " since the start");
    s.history.rebuild(*s.scratch, *t - 1);
    unsigned pc = s.scratch->PC;
    say("instruction " + std::to_string(*t) + " at " + with_label(s, pc) + " changed " +
        with_label(s, address));
    say(s.history.trace_line(*s.scratch, *t));
    print_source(s, pc);
}

void print_registers(const Machine& m) {
    const char* name = OpcodeTable[m.IR].defined() ? OpcodeTable[m.IR].mnemonic : "undefined";
    std::printf("PC=%04X SP=%04X IR=%02X (%s) Z=%u S=%u O=%u C=%u instructions=%llu clocks=%llu\n",
                m.PC, m.SP, m.IR, name, m.Z, m.S, m.O, m.C,
                static_cast<unsigned long long>(m.instruction_count),
                static_cast<unsigned long long>(m.clock_count));
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

Words split_words(const std::string& line) {
    Words words;
    std::istringstream in(line);
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

// A whole number of steps, from 0.
std::optional<std::uint64_t> parse_step(const Words& words) {
    std::optional<std::uint64_t> n;
    if (words.size() == 2) n = parse_number(words[1]);
    if (!n) say(words[0] + " takes an instruction number (0 for the start)");
    return n;
}

std::optional<std::uint16_t> parse_address(const Session& s, const Words& words) {
    if (words.size() != 2) {
        say(words[0] + " takes one location");
        return std::nullopt;
    }
    return parse_location(s, words[1], MEMORY_SIZE - 1);
}

// What a handler gets: the session, the line's words (the command first)
// and the whole line (echo prints its rest).
struct Call {
    Session& s;
    const Words& words;
    const std::string& line;
};

// step, next and back: an empty line after one repeats it.
void repeat_later(const Call& c) {
    if (!c.line.empty()) c.s.repeat_line = c.line;
}

bool step_command(const Call& c) {
    if (std::optional<std::uint64_t> n = parse_count(c.words, 1)) {
        repeat_later(c);
        step_lines(c.s, *n, c.words[0][0] == 'n');
    }
    return true;
}

bool examine_command(const Call& c) {
    std::optional<std::uint16_t> at;
    if (c.words.size() < 2) {
        say("x takes an address and a count");
    } else {
        at = parse_location(c.s, c.words[1], MEMORY_SIZE - 1);
    }
    std::optional<std::uint64_t> n = at ? parse_count(c.words, 2) : std::nullopt;
    if (n) examine(c.s.machine, *at, *n);
    return true;
}

void help();

// Every command: its name and short name, the arguments help shows, the
// most words it takes (itself included; 0 for any), whether an empty line
// repeats it, what it does and its help line.
struct Command {
    const char* name;
    const char* alias;
    const char* arguments;
    std::size_t most_words;
    bool repeats;
    bool (*run)(const Call&);
    const char* help;
};

constexpr Command COMMANDS[] = {
    {"step", "s", "[N]", 2, true, step_command,
     "run N instructions (default 1), each with its trace line"},
    {"next", "n", "[N]", 2, true, step_command, "like step, but a call runs until it returns"},
    {"finish", nullptr, "", 1, false,
     [](const Call& c) {
         finish(c.s);
         return true;
     },
     "run until the current subroutine returns; how the stack changed"},
    {"continue", "c", "", 1, false,
     [](const Call& c) {
         continue_run(c.s);
         return true;
     },
     "run until a breakpoint, a watchpoint, a finding, hlt, a stop or Ctrl-C"},
    {"back", nullptr, "[N]", 2, true,
     [](const Call& c) {
         if (std::optional<std::uint64_t> n = parse_count(c.words, 1)) {
             repeat_later(c);
             back(c.s, *n);
         }
         return true;
     },
     "go back N instructions (default 1), as far as the start of the run"},
    {"goto", nullptr, "N", 2, false,
     [](const Call& c) {
         if (std::optional<std::uint64_t> n = parse_step(c.words)) goto_step(c.s, *n);
         return true;
     },
     "to the state right after instruction N of the run (0: the start)"},
    {"reverse-continue", "rc", "", 1, false,
     [](const Call& c) {
         reverse_continue(c.s);
         return true;
     },
     "back to where a breakpoint, watchpoint or finding last stopped, or the start"},
    {"last-write", nullptr, "LOC", 2, false,
     [](const Call& c) {
         if (std::optional<std::uint16_t> at = parse_address(c.s, c.words)) {
             print_last_write(c.s, *at);
         }
         return true;
     },
     "the last instruction that changed the byte at LOC"},
    {"break", "br", "LOC", 2, false,
     [](const Call& c) {
         set_breakpoint(c.s, c.words, BreakKind::BREAK);
         return true;
     },
     "stop when PC reaches LOC"},
    {"tbreak", nullptr, "LOC", 2, false,
     [](const Call& c) {
         set_breakpoint(c.s, c.words, BreakKind::TBREAK);
         return true;
     },
     "stop when PC reaches LOC, only once"},
    {"watch", nullptr, "ADDRESS", 2, false,
     [](const Call& c) {
         set_breakpoint(c.s, c.words, BreakKind::WATCH);
         return true;
     },
     "stop after an instruction that changes the byte at ADDRESS"},
    {"delete", nullptr, "[ID]", 2, false,
     [](const Call& c) {
         delete_command(c.s, c.words);
         return true;
     },
     "delete a breakpoint or watchpoint, or all of them"},
    {"info", nullptr, "WHAT", 2, false,
     [](const Call& c) {
         if (c.words.size() == 2 && (c.words[1] == "breakpoints" || c.words[1] == "b")) {
             info_breakpoints(c.s);
         } else if (c.words.size() == 2 && c.words[1] == "findings") {
             info_findings(c.s);
         } else {
             say("info breakpoints lists breakpoints and watchpoints, info findings the findings");
         }
         return true;
     },
     "list the breakpoints (and watchpoints) or the findings of the run"},
    {"check", nullptr, "[KIND on|off]", 3, false,
     [](const Call& c) {
         check_command(c.s, c.words);
         return true;
     },
     "the kinds of findings that stop a run; turn one (or all) on or off"},
    {"regs", nullptr, "", 1, false,
     [](const Call& c) {
         print_registers(c.s.machine);
         return true;
     },
     "registers, flags and counts"},
    {"stack", nullptr, "[all]", 2, false,
     [](const Call& c) {
         if (c.words.size() == 2 && c.words[1] != "all") {
             say("stack takes no word but all");
         } else {
             print_stack(c.s.machine, c.words.size() == 2);
         }
         return true;
     },
     "the top 32 bytes on the stack, or all of them"},
    {"x", nullptr, "ADDRESS [N]", 3, false, examine_command,
     "N bytes of memory in hex and decimal"},
    {"list", nullptr, "[LOC]", 2, false,
     [](const Call& c) {
         list(c.s, c.words);
         return true;
     },
     "source lines or instructions around PC or LOC"},
    {"profile", nullptr, "[FILE]", 2, false,
     [](const Call& c) {
         if (c.words.size() == 2) {
             write_profile(c.s, c.words[1]);
         } else {
             std::string text = profile_text(c.s);
             std::fwrite(text.data(), 1, text.size(), stdout);
         }
         return true;
     },
     "per line count and clocks, costliest, subroutines; FILE: callgrind"},
    {"run", nullptr, "", 1, false,
     [](const Call& c) {
         restart(c.s);
         say("started again from reset");
         print_position(c.s);
         return true;
     },
     "start again from the loaded program"},
    {"quit", "q", "", 1, false, [](const Call&) { return false; }, "end the session"},
    {"echo", nullptr, "TEXT", 0, false,
     [](const Call& c) {
         // Marks the sections of a scripted session.
         say(c.line.substr(std::min(c.line.find("echo") + 5, c.line.size())));
         return true;
     },
     "print TEXT (marks the parts of a scripted session)"},
    {"help", nullptr, "", 1, false,
     [](const Call&) {
         help();
         return true;
     },
     "this list"},
};

std::string usage_of(const Command& command) {
    std::string text = command.name;
    if (*command.arguments != '\0') text = text + " " + command.arguments;
    if (command.alias != nullptr) text = text + " (" + command.alias + ")";
    return text;
}

void help() {
    std::string repeated;
    for (const Command& command : COMMANDS) {
        std::printf("%-22s %s\n", usage_of(command).c_str(), command.help);
        if (command.repeats)
            repeated += repeated.empty() ? command.name : std::string(", ") + command.name;
    }
    std::string kinds;
    for (const FindingKindRow& kind : FINDING_KINDS) kinds.append(kind.name).append(", ");
    say("LOC is a decimal or 0x address, a label or :LINE; WHAT is breakpoints or findings; KIND "
        "is " +
        kinds + "or all; an empty line repeats " + repeated);
}

const Command* find_command(const std::string& word) {
    for (const Command& command : COMMANDS) {
        if (word == command.name || (command.alias != nullptr && word == command.alias)) {
            return &command;
        }
    }
    return nullptr;
}

}  // namespace

void print_position(const Session& s) { print_at(s, s.machine.PC); }

bool run_command(Session& s, const std::string& line) {
    Words words = split_words(line);
    if (words.empty()) {
        if (s.repeat_line.empty()) return true;
        words = split_words(s.repeat_line);
    }
    const Command* command = find_command(words[0]);
    if (command == nullptr) {
        say("unknown command '" + quoted_word(words[0]) + "' (help lists the commands)");
        return true;
    }
    if (command->most_words != 0 && words.size() > command->most_words) {
        say("too many words for " + quoted_word(words[0]));
        return true;
    }
    return command->run(Call{s, words, line});
}
