// The arguments of an open call, named from its routine's stack comment,
// with their values and the lines that pushed them: the one text the
// debugger's backtrace and stops, the debug adapter and the page show.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "machine/findings.hpp"
#include "machine/machine.hpp"
#include "machine/stack_origins.hpp"

// "(a = 2 from line 5, b = 9 from line 6)" for `names` (the rightmost on
// top, right below the call's return address); a pusher without a source
// line is named by its address. "" without names, and once the routine has
// taken its return address off the stack (its arguments may be gone too).
std::string call_arguments_text(const Machine& m, const OpenCall& call, const StackOrigins& origins,
                                const std::vector<std::string>& names,
                                std::span<const std::int32_t> line_of_address);
