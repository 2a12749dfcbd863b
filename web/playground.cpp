// The web page's side of the assembler library and the machine core, as
// plain C functions that the page's script calls. One playground per page:
// the record below, which owns the machine.
//
// Runs go through the core's recorded run (machine/recorded_run.hpp), the
// same one the debugger uses: the fast loop where it can, the step
// procedure for in, out and hlt, and a history from which step back, the
// trace of the last instructions and the bytes the last one changed are
// rebuilt, back to the start of any run. Its finding monitor looks at every
// instruction the first time the run gets there, and a finding pauses a
// run right after its instruction, on new ground and on ground run again.
// A run on new ground pauses before each `in 1` until the page says a key
// came (pg_key); ground run again passes it at once.
#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>
#else
// Built natively for the tests, which call the functions as the page does.
#define EMSCRIPTEN_KEEPALIVE
#endif

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "assemble.hpp"
#include "machine/call_arguments.hpp"
#include "machine/display.hpp"
#include "machine/headless.hpp"
#include "machine/loader.hpp"
#include "machine/profile.hpp"
#include "machine/recorded_run.hpp"
#include "machine/run_end.hpp"
#include "machine/stack_story.hpp"
#include "machine/trace.hpp"
#include "stack_comment.hpp"

namespace {

// At most this many port 0 values are shown; older ones scroll away.
constexpr std::size_t CONSOLE_VALUES = 2000;
// Snapshots the page's history keeps at most (about 4 MB).
constexpr std::size_t HISTORY_BUDGET = 256;
// Bytes one instruction changes at most: pops and pushes, and a word stored.
constexpr std::size_t CHANGED_CAPACITY = 16;

struct Playground {
    // The run: machine, history, findings and breakpoints (as marks).
    RecordedRun run{HISTORY_BUDGET};
    AssemblyResult assembly;
    // The loader's refusal of the assembled program, which then does not run.
    std::optional<Stop> refused;
    // The kinds of findings the page looks for and stops at; the source's
    // lines and labels for their texts.
    FindingKinds finding_kinds = DEFAULT_FINDING_KINDS;
    SourceMap source_map;
    // The counts of the heat column: the run counted again from the start
    // (made at every reset), and per source line from 0 its instructions
    // and clocks as pg_heat hands them out.
    std::unique_ptr<Profile> profile;
    std::vector<double> heat;
    std::uint32_t registers[12];
    std::uint16_t changed[CHANGED_CAPACITY];
    std::string text;  // the last string handed to the script

