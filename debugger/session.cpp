#include "session.hpp"

#include <algorithm>
#include <cstdio>

#include "machine/display.hpp"
#include "machine/loader.hpp"

volatile std::sig_atomic_t interrupt_requested = 0;

void start_session(Session& s) {
    reset_and_load(s.machine, s.program.image);
    *s.start = s.machine;
    restart(s);
}

void restart(Session& s) {
    s.machine = *s.start;
    s.undo_next = 0;
    s.undo_count = 0;
    s.state = RunState::READY;
    s.io.port0.clear();
    refresh_watchpoints(s);
}

Why run_instruction(Session& s) {
    s.undo[s.undo_next] = capture_undo(s.machine);
    s.undo_next = (s.undo_next + 1) % UNDO_CAPACITY;
    s.undo_count = std::min(s.undo_count + 1, UNDO_CAPACITY);
    s.last_start = trace_start(s.machine);
    std::optional<Stop> stop = step_headless(s.machine, s.io);
    // The simulator's display of out 0, each value on its own line.
    for (std::uint8_t value : s.io.port0) {
        char text[PORT0_TEXT_CAPACITY];
        format_port0(text, value);
        std::printf("%s\n", text);
    }
    s.io.port0.clear();
    if (stop) {
        s.state = RunState::STOPPED;
        s.last_stop = *stop;
        return Why::STOPPED;
    }
    if (s.machine.IR == OP_HLT) {
        s.state = RunState::HALTED;
        return Why::HALTED;
    }
    return Why::DONE;
}

Why check_after(Session& s, bool at_breakpoint) {
    if (s.watch_count > 0) {
        for (Breakpoint& b : s.breakpoints) {
            if (b.kind != BreakKind::WATCH || s.machine.memory[b.address] == b.last_value) continue;
            s.hit_id = b.id;
            s.old_value = b.last_value;
            b.last_value = s.machine.memory[b.address];
            return Why::WATCHPOINT;
        }
    }
    if (at_breakpoint && s.machine.PC < MAX_MEMORY && s.break_count[s.machine.PC] > 0) {
        for (const Breakpoint& b : s.breakpoints) {
            if (b.kind == BreakKind::WATCH || b.address != s.machine.PC) continue;
            s.hit_id = b.id;
            s.hit_temporary = b.kind == BreakKind::TBREAK;
            if (s.hit_temporary) delete_breakpoint(s, s.hit_id);  // b is gone
            return Why::BREAKPOINT;
        }
    }
    if (interrupt_requested != 0) {
        interrupt_requested = 0;
        return Why::INTERRUPTED;
    }
    return Why::DONE;
}

std::size_t go_back(Session& s, std::size_t n) {
    std::size_t done = 0;
    for (; done < n && s.undo_count > 0; ++done) {
        s.undo_next = (s.undo_next + UNDO_CAPACITY - 1) % UNDO_CAPACITY;
        --s.undo_count;
        apply_undo(s.machine, s.undo[s.undo_next]);
    }
    if (done > 0) s.state = RunState::READY;
    refresh_watchpoints(s);
    return done;
}

int add_breakpoint(Session& s, BreakKind kind, std::uint16_t address) {
    Breakpoint b{s.next_id++, kind, address, s.machine.memory[address]};
    if (kind == BreakKind::WATCH) {
        ++s.watch_count;
    } else {
        ++s.break_count[address];
    }
    s.breakpoints.push_back(b);
    return b.id;
}

bool delete_breakpoint(Session& s, int id) {
    auto found = std::find_if(s.breakpoints.begin(), s.breakpoints.end(),
                              [id](const Breakpoint& b) { return b.id == id; });
    if (found == s.breakpoints.end()) return false;
    if (found->kind == BreakKind::WATCH) {
        --s.watch_count;
    } else {
        --s.break_count[found->address];
    }
    s.breakpoints.erase(found);
    return true;
}

void delete_all_breakpoints(Session& s) {
    s.breakpoints.clear();
    std::fill(s.break_count.begin(), s.break_count.end(), 0);
    s.watch_count = 0;
}

void refresh_watchpoints(Session& s) {
    for (Breakpoint& b : s.breakpoints) {
        if (b.kind == BreakKind::WATCH) b.last_value = s.machine.memory[b.address];
    }
}
