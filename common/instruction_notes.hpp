// What the manual's reference entry says about each instruction, for tools
// that explain instructions (the language server's hover and completion):
// the one-line description of its heading, its stack effect and the flags it
// writes, worded exactly as in docs/manual.md. Length and clocks are not
// repeated here: they are OpcodeTable's. tests/examples/manual_table_test.cpp
// checks every row against the manual.
#pragma once

#include <string_view>

struct InstructionNote {
    std::string_view mnemonic;
    std::string_view description;  // the heading after the dash: "add bytes"
    std::string_view stack;        // the stack effect: "( B A -- A+B )"
    std::string_view flags;        // the text after "Flags: ", or "none."
};

// In the order of the manual's reference entries.
// clang-format off
inline constexpr InstructionNote INSTRUCTION_NOTES[] = {
    {"ldi", "load immediate byte", "( -- n )",
     "none."},
    {"ldiw", "load immediate word", "( -- w )",
     "none."},
    {"ldd", "load direct byte", "( -- m[a] )",
     "none."},
    {"lddw", "load direct word", "( -- w )",
     "none."},
    {"lda", "load byte through a pointer", "( -- m[a] )",
     "none."},
    {"sta", "store byte through a pointer", "( x -- )",
     "none."},
    {"std", "store direct byte", "( x -- )",
     "none."},
    {"stdw", "store direct word", "( w -- )",
     "none."},
    {"in", "input from a port", "( -- ports[n] )",
     "none."},
    {"out", "output to a port", "( x -- )",
     "none."},
    {"ldaw", "load word through a pointer", "( -- w )",
     "none."},
    {"staw", "store word through a pointer", "( w -- )",
     "none."},
    {"mul", "multiply bytes", "( B A -- A×B )",
     "`Z` ← A = 0 or B = 0; `S` ← 0; `O` ← A × B > 127."},
    {"mulw", "multiply words", "( B A -- A×B )",
     "`Z` ← A = 0 or B = 0; `S` ← the product (taken modulo 2^32) is 2147483648 or more; `O` ← A × B > 2147483647."},
    {"div", "divide bytes", "( B A -- A÷B )",
     "`Z` ← A < B (the quotient is 0); `S` ← 0. `O` unchanged."},
    {"divw", "divide words", "( B A -- A÷B )",
     "`Z` ← A < B; `S` ← 0. `O` unchanged."},
    {"sub", "subtract bytes", "( B A -- A−B )",
     "`Z` ← A = B; `S` ← A < B. `O` unchanged."},
    {"subw", "subtract words", "( B A -- A−B )",
     "`Z` ← A = B; `S` ← A < B. `O` unchanged."},
    {"add", "add bytes", "( B A -- A+B )",
     "`Z` ← A = 0 and B = 0; `S` ← 0; `O` ← A + B > 127. `C` unchanged."},
    {"addw", "add words", "( B A -- A+B )",
     "`Z` ← A = 0 and B = 0; `S` ← 0; `O` ← 0."},
    {"inc", "increment byte", "( A -- A+1 )",
     "`Z` ← 0; `S` ← 0; `O` ← A = 255."},
    {"incw", "increment word", "( A -- A+1 )",
     "`Z` ← 0; `S` ← 0; `O` ← 0."},
    {"dec", "decrement byte", "( A -- A−1 )",
     "`Z` ← A = 1 (the result is 0); `S` ← A = 0 (the result is −1, pushed as 255). `O` unchanged."},
    {"decw", "decrement word", "( A -- A−1 )",
     "`Z` ← A = 1; `S` ← A = 0. `O` unchanged."},
    {"call", "call a subroutine", "( -- r )",
     "none."},
    {"ret", "return from a subroutine", "( r -- )",
     "none."},
    {"jmp", "jump", "( -- )",
     "none."},
    {"jmr", "jump relative", "( -- )",
     "none."},
    {"jz", "jump if zero", "( -- )",
     "none."},
    {"jnz", "jump if not zero", "( -- )",
     "none."},
    {"jo", "jump if overflow", "( -- )",
     "none."},
    {"jno", "jump if no overflow", "( -- )",
     "none."},
    {"jc", "jump if carry", "( -- )",
     "none."},
    {"jnc", "jump if no carry", "( -- )",
     "none."},
    {"js", "jump if sign", "( -- )",
     "none."},
    {"jns", "jump if no sign", "( -- )",
     "none."},
    {"nop", "no operation", "( -- )",
     "none."},
    {"hlt", "halt", "( -- )",
     "none."},
    {"shl", "shift byte left", "( A -- A×2 )",
     "`C` ← bit 7 of A; `Z` ← A = 0."},
    {"shlw", "shift word left", "( A -- A×2 )",
     "`C` ← bit 15 of A; `Z` ← A = 0."},
    {"shr", "shift byte right", "( A -- A÷2 )",
     "`C` ← bit 0 of A; `Z` ← A ≤ 1 (the result is 0)."},
    {"shrw", "shift word right", "( A -- A÷2 )",
     "`C` ← bit 0 of A; `Z` ← A ≤ 1."},
    {"rol", "rotate byte left", "( A -- r )",
     "`C` ← bit 7 of A; `Z` ← A = 0."},
    {"rolw", "rotate word left", "( A -- r )",
     "`C` ← bit 15 of A; `Z` ← A = 0."},
    {"ror", "rotate byte right", "( A -- r )",
     "`C` ← bit 0 of A; `Z` ← A = 0."},
    {"rorw", "rotate word right", "( A -- r )",
     "`C` ← bit 0 of A; `Z` ← A = 0."},
    {"and", "bitwise and of bytes", "( B A -- A AND B )",
     "`Z` ← the result is 0."},
    {"andw", "bitwise and of words", "( B A -- A AND B )",
     "`Z` ← the result is 0."},
    {"or", "bitwise or of bytes", "( B A -- A OR B )",
     "`Z` ← the result is 0."},
    {"orw", "bitwise or of words", "( B A -- A OR B )",
     "`Z` ← the result is 0."},
    {"not", "logical not of a byte", "( A -- r )",
     "`Z` ← A ≠ 0 (the result is 0)."},
    {"notw", "logical not of a word", "( A -- r )",
     "`Z` ← A ≠ 0."},
    {"xor", "bitwise exclusive or of bytes", "( B A -- A XOR B )",
     "`Z` ← A = B (the result is 0)."},
    {"xorw", "bitwise exclusive or of words", "( B A -- A XOR B )",
     "`Z` ← A = B."},
    {"cmp", "compare bytes", "( B A -- )",
     "`Z` ← A = B; `S` ← A < B (unsigned). `O` and `C` unchanged."},
    {"cmpw", "compare words", "( B A -- )",
     "`Z` ← A = B; `S` ← A < B (unsigned)."},
};
// clang-format on

// The note of a lower-case mnemonic, or nullptr.
constexpr const InstructionNote* find_instruction_note(std::string_view mnemonic) {
    for (const InstructionNote& note : INSTRUCTION_NOTES) {
        if (note.mnemonic == mnemonic) return &note;
    }
    return nullptr;
}
