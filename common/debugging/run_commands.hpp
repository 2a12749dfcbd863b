// The debugger's commands that move the run: step, next, finish,
// continue, back, goto, reverse-continue, last-write, and the marks
// (break, tbreak, watch, rwatch, with conditions, and ignore).
#pragma once

#include <cstdint>

#include "command_words.hpp"
#include "session.hpp"

// step and next: n instructions, each with its trace line; next runs a
// called subroutine to its return.
void step_lines(Session& s, std::uint64_t n, bool over_calls);
void finish(Session& s);
void continue_run(Session& s);
void back(Session& s, std::uint64_t n);
void goto_step(Session& s, std::uint64_t target);
void reverse_continue(Session& s);
// Back to the state before the call that opened the current subroutine.
void reverse_finish(Session& s);
// Back n instructions at this call depth, over whole calls.
void reverse_next(Session& s, std::uint64_t n);
// With `word`, the later of the last changes of its two bytes.
void print_last_write(Session& s, std::uint16_t address, bool word = false);
void set_breakpoint(Session& s, const Words& words, MarkKind kind);
void delete_command(Session& s, const Words& words);
// ignore ID N: the mark passes its next N hits.
void ignore_command(Session& s, const Words& words);
