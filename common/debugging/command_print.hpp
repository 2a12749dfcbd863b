// What the debugger's commands print: places, trace lines, why a run
// ended, registers, the stack, memory, listings and the marks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "command_words.hpp"
#include "session.hpp"

// "ldd 43": the instruction at address as the trace line shows it.
std::string instruction_text(const Machine& m, unsigned address);
// "0012 (loop)", or the address alone where no label is.
std::string with_label(const Session& s, unsigned address);
// The source line of address, indented so that it never reads as a trace
// line.
void print_source(const Session& s, unsigned address);
// Where PC is after a run stopped: the instruction about to run and its
// source line; with `offset` the nearest label and the offset from it.
void print_at(const Session& s, unsigned address, bool offset = false);
// The trace line of the last instruction that ran, with its source line.
void print_trace(const Session& s);
// Why a run ended (see the definition); `depth_before_call` is the stack's
// depth before the call a RETURNED run finished.
void report_end(const Session& s, RunEnd end, bool with_trace,
                std::optional<unsigned> depth_before_call = std::nullopt);
// "returned from diff: 7 on the stack": how a subroutine case ended.
std::string case_return_line(const Session& s);
// "line 2: std early": the instruction at address by its source line,
// without label or comment ("0005: std 65" without a source line).
std::string instruction_place(const Session& s, unsigned address);
// "breakpoint", "read watchpoint" ...
std::string mark_name(const Mark& m);
// Why a mark stopped the run, one line: "breakpoint 1 at square (line 40)",
// "watchpoint 2: 0041 (early) changed 0 -> 42 at line 2: std early";
// `ran` is the address of the instruction that ran last.
std::string stop_line(const Session& s, const RunHit& hit, unsigned ran);
void print_registers(const Session& s);
void list(const Session& s, const Words& words);
void info_breakpoints(const Session& s);
