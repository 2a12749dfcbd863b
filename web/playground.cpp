// The web page's side of the assembler library and the machine core, as
// plain C functions that the page's script calls. One playground per page:
// the record below, which owns the machine.
//
// Every instruction runs through the core's step procedure. The last
// HISTORY_CAPACITY instructions of a run have an undo record each, kept in a
// ring before the instruction runs, so that the page can step back and can
// rebuild the trace of the last instructions by replaying them. A long slice
// runs its earlier instructions without records (they would be overwritten
// before anything could read them); see pg_run.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assemble.hpp"
#include "machine/display.hpp"
#include "machine/headless.hpp"
#include "machine/loader.hpp"
#include "machine/snapshot.hpp"
#include "machine/trace.hpp"

namespace {

// What the page shows as the run's state; the numbers are read by the script.
enum RunState : int {
    STATE_READY = 0,    // can run on
    STATE_HALTED = 1,   // hlt ran
    STATE_STOPPED = 2,  // a stop (its message is in the console text)
    STATE_BREAK = 3,    // a run reached a breakpoint (can run on)
    STATE_EMPTY = 4,    // nothing assembled
};

// One instruction's undo record and how many port 0 values had been shown
// before it ran.
struct HistoryEntry {
    UndoRecord undo;
    std::uint32_t output_length;
};

constexpr std::size_t HISTORY_CAPACITY = 1u << 17;
// At most this many port 0 values are shown; older ones scroll away.
constexpr std::size_t CONSOLE_VALUES = 2000;

struct Playground {
    Machine machine{};
    AssemblyResult assembly;
    HeadlessIo io;
    RunState state = STATE_EMPTY;
    Stop stop{};
    std::vector<HistoryEntry> history = std::vector<HistoryEntry>(HISTORY_CAPACITY);
    std::size_t history_next = 0;   // slot of the next record
    std::size_t history_count = 0;  // records that can be undone
    std::bitset<MEMORY_SIZE> breakpoints;
    std::uint32_t registers[10];
    std::uint16_t changed[UndoRecord::CAPACITY];
    std::string text;       // the last string handed to the script
    std::uint32_t ran = 0;  // instructions a slice loop began, the ending one included
};

// The state a slice starts from, for running its start again (see pg_run).
struct Checkpoint {
    Machine machine;
    std::size_t output_length;
    std::size_t history_next, history_count;
};

Playground pg;
Checkpoint checkpoint;

const char* hand_out(std::string text) {
    pg.text = std::move(text);
    return pg.text.c_str();
}

void remember(const Machine& m) {
    HistoryEntry& e = pg.history[pg.history_next];
    e.undo = capture_undo(m);
    e.output_length = static_cast<std::uint32_t>(pg.io.port0.size());
    pg.history_next = (pg.history_next + 1) % HISTORY_CAPACITY;
    if (pg.history_count < HISTORY_CAPACITY) ++pg.history_count;
}

const HistoryEntry& newest_entry(std::size_t back = 0) {
    return pg.history[(pg.history_next + HISTORY_CAPACITY - 1 - back) % HISTORY_CAPACITY];
}

// A stop by Escape or the Stop button only pauses: the next step runs on.
bool can_run() {
    if (pg.state == STATE_STOPPED && pg.stop.kind == StopKind::USER_ABORT) pg.state = STATE_READY;
    if (pg.state == STATE_BREAK) pg.state = STATE_READY;
    return pg.state == STATE_READY;
}

// How a run treats breakpoints: a run that continues from a breakpoint
// passes over the one it starts on.
enum BreakpointUse : int { IGNORE_BREAKPOINTS = 0, STOP_AT_ANY = 1, PASS_THE_FIRST = 2 };

// The loop of a slice; Remember keeps an undo record before each
// instruction. pg.ran counts the instructions begun, so that after a stop it
// includes the stopping one.
template <bool Remember>
[[gnu::noinline]] RunState run_loop(Machine& m, std::uint32_t limit, int breakpoints) {
    for (std::uint32_t n = 0; n < limit; ++n) {
        if (breakpoints != IGNORE_BREAKPOINTS && pg.breakpoints[m.PC] &&
            !(n == 0 && breakpoints == PASS_THE_FIRST)) {
            pg.ran = n;
            return STATE_BREAK;
        }
        pg.ran = n + 1;
        if constexpr (Remember) remember(m);
        step(m, pg.io);
        if (m.IR == OP_HLT) return STATE_HALTED;
    }
    return STATE_READY;
}

// Runs a loop, a stop becoming the state.
template <bool Remember>
RunState run_catching(Machine& m, std::uint32_t limit, int breakpoints) {
    try {
        return run_loop<Remember>(m, limit, breakpoints);
    } catch (const MachineStop& s) {
        pg.stop = s.stop;
        return STATE_STOPPED;
    }
}

void forget_history() { pg.history_next = pg.history_count = 0; }

void take_checkpoint() {
    checkpoint.machine = pg.machine;
    checkpoint.output_length = pg.io.port0.size();
    checkpoint.history_next = pg.history_next;
    checkpoint.history_count = pg.history_count;
}

void back_to_checkpoint() {
    pg.machine = checkpoint.machine;
    pg.io.port0.resize(checkpoint.output_length);
    pg.history_next = checkpoint.history_next;
    pg.history_count = checkpoint.history_count;
}

// A slice whose first `plain` instructions run without records and the rest
// with them; the records of a run ending in the plain part come from running
// the slice again from its checkpoint (the machine is deterministic), first
// without records up to the last HISTORY_CAPACITY instructions.
RunState run_with_plain_start(Machine& m, std::uint32_t limit, int breakpoints,
                              std::uint32_t plain) {
    take_checkpoint();
    RunState state = run_catching<false>(m, plain, breakpoints);
    if (state != STATE_READY) {
        std::uint32_t ran = pg.ran;
        back_to_checkpoint();
        plain = ran > HISTORY_CAPACITY ? ran - static_cast<std::uint32_t>(HISTORY_CAPACITY) : 0;
        if (plain > 0) run_catching<false>(m, plain, breakpoints);  // ends as before: READY
    }
    if (plain == 0) return run_catching<true>(m, limit, breakpoints);
    forget_history();  // the records before the plain part no longer lead up to m
    // Only the slice's first instruction passes over its breakpoint.
    int rest = breakpoints == PASS_THE_FIRST ? STOP_AT_ANY : breakpoints;
    return run_catching<true>(m, limit - plain, rest);
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int pg_reset();

// Assembles source text (NUL-terminated UTF-8); on success loads it and
// resets the machine. Returns 1 when it assembled.
EMSCRIPTEN_KEEPALIVE int pg_assemble(const char* source) {
    pg.assembly = assemble_source(source, true);
    pg.breakpoints.reset();
    if (!pg.assembly.ok) {
        pg.state = STATE_EMPTY;
        return 0;
    }
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
    for (const Finding& f : pg.assembly.findings) out += std::to_string(f.line) + '\t' + f.text + '\n';
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
    if (!pg.assembly.ok) return pg.state = STATE_EMPTY;
    pg.io.port0.clear();
    forget_history();
    pg.state = STATE_READY;
    if (std::optional<Stop> refused =
            reset_and_load(pg.machine, ObjectCode::in_text(pg.assembly.object_code))) {
        pg.stop = *refused;
        pg.state = STATE_STOPPED;
    }
    return pg.state;
}

// Runs at most limit instructions, stopping before an instruction at a
// breakpoint as `breakpoints` says (BreakpointUse). Returns the state. Only
// the last HISTORY_CAPACITY instructions keep undo records; the history ends
// up the same as if every instruction had kept one.
EMSCRIPTEN_KEEPALIVE int pg_run(std::uint32_t limit, int breakpoints) {
    if (!can_run()) return pg.state;
    pg.state = limit > HISTORY_CAPACITY
                   ? run_with_plain_start(pg.machine, limit, breakpoints,
                                          limit - static_cast<std::uint32_t>(HISTORY_CAPACITY))
                   : run_catching<true>(pg.machine, limit, breakpoints);
    return pg.state;
}

EMSCRIPTEN_KEEPALIVE int pg_step() { return pg_run(1, IGNORE_BREAKPOINTS); }

// Undoes the last instruction. Returns 1 when there was one to undo.
EMSCRIPTEN_KEEPALIVE int pg_step_back() {
    if (pg.history_count == 0 || pg.state == STATE_EMPTY) return 0;
    const HistoryEntry& e = newest_entry();
    apply_undo(pg.machine, e.undo);
    pg.io.port0.resize(e.output_length);
    pg.history_next = (pg.history_next + HISTORY_CAPACITY - 1) % HISTORY_CAPACITY;
    --pg.history_count;
    pg.state = STATE_READY;
    return 1;
}

EMSCRIPTEN_KEEPALIVE int pg_history_length() { return static_cast<int>(pg.history_count); }

// Escape or the Stop button: the stop the simulator shows for Escape.
EMSCRIPTEN_KEEPALIVE int pg_abort() {
    if (pg.state == STATE_READY || pg.state == STATE_BREAK) {
        pg.stop = Stop{StopKind::USER_ABORT, pg.machine.PC, pg.machine.IR, {}};
        pg.state = STATE_STOPPED;
    }
    return pg.state;
}

// 1 when the run is over: hlt ran, or a stop other than the user's.
EMSCRIPTEN_KEEPALIVE int pg_ended() {
    return pg.state == STATE_HALTED ||
           (pg.state == STATE_STOPPED && pg.stop.kind != StopKind::USER_ABORT);
}

EMSCRIPTEN_KEEPALIVE void pg_set_breakpoint(unsigned address, int on) {
    if (address < MEMORY_SIZE) pg.breakpoints[address] = on != 0;
}

// PC, SP, IR, Z, S, O, C, instructions, clocks, state.
EMSCRIPTEN_KEEPALIVE const std::uint32_t* pg_registers() {
    const Machine& m = pg.machine;
    std::uint32_t values[] = {m.PC,          m.SP,
                              m.IR,          m.Z,
                              m.S,           m.O,
                              m.C,           m.instruction_count,
                              m.clock_count, static_cast<std::uint32_t>(pg.state)};
    std::copy(std::begin(values), std::end(values), pg.registers);
    return pg.registers;
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* pg_memory() { return pg.machine.memory; }

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
    int count = 0;
    if (pg.history_count == 0) return 0;
    const UndoRecord& r = newest_entry().undo;
    for (int i = 0; i < r.count; ++i)
        if (pg.machine.memory[r.address[i]] != r.value[i]) pg.changed[count++] = r.address[i];
    return count;
}

EMSCRIPTEN_KEEPALIVE const std::uint16_t* pg_changed_addresses() { return pg.changed; }

// The simulator's console output of the run without the spinner: the port 0
// display, then -HALT- and the statistics, or the stop's message and
// position line.
EMSCRIPTEN_KEEPALIVE const char* pg_console() {
    std::string out;
    const std::vector<std::uint8_t>& values = pg.io.port0;
    std::size_t first = values.size() > CONSOLE_VALUES ? values.size() - CONSOLE_VALUES : 0;
    for (std::size_t i = first; i < values.size(); ++i) {
        char text[PORT0_TEXT_CAPACITY];
        format_port0(text, values[i]);
        out += '\n';
        out += text;
    }
    if (pg.state == STATE_HALTED) {
        out += "\n-HALT-\n" + statistics_text(pg.machine);
    } else if (pg.state == STATE_STOPPED) {
        out += stop_message(pg.stop) + stop_position_line(pg.stop);
    }
    return hand_out(std::move(out));
}

// The trace lines of the last `count` instructions (as many as the history
// holds), oldest first, each ending with a line end. The machine is taken
// back over them and run forward again, which leaves it as it was.
EMSCRIPTEN_KEEPALIVE const char* pg_trace(int count) {
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), pg.history_count);
    for (std::size_t i = 0; i < n; ++i) apply_undo(pg.machine, newest_entry(i).undo);
    HeadlessIo scratch;
    std::string out;
    char line[TRACE_LINE_CAPACITY];
    for (std::size_t i = n; i-- > 0;) {
        TraceStart start = trace_start(pg.machine);
        if (step_headless(pg.machine, scratch)) break;  // the stopping instruction has no line
        format_trace_line(line, start, pg.machine);
        out += line;
        out += '\n';
    }
    return hand_out(std::move(out));
}

}  // extern "C"
