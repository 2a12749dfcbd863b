// The assembler as a library. assemble_source runs both passes over a source
// text in memory, writes nothing to disk and prints nothing; run_pass1 and
// run_pass2 run one pass over an Assembly whose inputs and outputs the
// caller has set up (the assembler program gives them its files and the
// console).
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "assembly.hpp"
#include "machine/loader.hpp"
#include "source_map.hpp"

using MemoryImage = std::array<std::uint8_t, MEMORY_SIZE>;

// The source's lines as the passes read and number them: one read takes at
// most 255 characters, up to and including a line feed, so a longer line of
// the text is read as several lines, each with its own number. Every line
// number and line text a tool shows comes from here, so that it is the
// number the assembler's messages use.
struct SourceLines {
    std::string text;                      // the source as given
    std::vector<std::size_t> starts;       // where line n begins in text: starts[n - 1]
    std::vector<std::int32_t> text_lines;  // the line of the text (from 1) line n begins on
};

SourceLines split_source_lines(std::string_view source_text);
// Line n as the passes read it: without its line feed and a carriage return
// before it, and up to a NUL byte, which ends it; "" outside 1 to
// starts.size().
std::string_view source_line_text(const SourceLines& lines, int line);

// Adds a finding for every line that holds a NUL byte (what follows it is
// not read) to findings, keeping them in line order.
void note_nul_bytes(const SourceLines& lines, std::vector<Finding>& findings);
// The same for every piece after the first of a text line longer than the
// passes read at once (255 characters) that holds code, not only a comment:
// comment text read as code. The language server says so its own way.
void note_code_in_pieces(const SourceLines& lines, std::vector<Finding>& findings);

// How a pass or a whole assembly ended.
struct AssemblyOutcome {
    bool ok = true;
    std::string error_message;  // exactly as the program prints it
    // The source line where the error was found, also for a message that
    // shows none; 0 when none.
    int error_line = 0;
};

// Each pass drains every output before it returns, also after an error.
AssemblyOutcome run_pass1(Assembly& a);
AssemblyOutcome run_pass2(Assembly& a);

struct AssemblyResult {
    bool ok = false;
    std::string error_message;
    int error_line = 0;
    // What the simulator would load from object_code: the bytes, and which
    // addresses a record stored. All zero and none written when the
    // assembly failed or the object code would not load.
    MemoryImage image{};
    WrittenSet written;
    // The addresses an instruction record wrote (the rest of `written` is data).
    WrittenSet code;
    // The loader's message when object_code would not load (an address
    // outside the program and data area); "" when it loads.
    std::string load_error;
    std::vector<Symbol> symbols;  // in the order of definition
    // For every address, the source line that placed a byte there; 0 where none.
    std::array<std::int32_t, MEMORY_SIZE> source_line_of_address{};
    SourceLines lines;                   // also when the assembly failed
    std::string listing;                 // the console text of pass 1, symbol table included
    std::string pass1_text;              // the text the program writes to <base>.ps1
    std::string object_code;             // the text the program writes to <base>.hx
    std::vector<Finding> findings;       // what pass 2 found without stopping
    std::vector<DataBlock> data_blocks;  // in the order of definition
    // The --listing text, when asked for and the assembly succeeded.
    std::string machine_listing;
};

AssemblyResult assemble_source(std::string_view source_text, bool with_machine_listing = false);

// One error of a source, as the assembler would print it were it the first.
struct AssemblyError {
    int line;  // the assembler's line number
    std::string message;
};
// Every error of a source, at most `limit`, in the order assembling finds
// them: the first as assemble_source gives it, then each found by
// assembling again with the statements of the lines in error blanked (a
// label they define kept), so pass 1's errors come first, then pass 2's.
std::vector<AssemblyError> every_error(std::string_view source_text, std::size_t limit);

// The source lines and labels of an assembled program, for finding texts;
// it refers to the program's lines, so the program must outlive it.
SourceMap source_map_of(const AssemblyResult& program);
