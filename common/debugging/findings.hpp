// How the debugger words what the findings say about the stack.
#pragma once

#include <string>

// How the stack's depth changed between before a call and after its ret:
// "the stack is 6 bytes deeper than before the call", "... 1 byte
// shallower ...", "the stack is as deep as before the call".
std::string balance_text(unsigned depth_before, unsigned depth_after);
