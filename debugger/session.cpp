#include "session.hpp"

#include <algorithm>
#include <cstdio>

#include "machine/display.hpp"
#include "machine/loader.hpp"

volatile std::sig_atomic_t interrupt_requested = 0;

namespace {

// Instructions a run goes between its tests of Ctrl-C.
constexpr std::uint64_t RUN_STRETCH = std::uint64_t{1} << 22;

// The simulator's display of out 0, each value on its own line.
void show_port0(Session& s) {
    for (std::uint8_t value : s.io.port0) {
        char text[PORT0_TEXT_CAPACITY];
        format_port0(text, value);
        std::printf("%s\n", text);
    }
    s.io.port0.clear();
}

// The breakpoints and watchpoints as the fast loop tests them.
struct Watched {
    std::vector<std::uint16_t> addresses;
    std::vector<std::uint8_t> values;
    FastStops stops;

    explicit Watched(const Session& s, bool with_breakpoints) {
        for (const Breakpoint& b : s.breakpoints) {
            if (b.kind != BreakKind::WATCH) continue;
            addresses.push_back(b.address);
            values.push_back(b.last_value);
        }
        stops = {with_breakpoints ? s.break_at.data() : nullptr, addresses.data(), values.data(),
                 addresses.size()};
    }
};

// s.last_start for the instruction that brought the machine to its step.
void note_last_instruction(Session& s) {
    if (s.history.step() == 0) return;
    s.history.rebuild(*s.scratch, s.history.step() - 1);
    s.last_start = trace_start(*s.scratch);
}

// The ending of a run that halted or stopped becomes the session's state.
RunEnd note_ending(Session& s, const RunOutcome& outcome) {
    bool ended = outcome.end == RunEnd::HALTED || outcome.end == RunEnd::STOPPED;
    s.state = ended ? outcome.end : RunEnd::LIMIT;
    if (outcome.stop) s.last_stop = *outcome.stop;
    return outcome.end;
}

}  // namespace

void start_session(Session& s) {
    reset_and_load(s.machine, s.program.image);
    *s.start = s.machine;
    restart(s);
}

void restart(Session& s) {
    s.machine = *s.start;
    s.history.begin(s.machine);
    s.findings.begin(s.program);
    s.findings.monitor->mark_breaks(s.break_at.data());
    s.state = RunEnd::LIMIT;
    s.io.port0.clear();
    refresh_watchpoints(s);
}

RunOutcome run_steps(Session& s, std::uint64_t count, const FastStops* stops) {
    FindingLog& log = s.findings;
    while (count > 0) {
        std::uint64_t from = s.history.step();
        RunOutcome outcome{RunEnd::LIMIT, std::nullopt};
        if (from < s.history.recorded()) {
            std::uint64_t limit = std::min(count, s.history.recorded() - from);
            if (std::optional<std::uint64_t> next = log.next_after(from))
                limit = std::min(limit, *next - from);
            outcome = s.history.run(s.machine, s.io, limit, stops);
        } else {
            std::size_t known = log.all().size();
            outcome = s.history.run(s.machine, s.io, count, stops, log.monitor.get());
            log.note_steps(known, s.history.step());
        }
        std::uint64_t ran = s.history.step() - from;
        if (outcome.end == RunEnd::HALTED || outcome.end == RunEnd::STOPPED) return outcome;
        if (ran > 0 && !log.at(s.history.step()).empty()) return {RunEnd::FINDING, std::nullopt};
        // The history also ends a run after a finding of a kind not shown.
        if (outcome.end == RunEnd::BREAKPOINT && stops != nullptr &&
            fast_stop_due(s.machine.memory, s.machine.PC, *stops)) {
            return outcome;
        }
        count -= ran;
    }
    return {RunEnd::LIMIT, std::nullopt};
}

RunEnd run_instruction(Session& s) {
    s.last_start = trace_start(s.machine);
    RunOutcome outcome = run_steps(s, 1, nullptr);
    show_port0(s);
    return note_ending(s, outcome);
}

RunEnd check_after(Session& s, bool at_breakpoint) {
    if (s.watch_count > 0) {
        for (Breakpoint& b : s.breakpoints) {
            if (b.kind != BreakKind::WATCH || s.machine.memory[b.address] == b.last_value) continue;
            s.hit_id = b.id;
            s.old_value = b.last_value;
            b.last_value = s.machine.memory[b.address];
            return RunEnd::WATCHPOINT;
        }
    }
    if (at_breakpoint && s.machine.PC < MAX_MEMORY && s.break_at[s.machine.PC] != 0) {
        for (const Breakpoint& b : s.breakpoints) {
            if (b.kind == BreakKind::WATCH || b.address != s.machine.PC) continue;
            s.hit_id = b.id;
            s.hit_temporary = b.kind == BreakKind::TBREAK;
            if (s.hit_temporary) delete_breakpoint(s, s.hit_id);  // b is gone
            return RunEnd::BREAKPOINT;
        }
    }
    if (interrupt_requested != 0) {
        interrupt_requested = 0;
        return RunEnd::INTERRUPTED;
    }
    return RunEnd::LIMIT;
}

