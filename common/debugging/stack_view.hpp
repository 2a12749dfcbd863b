// The stack as the program built it: the backtrace of open calls (from the
// calls and returns the machine ran, machine/stack_story.hpp), what each
// stack byte is, and the instruction that left most of them at the end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "session.hpp"

// "(a = 2 from line 5, b = 9 from line 6)": the arguments of a routine
// with a stack comment, as its open call left them below the return
// address, with the line that pushed each; "" without a comment.
std::string frame_arguments(Session& s, std::uint16_t routine, const OpenCall& call,
                            const StackStory& story);
// "diff (a = 2 from line 5, b = 9 from line 6)": the routine of the
// innermost open call and its arguments where the run stands; "" when
// none is open or its routine has no stack comment.
std::string arguments_here(Session& s);
// backtrace: innermost first, the innermost 32 unless `all`.
void print_backtrace(Session& s, bool all);
// stack: the top `count` bytes (nothing: 32; every byte with `all`); a
// return address of an open call is one entry.
void print_stack(Session& s, std::optional<std::uint64_t> count, bool all);
// "of the 17 bytes on the stack, 16 were pushed by line 14: ldd i" for the
// stack with SP at `sp` at the end of the recorded run (where hlt and a
// stop leave it); "" when no instruction pushed them.
std::string stack_leak_line(const Session& s, unsigned sp);
// The same for the end of the run where the run stands there: at hlt the
// bytes left on the stack, at a stack overflow the whole stack; else "".
std::string end_stack_leak_line(const Session& s);
// How the stack's depth changed between before a call and after its ret:
// "the stack is 6 bytes deeper than before the call", "... 1 byte
// shallower ...", "the stack is as deep as before the call".
std::string balance_text(unsigned depth_before, unsigned depth_after);
