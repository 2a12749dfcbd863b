// Pass 2: reads the pass-1 text back and writes the object code, one record
// per instruction or data byte, resolving labels through the symbol table
// pass 1 filled.
#pragma once

#include "assembly.hpp"

// Builds the hash index over SymbolTable; pass2_run does this first.
void build_symbol_index(Assembly& a);
// Index of the SymbolTable entry named name, or -1; definitions receives how
// many entries carry that name.
int find_symbol(const Assembly& a, const char* name, int* definitions);

// Reads a.pass1_input to its end and writes the records to a.object_code.
// An error is thrown as AssemblyStop with the records as far as they got.
void pass2_run(Assembly& a);
