// One debugging session: the program and its recorded run (machine,
// history, marks, findings: machine/recorded_run.hpp), with what the
// commands keep between them.
#pragma once

#include <csignal>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "machine/profile.hpp"
#include "machine/recorded_run.hpp"
#include "program.hpp"

// Set by the Ctrl-C handler; a run checks it between stretches of
// instructions.
extern volatile std::sig_atomic_t interrupt_requested;

// A location printed again after every stop (display).
struct Display {
    int id;
    std::uint16_t address;
    std::string format;  // as print takes it
};

struct Session {
    DebugProgram program;
    RecordedRun run;
    SourceMap source;  // lines and labels for the findings' text

    std::string repeat_line;  // the last step, next or back, for an empty line

    // The profile of the run, made when first asked for; it counts on from
    // the steps it counted, and again from the start after going back.
    std::unique_ptr<Profile> profile;

    std::vector<Display> displays;
    int next_display = 1;
    // Set by a command that changed the state without moving the step
    // (run, set): the displays are shown again after it.
    bool state_changed = false;

    // Where the commands write their text: standard output for the terminal
    // debugger; the adapter gives a string stream and words its messages
    // from what it reads there.
    std::ostream* out = &std::cout;
};

// A command's progress on standard error, when that is a terminal and the
// command has run for over a second: begin_command starts its clock,
// end_command clears the progress line if one was shown.
void begin_command();
void end_command();

// Resets the machine, loads the program's image and starts the run there.
void start_session(Session& s);
// Back to the start: registers, memory and ports as loaded; marks stay.
void restart(Session& s);
// Replaces the state where the run stands by `changed` (set by hand): the
// run goes on from it and what was recorded after it is forgotten; the
// profile counts again. Returns how many recorded steps were forgotten.
std::uint64_t change_state(Session& s, const Machine& changed);
