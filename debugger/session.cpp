#include "session.hpp"

#include <cstdio>

#include "machine/display.hpp"
#include "machine/loader.hpp"

volatile std::sig_atomic_t interrupt_requested = 0;

namespace {

// The simulator's display of out 0, each value on its own line.
void show_port0(std::vector<std::uint8_t>& values) {
    for (std::uint8_t value : values) {
        char text[PORT0_TEXT_CAPACITY];
        format_port0(text, value);
        std::printf("%s\n", text);
    }
    values.clear();
}

}  // namespace

void start_session(Session& s) {
    Machine loaded{};
    reset_and_load(loaded, s.program.image);
    s.run.interrupt = &interrupt_requested;
    s.run.show_output = show_port0;
    s.run.load(loaded, s.program.loaded, s.program.code, ALL_FINDING_KINDS);
    s.source.line_of_address = {};
    s.source.labels.clear();
    if (s.program.has_source) {
        s.source.line_of_address = s.program.line_of_address;
        for (const Label& label : s.program.labels)
            s.source.labels.emplace_back(label.name, label.address);
    }
}

void restart(Session& s) {
    s.run.restart();
    s.state_changed = true;
}
