// Pass 2: reads the pass-1 file back through the tokenizer and writes the
// object code file, one record per instruction or data byte.
#pragma once

// Returns true when it read the whole pass-1 file and wrote the whole object
// code file; false when either could not be opened or a write failed.
bool run_pass2();

// Handlers called by the tokenizer in pass 2; 1 when they took the text.
int pass2_directive(const char* text);
int pass2_mnemonic(const char* text);

// Hash index over SymbolTable, built once pass 1 has filled the table.
void build_symbol_index();
// Index of the SymbolTable entry named name, or -1; definitions receives how
// many entries carry that name.
int find_symbol(const char* name, int* definitions);
