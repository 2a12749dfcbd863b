// One debugging session: the program, the machine as loaded, the history of
// the run (so that any earlier instruction can be gone back to),
// breakpoints and watchpoints, and the runs that step the machine core.
#pragma once

#include <csignal>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "findings.hpp"
#include "machine/headless.hpp"
#include "machine/history.hpp"
#include "machine/profile.hpp"
#include "machine/run_end.hpp"
#include "machine/trace.hpp"
#include "program.hpp"

enum class BreakKind : std::uint8_t { BREAK, TBREAK, WATCH };

struct Breakpoint {
    int id;
    BreakKind kind;
    std::uint16_t address;
    std::uint8_t last_value;  // a watchpoint's byte as last seen
};

// Set by the Ctrl-C handler; a run checks it between stretches of
// instructions.
extern volatile std::sig_atomic_t interrupt_requested;

struct Session {
    DebugProgram program;
    Machine machine{};                                               // the machine the session runs
    std::unique_ptr<Machine> start = std::make_unique<Machine>();    // the machine as loaded
    std::unique_ptr<Machine> scratch = std::make_unique<Machine>();  // earlier states rebuilt
    History history;

    // Whether the machine can go on: LIMIT, or HALTED or STOPPED at the end
    // of the run (only going back or run can go on from there).
    RunEnd state = RunEnd::LIMIT;
    Stop last_stop{};
    HeadlessIo io;

    std::vector<Breakpoint> breakpoints;  // in the order of their IDs
    int next_id = 1;
    std::vector<std::uint8_t> break_at =
        std::vector<std::uint8_t>(MAX_MEMORY);  // a breakpoint there
    std::size_t watch_count = 0;

    // What ended the last run, for its report.
    int hit_id = 0;              // the breakpoint or watchpoint that ended it
    bool hit_temporary = false;  // that breakpoint was a tbreak (and is gone)
    std::uint8_t old_value = 0;  // a watched byte before the change
    TraceStart last_start{};     // the last instruction that ran

    std::string repeat_line;  // the last step, next or back, for an empty line

    // The profile of the run, made when first asked for; it counts on from
    // the steps it counted, and again from the start after going back.
    std::unique_ptr<Profile> profile;

    FindingLog findings;  // the run's findings, and the kinds shown
};

// Resets the machine, loads the program's image and keeps it as the start.
void start_session(Session& s);
// Back to the start: registers, memory and ports as loaded; breakpoints stay.
void restart(Session& s);

// Runs at most `count` steps through the history (port 0 values are kept
// in s.io): over recorded ground up to the step of the next finding the log
// holds of a shown kind, on new ground with the monitor looking. HALTED or
// STOPPED first; FINDING when it ended right after an instruction that made
// a finding of a shown kind; BREAKPOINT when `stops` fired; else LIMIT.
RunOutcome run_steps(Session& s, std::uint64_t count, const FastStops* stops);
// Runs one instruction, recorded in the history. Port 0 values are shown as
// they come. Returns HALTED, STOPPED, FINDING or LIMIT; s.last_start
// describes the instruction.
RunEnd run_instruction(Session& s);
// After an instruction: a watched byte that changed, a breakpoint at PC (only
// when `at_breakpoint` is asked) or Ctrl-C, as the reason to end a run;
// LIMIT when none.
RunEnd check_after(Session& s, bool at_breakpoint);
// Runs until the subroutine `depth` calls deep returns: every call counts
// one deeper, every ret one shallower. RETURNED when it returned (also when
// that ret made a finding).
RunEnd run_to_return(Session& s, int depth);
// Runs until a breakpoint, a watchpoint, a finding, hlt, a stop or Ctrl-C,
// on the fast path; s.last_start describes the last instruction.
RunEnd run_until_break(Session& s);
// Runs forward, breakpoints, watchpoints and findings aside, until the
// machine is after instruction `target`, the run ends or Ctrl-C; port 0
// values are not shown.
RunEnd run_to(Session& s, std::uint64_t target);
// The innermost call that has not returned at the current step, as the
// monitor keeps them; nothing when none is open.
std::optional<OpenCall> innermost_call(Session& s);

// To the state after `target` steps of the run (at most recorded), forward
// or back; the machine's standing is taken from the history.
void go_to(Session& s, std::uint64_t target);
// The latest step before the current one after which a breakpoint, a
// watchpoint or a finding of a shown kind would have stopped a forward run;
// 0 (the start) when none.
std::uint64_t last_break_before(Session& s);
// The last step up to the current one that changed the byte at address.
std::optional<std::uint64_t> last_write(Session& s, std::uint16_t address);

// Breakpoints and watchpoints; each returns the new ID.
int add_breakpoint(Session& s, BreakKind kind, std::uint16_t address);
bool delete_breakpoint(Session& s, int id);
void delete_all_breakpoints(Session& s);
// Watchpoints take the current value of their byte as the one last seen.
void refresh_watchpoints(Session& s);