RunEnd run_to_return(Session& s, int depth) {
    for (;;) {
        std::uint8_t op = s.machine.memory[s.machine.PC];
        RunEnd end = run_instruction(s);
        if (end == RunEnd::HALTED || end == RunEnd::STOPPED) return end;
        if (OpcodeTable[op].flow == Flow::CALL) ++depth;
        if (OpcodeTable[op].flow == Flow::RETURN && --depth == 0) return RunEnd::RETURNED;
        RunEnd after = check_after(s, true);
        if (after != RunEnd::LIMIT) return after;
        if (end == RunEnd::FINDING) return end;
    }
}

RunEnd run_until_break(Session& s) {
    for (;;) {
        // Rebuilt each stretch: a watchpoint that fired has a new value.
        Watched watched(s, true);
        RunOutcome outcome = run_steps(s, RUN_STRETCH, &watched.stops);
        show_port0(s);
        RunEnd end = outcome.end == RunEnd::HALTED || outcome.end == RunEnd::STOPPED
                         ? note_ending(s, outcome)
                         : check_after(s, true);
        if (end == RunEnd::LIMIT && outcome.end == RunEnd::FINDING) end = RunEnd::FINDING;
        if (end != RunEnd::LIMIT) {
            note_last_instruction(s);
            return end;
        }
    }
}

RunEnd run_to(Session& s, std::uint64_t target) {
    go_to(s, target);
    while (s.history.step() < target) {
        std::uint64_t stretch = std::min(target - s.history.step(), RUN_STRETCH);
        RunOutcome outcome = run_steps(s, stretch, nullptr);
        s.io.port0.clear();
        if (outcome.end == RunEnd::HALTED || outcome.end == RunEnd::STOPPED) {
            note_last_instruction(s);
            return note_ending(s, outcome);
        }
        if (interrupt_requested != 0) {
            interrupt_requested = 0;
            return RunEnd::INTERRUPTED;
        }
    }
    return RunEnd::LIMIT;
}

void go_to(Session& s, std::uint64_t target) {
    s.history.go_to(s.machine, target);
    note_ending(s, s.history.standing());
    s.io.port0.clear();
    refresh_watchpoints(s);
}

std::uint64_t last_break_before(Session& s) {
    if (s.history.step() <= 1) return 0;
    Watched watched(s, true);
    std::uint64_t at =
        s.history.last_stop(*s.scratch, s.history.step() - 1, watched.stops).value_or(0);
    return std::max(at, s.findings.last_before(s.history.step()).value_or(0));
}

std::optional<OpenCall> innermost_call(Session& s) {
    if (s.history.step() == s.history.recorded()) return s.findings.monitor->innermost_call();
    // The monitor stands at the furthest step: a fresh one follows the run
    // again from the start up to here.
    auto monitor =
        std::make_unique<FindingMonitor>(s.program.loaded, s.program.code, ALL_FINDING_KINDS);
    *s.scratch = *s.start;
    HeadlessIo io;
    run_headless(*s.scratch, io, s.history.step(), *monitor);
    return monitor->innermost_call();
}

std::optional<std::uint64_t> last_write(Session& s, std::uint16_t address) {
    std::uint8_t value = 0;
    FastStops stops{nullptr, &address, &value, 1};
    return s.history.last_stop(*s.scratch, s.history.step(), stops);
}

namespace {

void count_breakpoints(Session& s) {
    std::fill(s.break_at.begin(), s.break_at.end(), 0);
    s.watch_count = 0;
    for (const Breakpoint& b : s.breakpoints) {
        if (b.kind == BreakKind::WATCH) {
            ++s.watch_count;
        } else {
            s.break_at[b.address] = 1;
        }
    }
    // The monitored fast loop finds breakpoints in the monitor's marks.
    if (s.findings.monitor) s.findings.monitor->mark_breaks(s.break_at.data());
}

}  // namespace

int add_breakpoint(Session& s, BreakKind kind, std::uint16_t address) {
    Breakpoint b{s.next_id++, kind, address, s.machine.memory[address]};
    s.breakpoints.push_back(b);
    count_breakpoints(s);
    return b.id;
}

bool delete_breakpoint(Session& s, int id) {
    auto found = std::find_if(s.breakpoints.begin(), s.breakpoints.end(),
                              [id](const Breakpoint& b) { return b.id == id; });
    if (found == s.breakpoints.end()) return false;
    s.breakpoints.erase(found);
    count_breakpoints(s);
    return true;
}

void delete_all_breakpoints(Session& s) {
    s.breakpoints.clear();
    count_breakpoints(s);
}

void refresh_watchpoints(Session& s) {
    for (Breakpoint& b : s.breakpoints) {
        if (b.kind == BreakKind::WATCH) b.last_value = s.machine.memory[b.address];
    }
}