    // A run waits before an `in 1` on new ground until a key comes
    // (pg_key), as at the simulator's terminal.
    Playground() {
        run.waits_for_keys = true;
        // The page's run speed before the searches' (which replay it).
        run.keep_summaries(false);
    }
};

Playground pg;

const char* hand_out(std::string text) {
    pg.text = std::move(text);
    return pg.text.c_str();
}

// What the page shows as the run's state, one of RunEnd's numbers, which
// the script reads: NOT_RUN when nothing assembled, else where the run
// stands or how its last motion ended (a pause, shown as the user's stop;
// a watch's stop, shown as a breakpoint's).
RunEnd state() {
    if (!pg.assembly.ok) return RunEnd::NOT_RUN;
    if (pg.refused) return RunEnd::STOPPED;
    RunEnd standing = pg.run.standing();
    if (standing == RunEnd::HALTED || standing == RunEnd::STOPPED) return standing;
    switch (RunEnd end = pg.run.report().end) {
        case RunEnd::BREAKPOINT:
        case RunEnd::FINDING:
        case RunEnd::KEY_WAIT: return end;
        case RunEnd::WATCHPOINT: return end;
        case RunEnd::INTERRUPTED: return RunEnd::STOPPED;
        default: return standing;
    }
}

// The stop shown when the state is STOPPED.
Stop shown_stop() {
    if (pg.refused) return *pg.refused;
    if (pg.run.standing() == RunEnd::STOPPED) return pg.run.stop();
    return Stop{StopKind::USER_ABORT, pg.run.machine().PC, pg.run.machine().IR, {}};
}

int moved(const MotionOrder& order) {
    if (pg.assembly.ok && !pg.refused) pg.run.move(order);
    return static_cast<int>(state());
}

bool loaded() { return pg.assembly.ok && pg.run.findings().monitor != nullptr; }

// Run to cursor: a temporary breakpoint for the runs that pass the cursor's
// address, taken away by any other run (a hit takes it itself).
int cursor_mark = 0;

void drop_cursor() {
    if (cursor_mark != 0) pg.run.delete_mark(cursor_mark);
    cursor_mark = 0;
}

// A step over or out under way: the run goes on until as many calls are
// open as `calls`, in pieces of a given number of instructions, so that the
// page draws between them; a piece ended at step `at` goes on from there
// only (any other move ends it).
struct Pending {
    bool on = false;
    std::size_t calls = 0;
    std::uint64_t at = 0;
};
Pending pending;
volatile std::sig_atomic_t piece_over = 0;

// The core's motion for at most `budget` instructions: the interrupt ends
// it after them, as the Stop button would.
MotionReport piece(const MotionOrder& order, std::uint32_t& budget) {
    piece_over = budget == 0 ? 1 : 0;
    pg.run.interrupt = &piece_over;
    pg.run.show_output = [&budget](std::vector<std::uint8_t>&) {
        if (budget > 0 && --budget == 0) piece_over = 1;
    };
    MotionReport r = pg.run.move(order);
    pg.run.show_output = nullptr;
    pg.run.interrupt = nullptr;
    piece_over = 0;
    return r;
}

// Finishes calls until `pending.calls` are open, within the budget.
int return_pieces(std::uint32_t budget) {
    pending.on = false;
    while (pg.run.open_calls().size() > pending.calls) {
        MotionReport r = piece({Motion::FINISH}, budget);
        if (r.end == RunEnd::INTERRUPTED || r.end == RunEnd::KEY_WAIT) {
            pending = {true, pending.calls, pg.run.step()};
            break;
        }
        if (r.end != RunEnd::RETURNED) break;
    }
    return static_cast<int>(state());
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int pg_reset();

// Assembles source text (NUL-terminated UTF-8); on success loads it and
// resets the machine. Returns 1 when it assembled.
EMSCRIPTEN_KEEPALIVE int pg_assemble(const char* source) {
    pg.assembly = assemble_source(source, true);
    pg.run.clear_marks();
    pg.profile.reset();
    if (!pg.assembly.ok) return 0;
    pg.source_map = source_map_of(pg.assembly);
    pg_reset();
    return 1;
}

// The listing as the assembler prints it, ending with its error message if
// there was one.
EMSCRIPTEN_KEEPALIVE const char* pg_listing() {
    return hand_out(pg.assembly.listing + pg.assembly.error_message);
}

EMSCRIPTEN_KEEPALIVE int pg_error_line() { return pg.assembly.error_line; }

// The assembler's error message, "" when it assembled.
EMSCRIPTEN_KEEPALIVE const char* pg_error_message() { return hand_out(pg.assembly.error_message); }

// The listing as `assembler --listing` writes it (address, bytes, source);
// "" when the source did not assemble.
EMSCRIPTEN_KEEPALIVE const char* pg_machine_listing() {
    return hand_out(pg.assembly.machine_listing);
}

// What the assembler warns of, one "line<TAB>text" line each.
EMSCRIPTEN_KEEPALIVE const char* pg_warnings() {
    std::string out;
    for (const Finding& f : pg.assembly.findings)
        out += std::to_string(f.line) + '\t' + f.text + '\n';
    return hand_out(std::move(out));
}

// The object code text, as the assembler writes it to its .hx file.
EMSCRIPTEN_KEEPALIVE const char* pg_object_code() { return hand_out(pg.assembly.object_code); }

// The symbol table, one "name value" line per label in the order of definition.
EMSCRIPTEN_KEEPALIVE const char* pg_symbols() {
    std::string out;
    for (const Symbol& s : pg.assembly.symbols) {
        out += s.name;
        out += ' ';
        out += std::to_string(s.value);
        out += '\n';
    }
    return hand_out(std::move(out));
}

// For every address, the source line that placed its byte (0 for none):
// MEMORY_SIZE 32-bit values.
EMSCRIPTEN_KEEPALIVE const std::int32_t* pg_line_map() {
    return pg.assembly.source_line_of_address.data();
}

// The source lines as the assembler numbered them (also after an error):
// how many, and for each, from line 1 on, the line of the text it begins on
// (a text line longer than 255 characters is several numbered lines).
EMSCRIPTEN_KEEPALIVE int pg_line_count() {
    return static_cast<int>(pg.assembly.lines.text_lines.size());
}
EMSCRIPTEN_KEEPALIVE const std::int32_t* pg_text_lines() {
    return pg.assembly.lines.text_lines.data();
}

// Back to the state just after loading: the assembled object code goes
// through the simulator's own loader. Returns the state.
EMSCRIPTEN_KEEPALIVE int pg_reset() {
    if (!pg.assembly.ok) return static_cast<int>(RunEnd::NOT_RUN);
    WrittenSet loaded;
    WrittenSet code;
    auto start = std::make_unique<Machine>();
    pg.refused =
        reset_and_load(*start, ObjectCode::in_text(pg.assembly.object_code), &loaded, &code);
    pg.run.set_shown(pg.finding_kinds);
    pg.run.set_blocks(block_spans(pg.assembly.data_blocks));
    pg.run.load(*start, loaded, code, pg.finding_kinds);
    pg.profile = std::make_unique<Profile>(pg.run.machine());
    return static_cast<int>(state());
}

// Runs at most limit instructions (a continue of the recorded run), with
// breakpoints (1) or without (0): it stops where a breakpoint is reached,
// after a watched byte changed, after the instruction of a finding, and
// before an `in 1` that waits. With breakpoints and a `cursor` address (not
// -1) it also stops before the instruction there (Run to cursor). Returns
// the state.
EMSCRIPTEN_KEEPALIVE int pg_run(std::uint32_t limit, int breakpoints, int cursor) {
    if (limit == 0) return static_cast<int>(state());
    if (breakpoints == 0 || cursor < 0 || cursor >= static_cast<int>(MAX_MEMORY)) {
        drop_cursor();
    } else if (cursor_mark == 0 || pg.run.find_mark(cursor_mark) == nullptr ||
               pg.run.find_mark(cursor_mark)->address != cursor) {
        drop_cursor();
        cursor_mark = pg.run.add_mark(MarkKind::TBREAK, static_cast<std::uint16_t>(cursor));
    }
    int shown = moved({Motion::CONTINUE, limit, breakpoints != 0});
    if (pg.run.report().end != RunEnd::LIMIT || pg.run.find_mark(cursor_mark) == nullptr)
        drop_cursor();
    return shown;
}

EMSCRIPTEN_KEEPALIVE int pg_finding_count() {
    return loaded() ? static_cast<int>(pg.run.findings().all().size()) : 0;
}

// The findings of the run so far, one line each: kind (its place in
// FINDING_KINDS), instruction number, PC, the source line it is marked on
// and that line's label with offset, then the text as reports write it,
// tab-separated. A stray PC has no line of its own: it is marked on the
// line of the jump or return that left the program.
EMSCRIPTEN_KEEPALIVE const char* pg_findings() {
    std::string out;
    if (!loaded()) return hand_out(out);
    for (const MachineFinding& f : pg.run.findings().all()) {
        unsigned at = pg.source_map.line_of(f.pc) == 0 && f.has_related ? f.related_pc : f.pc;
        out += std::to_string(static_cast<int>(f.kind)) + '\t' + std::to_string(f.instruction) +
               '\t' + std::to_string(f.pc) + '\t' + std::to_string(pg.source_map.line_of(at)) +
               '\t' + pg.source_map.label_offset(at) + '\t' + finding_text(f, &pg.source_map) +
               '\n';
    }
    return hand_out(std::move(out));
}

// The kinds, one "name<TAB>title<TAB>on" line each in FINDING_KINDS order,
// on as the page looks for them now.
EMSCRIPTEN_KEEPALIVE const char* pg_finding_kinds() {
    std::string out;
    for (const FindingKindRow& row : FINDING_KINDS) {
        bool on = (pg.finding_kinds & kind_bit(row.kind)) != 0;
        out += std::string(row.name) + '\t' + row.title + '\t' + (on ? "1" : "0") + '\n';
    }
    return hand_out(std::move(out));
}

// The kinds to look for from now on, one bit each in FINDING_KINDS order.
EMSCRIPTEN_KEEPALIVE void pg_set_finding_kinds(unsigned kinds) {
    pg.finding_kinds = static_cast<FindingKinds>(kinds & ALL_FINDING_KINDS);
    pg.run.set_shown(pg.finding_kinds);
    if (loaded()) pg.run.set_looked_for(pg.finding_kinds);
}

EMSCRIPTEN_KEEPALIVE int pg_step() { return moved({Motion::STEP}); }

// Goes back one instruction. Returns 1 when there was one to go back over.
EMSCRIPTEN_KEEPALIVE int pg_step_back() {
    if (!pg.assembly.ok || pg.refused) return 0;
    return pg.run.move({Motion::BACK}).refused ? 0 : 1;
}

// How many instructions step back can go back over: all of the run.
EMSCRIPTEN_KEEPALIVE int pg_history_length() {
    return static_cast<int>(std::min<std::uint64_t>(pg.run.step(), INT32_MAX));
}

// The instruction the machine stands after (0: the start of the run) and the
// furthest one recorded, as doubles: a run may pass 2^32 instructions.
EMSCRIPTEN_KEEPALIVE double pg_position() { return static_cast<double>(pg.run.step()); }
EMSCRIPTEN_KEEPALIVE double pg_recorded() { return static_cast<double>(pg.run.recorded()); }

// Moves the machine to the state after `target` instructions of the run (cut
// to what is recorded), forward or back. Returns the state.
EMSCRIPTEN_KEEPALIVE int pg_go_to(double target) {
    double last = static_cast<double>(pg.run.recorded());
    return moved({Motion::TO_STEP, static_cast<std::uint64_t>(std::clamp(target, 0.0, last))});
}

// Reverse continue: back to the last instruction before the current one
// after which PC stood at a breakpoint (the state BREAKPOINT) or that made a
// finding (FINDING), or to the start when there is none. Returns the state.
EMSCRIPTEN_KEEPALIVE int pg_reverse_continue() {
    if (pg.run.step() == 0) return static_cast<int>(state());
    return moved({Motion::BACK_CONTINUE});
}

// The last instruction up to the current one that changed the byte at
// address; 0 when none did since loading.
EMSCRIPTEN_KEEPALIVE double pg_last_write(unsigned address) {
    if (state() == RunEnd::NOT_RUN || address >= MEMORY_SIZE || pg.run.step() == 0) return 0;
    return static_cast<double>(pg.run.last_write(static_cast<std::uint16_t>(address)).value_or(0));
}

// The trace line of instruction t of the run (1 to the furthest recorded).
EMSCRIPTEN_KEEPALIVE const char* pg_trace_line(double t) {
    if (state() == RunEnd::NOT_RUN || t < 1 || t > static_cast<double>(pg.run.recorded()))
        return hand_out("");
    return hand_out(pg.run.history().trace_line(pg.run.scratch(), static_cast<std::uint64_t>(t)));
}

// Counts the run for the heat column towards the machine's place in it, at
// most `most` instructions further (going back starts the count over).
// Returns 1 when the counts have reached the machine's place.
EMSCRIPTEN_KEEPALIVE int pg_count_heat(std::uint32_t most) {
    if (!pg.profile || state() == RunEnd::NOT_RUN) return 1;
    Profile& profile = *pg.profile;
    std::uint64_t target = pg.run.step();
    if (target < profile.step()) profile.count_to(0);
    profile.count_to(std::min(target, profile.step() + most));
    return profile.step() >= target || profile.ended() ? 1 : 0;
}

// The heat column's counts as counted so far: for each source line from 0
// to pg_line_count(), the instructions that ran on it and their clocks, two
// doubles; -1 instructions for a line that placed no instruction.
EMSCRIPTEN_KEEPALIVE const double* pg_heat() {
    pg.heat.clear();
    if (!pg.profile) return pg.heat.data();
    int lines = pg_line_count();
    std::vector<bool> has_code(static_cast<std::size_t>(lines) + 1);
    for (std::size_t a = 0; a < MEMORY_SIZE; ++a) {
        std::int32_t line = pg.assembly.source_line_of_address[a];
        if (pg.assembly.code[a] && line > 0 && line <= lines) has_code[line] = true;
    }
    std::vector<ProfileCost> costs = pg.profile->by_line(pg.assembly.source_line_of_address, lines);
    for (std::size_t line = 0; line < costs.size(); ++line) {
        bool code = line < has_code.size() && has_code[line];
        pg.heat.push_back(code ? static_cast<double>(costs[line].instructions) : -1);
        pg.heat.push_back(static_cast<double>(costs[line].clocks));
    }
    return pg.heat.data();
}

// A key came while the run waits before an `in 1` (the state KEY_WAIT):
// the next run or step runs that `in 1` and goes on. Anywhere else the
// key is passed over, as the simulator's key test passes over every key but
// Escape. Returns 1 when the run was waiting.
EMSCRIPTEN_KEEPALIVE int pg_key() {
    if (state() != RunEnd::KEY_WAIT) return 0;
    pg.run.key_came();
    return 1;
}

// Whether runs from now on wait for keys (1, the default) or pass every
// `in 1` at once (0: a run asked for by a course page, where no one types).
EMSCRIPTEN_KEEPALIVE void pg_set_key_waits(int on) { pg.run.waits_for_keys = on != 0; }

// Escape or the Stop button: the stop the simulator shows for Escape.
// It pauses the run; the next motion goes on.
EMSCRIPTEN_KEEPALIVE int pg_abort() {
    if (pg.assembly.ok && !pg.refused) pg.run.pause();
    return static_cast<int>(state());
}

// 1 when the run is over: hlt ran, or a stop other than the user's.
EMSCRIPTEN_KEEPALIVE int pg_ended() {
    return state() == RunEnd::HALTED ||
           (state() == RunEnd::STOPPED && shown_stop().kind != StopKind::USER_ABORT);
}

EMSCRIPTEN_KEEPALIVE void pg_set_breakpoint(unsigned address, int on) {
    if (address >= MAX_MEMORY || (pg.run.break_at()[address] != 0) == (on != 0)) return;
    if (on != 0) {
        pg.run.add_mark(MarkKind::BREAK, static_cast<std::uint16_t>(address));
        return;
    }
    for (const Mark& m : pg.run.marks()) {
        if (m.kind == MarkKind::BREAK && m.address == address) {
            pg.run.delete_mark(m.id);
            break;
        }
    }
}

// PC, SP, IR, Z, S, O, C, instructions and clocks (each as its low and then
// its high 32 bits), state.
EMSCRIPTEN_KEEPALIVE const std::uint32_t* pg_registers() {
    const Machine& m = pg.run.machine();
    auto low = [](std::uint64_t v) { return static_cast<std::uint32_t>(v); };
    auto high = [](std::uint64_t v) { return static_cast<std::uint32_t>(v >> 32); };
    std::uint32_t values[] = {m.PC,
                              m.SP,
                              m.IR,
                              m.Z,
                              m.S,
                              m.O,
                              m.C,
                              low(m.instruction_count),
                              high(m.instruction_count),
                              low(m.clock_count),
                              high(m.clock_count),
                              static_cast<std::uint32_t>(state())};
    static_assert(std::size(values) == std::size(pg.registers));
    std::copy(std::begin(values), std::end(values), pg.registers);
    return pg.registers;
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* pg_memory() { return pg.run.machine().memory; }

// The mnemonic of an opcode, "" for an undefined one.
EMSCRIPTEN_KEEPALIVE const char* pg_mnemonic(unsigned opcode) {
    return OpcodeTable[opcode & 0xFF].mnemonic;
}

// 1 for an undefined opcode.
EMSCRIPTEN_KEEPALIVE unsigned pg_instruction_length(unsigned opcode) {
    return instruction_length(static_cast<std::uint8_t>(opcode));
}

// The addresses whose bytes the last instruction changed: their count, the
// addresses in pg_changed_addresses().
EMSCRIPTEN_KEEPALIVE int pg_changed_count() {
    if (pg.run.step() == 0 || state() == RunEnd::NOT_RUN) return 0;
    pg.run.history().rebuild(pg.run.scratch(), pg.run.step() - 1);
    std::size_t count = 0;
    for (unsigned a = 0; a < MEMORY_SIZE && count < CHANGED_CAPACITY; ++a) {
        if (pg.run.machine().memory[a] != pg.run.scratch().memory[a])
            pg.changed[count++] = static_cast<std::uint16_t>(a);
    }
    return static_cast<int>(count);
}

EMSCRIPTEN_KEEPALIVE const std::uint16_t* pg_changed_addresses() { return pg.changed; }

// The simulator's console output of the run without the spinner: the port 0
// display, then -HALT- and the statistics, or the stop's message and
// position line.
EMSCRIPTEN_KEEPALIVE const char* pg_console() {
    std::string out;
    const std::vector<std::uint8_t>& values = pg.run.io.port0;
    std::size_t first = values.size() > CONSOLE_VALUES ? values.size() - CONSOLE_VALUES : 0;
    for (std::size_t i = first; i < values.size(); ++i) {
        char text[PORT0_TEXT_CAPACITY];
        format_port0(text, values[i]);
        out += '\n';
        out += text;
    }
    if (state() == RunEnd::HALTED) {
        out += "\n-HALT-\n" + statistics_text(pg.run.machine());
    } else if (state() == RunEnd::STOPPED) {
        out += stop_message(shown_stop()) + stop_position_line(shown_stop());
    }
    return hand_out(std::move(out));
}

// The last line of the stop's message, without blanks, dashes and a leading
// "ERROR " ("Stack underflow", "indirect overload (> MAX_MEMORY)"), empty unless the machine stands
// stopped; 1 from pg_user_stop when the stop was the user's.
EMSCRIPTEN_KEEPALIVE const char* pg_stop_reason() {
    if (state() != RunEnd::STOPPED) return hand_out("");
    std::string text = stop_message(shown_stop());
    const auto last = text.find_last_not_of("\n- ");
    if (last == std::string::npos) return hand_out("");
    const auto line = text.rfind('\n', last);
    auto first = text.find_first_not_of("\n- ", line == std::string::npos ? 0 : line);
    if (text.compare(first, 6, "ERROR ") == 0) first += 6;
    return hand_out(text.substr(first, last - first + 1));
}
EMSCRIPTEN_KEEPALIVE int pg_user_stop() {
    return state() == RunEnd::STOPPED && shown_stop().kind == StopKind::USER_ABORT;
}

// Every port 0 value of the run so far, separated by commas.
EMSCRIPTEN_KEEPALIVE const char* pg_out_values() {
    std::string out;
    for (const std::uint8_t value : pg.run.io.port0) {
        if (!out.empty()) out += ',';
        out += std::to_string(value);
    }
    return hand_out(std::move(out));
}

// The open calls, innermost first, one line each: "POSITION ROUTINE CALL"
// in hex, "-" for what a frame has not (the outermost frame, the program
// itself, has no routine and no call), then, for a routine with a stack
// comment, a tab and its named arguments as the debugger's backtrace shows
// them ("(a = 2 from line 5, b = 9 from line 6)").
EMSCRIPTEN_KEEPALIVE const char* pg_frames() {
    if (state() == RunEnd::NOT_RUN) return hand_out("");
    std::string out;
    char line[16];
    const std::vector<Frame> frames = pg.run.frames();
    std::optional<StackStory> story;  // only for a routine with a stack comment
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const Frame& f = frames[i];
        std::snprintf(line, sizeof line, "%04X", f.position);
        out += line;
        for (std::optional<std::uint16_t> part : {f.routine, f.call_site}) {
            if (part) {
                std::snprintf(line, sizeof line, " %04X", *part);
                out += line;
            } else {
                out += " -";
            }
        }
        std::vector<std::string> names;
        if (f.routine && *f.routine < MEMORY_SIZE)
            names = stack_comment_arguments(pg.assembly.lines,
                                            pg.assembly.source_line_of_address[*f.routine]);
        if (!names.empty()) {
            if (!story) story = pg.run.stack_story();
            const std::vector<OpenCall>& calls = story->calls;
            if (i < calls.size()) {
                std::string arguments =
                    call_arguments_text(pg.run.machine(), calls[calls.size() - 1 - i],
                                        story->origins, names, pg.assembly.source_line_of_address);
                if (!arguments.empty()) out += '\t' + arguments;
            }
        }
        out += '\n';
    }
    return hand_out(std::move(out));
}

// The stack's entries, top first, for at most `bytes` bytes, one line
// each: "ADDRESS r RETURN_ADDRESS" for the return address of an open call,
// "ADDRESS b PUSHER" for a byte (PUSHER "-" when no instruction the run
// saw pushed it), in hex.
EMSCRIPTEN_KEEPALIVE const char* pg_stack(unsigned bytes) {
    if (state() == RunEnd::NOT_RUN) return hand_out("");
    std::string out;
    char line[32];
    const Machine& m = pg.run.machine();
    const StackStory story = pg.run.stack_story();  // the entries point into it
    for (const StackEntry& e : stack_entries(story, m, bytes)) {
        if (e.call != nullptr) {
            std::snprintf(line, sizeof line, "%04X r %04X\n", e.address, e.call->return_address);
        } else if (e.pushed_by == StackOrigins::NONE) {
            std::snprintf(line, sizeof line, "%04X b -\n", e.address);
        } else {
            std::snprintf(line, sizeof line, "%04X b %04X\n", e.address, e.pushed_by);
        }
        out += line;
    }
    return hand_out(std::move(out));
}

// The trace lines of the last `count` instructions (as many as the run
// has), oldest first, each ending with a line end: rebuilt from the history
// on a scratch machine, so the run's machine stays as it is.
EMSCRIPTEN_KEEPALIVE const char* pg_trace(int count) {
    if (state() == RunEnd::NOT_RUN) return hand_out("");
    std::uint64_t n =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max(count, 0)), pg.run.step());
    Replay replay(pg.run.history(), pg.run.scratch(), pg.run.step() - n);
    std::string out;
    char line[TRACE_LINE_CAPACITY];
    TraceStart start{};
    // The stopping instruction has no line.
    replay.forward(
        pg.run.step(), [&](const Machine& m) { start = trace_start(m); },
        [&](const Machine& m) {
            format_trace_line(line, start, m);
            out += line;
            out += '\n';
            return true;
        });
    return hand_out(std::move(out));
}

