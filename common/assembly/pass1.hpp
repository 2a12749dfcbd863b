// Pass 1: assigns addresses, collects labels, lists the source and writes the
// pass-1 text, a cleaned lower-case copy of the source for pass 2.
#pragma once

#include "assembly.hpp"

// Appends a label with the low 16 bits of location_counter; stops the
// assembly when the table is full.
void define_label(Assembly& a, const Token& label);

// Reads a.source from the start of the counters until end, the end of the
// source or an error, listing it to a.listing and copying it to
// a.pass1_text; then lists the symbol table. An error is thrown as
// AssemblyStop with the listing and pass-1 text as far as they got.
void pass1_run(Assembly& a);
