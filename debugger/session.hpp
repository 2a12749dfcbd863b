// One debugging session: the program, the machine as loaded, the record of
// what each instruction overwrote (so that it can be undone), breakpoints
// and watchpoints, and the runs that step the machine core.
#pragma once

#include <csignal>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "machine/headless.hpp"
#include "machine/snapshot.hpp"
#include "machine/trace.hpp"
#include "program.hpp"

enum class BreakKind : std::uint8_t { BREAK, TBREAK, WATCH };

struct Breakpoint {
    int id;
    BreakKind kind;
    std::uint16_t address;
    std::uint8_t last_value;  // a watchpoint's byte as last seen
};

// Whether the machine can go on: after hlt or a stop only back or run can.
enum class RunState : std::uint8_t { READY, HALTED, STOPPED };

// Why a run ended.
enum class Why : std::uint8_t {
    DONE,         // ran what was asked
    BREAKPOINT,   // PC reached a breakpoint
    WATCHPOINT,   // a watched byte changed
    HALTED,       // hlt ran
    STOPPED,      // a stop (fault) ended the instruction
    INTERRUPTED,  // Ctrl-C
};

// At least this many instructions can be undone.
constexpr std::size_t UNDO_CAPACITY = std::size_t{1} << 17;

// Set by the Ctrl-C handler; a run checks it after every instruction.
extern volatile std::sig_atomic_t interrupt_requested;

struct Session {
    DebugProgram program;
    Machine machine{};                                             // the machine the session runs
    std::unique_ptr<Machine> start = std::make_unique<Machine>();  // the machine as loaded

    // A ring: the newest record is at undo_next - 1.
    std::vector<UndoRecord> undo = std::vector<UndoRecord>(UNDO_CAPACITY);
    std::size_t undo_next = 0;
    std::size_t undo_count = 0;

    RunState state = RunState::READY;
    Stop last_stop{};
    HeadlessIo io;

    std::vector<Breakpoint> breakpoints;  // in the order of their IDs
    int next_id = 1;
    std::vector<int> break_count = std::vector<int>(MAX_MEMORY);  // breakpoints at each address
    std::size_t watch_count = 0;

    // What ended the last run, for its report.
    Why why = Why::DONE;
    int hit_id = 0;              // the breakpoint or watchpoint that ended it
    bool hit_temporary = false;  // that breakpoint was a tbreak (and is gone)
    std::uint8_t old_value = 0;  // a watched byte before the change
    TraceStart last_start{};     // the last instruction that ran

    std::string repeat_line;  // the last step, next or back, for an empty line
};

// Resets the machine, loads the program's image and keeps it as the start.
void start_session(Session& s);
// Back to the start: registers, memory and ports as loaded; breakpoints stay.
void restart(Session& s);

// Runs one instruction and records how to undo it. Port 0 values are shown
// as they come. Returns HALTED, STOPPED or DONE; s.last_start describes the
// instruction.
Why run_instruction(Session& s);
// After an instruction: a watched byte that changed, a breakpoint at PC (only
// when `at_breakpoint` is asked) or Ctrl-C, as the reason to end a run.
Why check_after(Session& s, bool at_breakpoint);
// Undoes up to n instructions; returns how many it undid.
std::size_t go_back(Session& s, std::size_t n);

// Breakpoints and watchpoints; each returns the new ID.
int add_breakpoint(Session& s, BreakKind kind, std::uint16_t address);
bool delete_breakpoint(Session& s, int id);
void delete_all_breakpoints(Session& s);
// Watchpoints take the current value of their byte as the one last seen.
void refresh_watchpoints(Session& s);