// ---- Step over, step out, watches and changes by hand ----

// Step over (the core's NEXT): one instruction, and a call runs on to its
// return (stopped on the way by a breakpoint, a watch, a finding or the
// end of the run). Runs at most `budget` instructions; pg_motion_pending
// then says that pg_motion_go_on goes on. Returns the state.
EMSCRIPTEN_KEEPALIVE int pg_step_over(std::uint32_t budget) {
    pending.on = false;
    drop_cursor();
    if (!pg.assembly.ok || pg.refused) return static_cast<int>(state());
    std::size_t calls = pg.run.open_calls().size();
    MotionReport r = piece({Motion::NEXT}, budget);
    if (r.end == RunEnd::INTERRUPTED || r.end == RunEnd::KEY_WAIT) {
        // Stopped inside the call: the rest finishes the calls opened since.
        if (pg.run.open_calls().size() > calls) pending = {true, calls, pg.run.step()};
    }
    return static_cast<int>(state());
}

// Step out (the core's FINISH): runs until the innermost open call returns,
// as step over does. Returns -1, running nothing, when no call is open.
EMSCRIPTEN_KEEPALIVE int pg_step_out(std::uint32_t budget) {
    pending.on = false;
    drop_cursor();
    if (!pg.assembly.ok || pg.refused) return static_cast<int>(state());
    std::size_t calls = pg.run.open_calls().size();
    if (calls == 0) return -1;
    pending.calls = calls - 1;
    return return_pieces(budget);
}

