// What the debugger prints about findings: the lines of a run that ended at
// one, `info findings`, the `check` command that turns kinds on and off, and
// the place of an instruction as label+offset.
#pragma once

#include <string>
#include <vector>

#include "session.hpp"

// Each finding of a shown kind made by the instruction of the current step:
// "finding: " and its text, then the source lines involved. Returns whether
// there was one.
bool print_findings_here(const Session& s);

// info findings: every finding of a shown kind the run has made up to the
// furthest step reached, oldest first; those past the current step (after
// back or goto) are marked "(ahead)".
void info_findings(const Session& s);

// check: the kinds and whether each is on; check KIND on|off (KIND a kind's
// name or all) turns kinds on or off.
void check_command(Session& s, const std::vector<std::string>& words);

// "0016 (mult+12)": an address with the nearest label at or below it and
// the offset, where the program placed the byte; "2302 (outside the
// program)" where it placed none.
std::string address_with_offset(const Session& s, unsigned address);
