// The debugger's profile command: the run so far, counted again from its
// start (machine/profile.hpp), shown as the source with each line's count
// and clocks, the costliest lines and the subroutines, or written to a file
// in callgrind format.
#pragma once

#include <string>

#include "session.hpp"

// Counts the profile up to the run's step in pieces, polling Ctrl-C between
// them; false when interrupted.
bool count_profile(Session& s);
// The annotated source (for object code, every address that ran), the ten
// costliest lines and the subroutines with what they call.
std::string profile_text(Session& s);
// The same run in callgrind format: events Instructions and Clocks, the
// source as fl=, one fn= per subroutine (and the top level) with its own
// costs by line, and calls= lines for the calls between them.
std::string callgrind_text(Session& s);
// Writes callgrind_text to the file `name` and says so in one line; refuses
// a name that is the program's own file (its source, or its object code)
// or a file that cannot be written, in one line, writing nothing.
void write_profile(Session& s, const std::string& name);