EMSCRIPTEN_KEEPALIVE int pg_motion_pending() {
    return pending.on && pending.at == pg.run.step() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int pg_motion_go_on(std::uint32_t budget) {
    if (pg_motion_pending() == 0) return static_cast<int>(state());
    return return_pieces(budget);
}

// A watch on the byte at address: a run forward with breakpoints, a step
// and step over or out stop after an instruction changes it. Returns the
// watch's number, 0 when refused.
EMSCRIPTEN_KEEPALIVE int pg_add_watch(unsigned address) {
    if (address >= MEMORY_SIZE) return 0;
    for (const Mark& m : pg.run.marks()) {
        if (m.kind == MarkKind::WATCH && m.address == address) return m.id;
    }
    return pg.run.add_mark(MarkKind::WATCH, static_cast<std::uint16_t>(address));
}

EMSCRIPTEN_KEEPALIVE void pg_delete_watch(int id) {
    const Mark* m = pg.run.find_mark(id);
    if (m != nullptr && m->kind == MarkKind::WATCH) pg.run.delete_mark(id);
}

// The watches, one "NUMBER ADDRESS" line each (decimal).
EMSCRIPTEN_KEEPALIVE const char* pg_watches() {
    std::string out;
    for (const Mark& m : pg.run.marks()) {
        if (m.kind == MarkKind::WATCH)
            out += std::to_string(m.id) + ' ' + std::to_string(m.address) + '\n';
    }
    return hand_out(std::move(out));
}

// At a watch's stop (WATCHPOINT): "ADDRESS OLD" (decimal), the byte and its
// value before the change; "" elsewhere.
EMSCRIPTEN_KEEPALIVE const char* pg_watch_hit() {
    if (state() != RunEnd::WATCHPOINT) return hand_out("");
    const Mark* m = pg.run.find_mark(pg.run.hit().id);
    if (m == nullptr) return hand_out("");
    return hand_out(std::to_string(m->address) + ' ' +
                    std::to_string(pg.run.hit().old_value & 0xFF));
}

// Changes by hand, recorded by the run (step back goes over them): PC
// (which 0, up to MAX_MEMORY - 1), SP (1, up to STACK_TOP) or the byte at an
// address (2; value up to 255). The run goes on from the changed state;
// what was recorded after it is forgotten. Returns how many recorded
// instructions were forgotten, -1 when refused.
EMSCRIPTEN_KEEPALIVE double pg_change(int which, unsigned address, unsigned value) {
    if (!loaded() || pg.refused) return -1;
    Machine changed = pg.run.machine();
    if (which == 0 && value < static_cast<unsigned>(MAX_MEMORY)) {
        changed.PC = static_cast<std::uint16_t>(value);
    } else if (which == 1 && value <= STACK_TOP) {
        changed.SP = static_cast<std::uint16_t>(value);
    } else if (which == 2 && address < MEMORY_SIZE && value <= 0xFF) {
        changed.memory[address] = static_cast<std::uint8_t>(value);
    } else {
        return -1;
    }
    pending.on = false;
    std::uint64_t forgotten = pg.run.change_state(changed);
    // A motion of no instruction: the report stands at the changed state.
    pg.run.move({Motion::STEP, 0});
    // The heat column counts the run again, changes by hand included.
    pg.profile = std::make_unique<Profile>(pg.run.start(), &pg.run.history());
    return static_cast<double>(forgotten);
}

}  // extern "C"
