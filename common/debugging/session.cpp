#include "session.hpp"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "machine/display.hpp"
#include "machine/loader.hpp"

volatile std::sig_atomic_t interrupt_requested = 0;

namespace {

// The simulator's display of out 0, each value on its own line.
void show_port0(std::ostream& out, std::vector<std::uint8_t>& values) {
    for (std::uint8_t value : values) {
        char text[PORT0_TEXT_CAPACITY];
        format_port0(text, value);
        out << text << '\n';
    }
    values.clear();
}

using Clock = std::chrono::steady_clock;
Clock::time_point command_start;
Clock::time_point last_shown;
bool progress_shown = false;

// "searching: 45%", "running: 1200 million instructions", at most ten times
// a second, after the command's first second.
void show_progress(std::uint64_t done, std::uint64_t total) {
    Clock::time_point now = Clock::now();
    if (now - command_start < std::chrono::seconds(1) ||
        now - last_shown < std::chrono::milliseconds(100) || isatty(STDERR_FILENO) == 0) {
        return;
    }
    last_shown = now;
    progress_shown = true;
    std::fflush(stdout);
    if (total == 0) {
        std::fprintf(stderr, "\rrunning: %llu million instructions ",
                     static_cast<unsigned long long>(done / 1000000));
    } else {
        std::fprintf(stderr, "\r%s: %llu%% ", "working",
                     static_cast<unsigned long long>(done * 100 / total));
    }
    std::fflush(stderr);
}

}  // namespace

void begin_command() {
    command_start = Clock::now();
    progress_shown = false;
}

void end_command() {
    if (!progress_shown) return;
    std::fprintf(stderr, "\r%40s\r", "");
    std::fflush(stderr);
    progress_shown = false;
}

void start_session(Session& s) {
    Machine loaded{};
    reset_and_load(loaded, s.program.image);
    s.run.interrupt = &interrupt_requested;
    s.run.show_output = [&s](std::vector<std::uint8_t>& values) { show_port0(*s.out, values); };
    s.run.progress = show_progress;
    s.run.set_shown(DEBUGGER_FINDING_KINDS);
    s.run.set_blocks(block_spans(s.program.data_blocks));
    s.run.load(loaded, s.program.loaded, s.program.code, ALL_FINDING_KINDS);
    s.source.line_of_address = {};
    s.source.labels.clear();
    s.source.blocks = s.program.data_blocks;
    if (s.program.has_source) {
        s.source.line_of_address = s.program.line_of_address;
        for (const Label& label : s.program.labels)
            s.source.labels.emplace_back(label.name, label.address);
    }
}

void restart(Session& s) {
    s.run.restart();
    s.profile.reset();
    s.state_changed = true;
}

std::uint64_t change_state(Session& s, const Machine& changed) {
    std::uint64_t forgotten = s.run.change_state(changed);
    s.profile.reset();
    s.state_changed = true;
    return forgotten;
}
