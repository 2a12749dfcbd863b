// Mistakes the assembler can see in a program that assembles: a jump or
// call to data, a load or store of the wrong width, a label spelled like an
// instruction or named end, and code that runs on into a routine that is
// otherwise only called. Noted as findings (--warnings, the language
// server's diagnostics) from what pass 1 met (Assembly::items) and the label
// operands pass 2 resolved (Assembly::label_uses).
#pragma once

#include "assembly.hpp"

// Adds the findings after pass 2 and orders all findings by line (those of
// one line keep their order).
void note_mistakes(Assembly& a);
