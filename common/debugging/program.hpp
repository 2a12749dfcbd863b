// What the debugger knows of the program it runs: the memory image to load
// at every start and, for a source file, its lines, its labels and the
// source line that placed each byte.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assemble.hpp"
#include "machine/loader.hpp"
#include "object_code.hpp"

struct Label {
    std::string name;  // lower case, as the assembler keeps it
    std::uint16_t address;
};

struct DebugProgram {
    std::string file_name;
    std::array<std::uint8_t, MEMORY_SIZE> image{};
    bool has_source = false;
    SourceLines source_lines;   // numbered as the assembler numbers them
    std::vector<Label> labels;  // in the order of definition
    // For every address, the source line that placed a byte there; 0 where
    // none did (and everywhere for object code).
    std::array<std::int32_t, MEMORY_SIZE> line_of_address{};
    // The bytes the program placed, and those an instruction record placed
    // (the rest are data).
    WrittenSet loaded;
    WrittenSet code;
    std::vector<DataBlock> data_blocks;  // from the source
};

// A name ending in ".asm" (in any case) is a source, assembled in memory; any other name
// is object code, loaded by the simulator's rules. Returns the text to show
// when the program cannot be loaded (the assembler's or the loader's
// message), nothing when it loaded.
std::optional<std::string> load_debug_program(const std::string& file_name, DebugProgram& program);

// The address of a label (first definition), if the program has it; the
// name is compared without regard to case.
std::optional<std::uint16_t> find_label(const DebugProgram& program, std::string_view name);
// The first label at address, or "" when none is there.
std::string label_at(const DebugProgram& program, std::uint16_t address);
// The lowest address placed by the first source line from `line` on that
// placed any byte; nothing when no line from there on did.
std::optional<std::uint16_t> address_of_line(const DebugProgram& program, int line);
// The start of the instruction whose later byte `at` is (a breakpoint there
// would never fire), found by walking the instructions of at's line; nothing
// when `at` starts an instruction or is no code the program placed.
std::optional<std::uint16_t> inside_instruction(const DebugProgram& program, std::uint16_t at);
// "next+1 is inside ldd at next (3 bytes); break at next?" for a breakpoint
// at such a byte, `written` as the user wrote it; "" for any other place.
std::string inside_instruction_text(const DebugProgram& program, std::uint16_t at,
                                    const std::string& written);
// The data block that starts at address under a label, if any.
const DataBlock* block_at(const DebugProgram& program, std::uint16_t address);
// The argument names of the routine at address, from a stack comment
// ("( a b -- a-b )", the rightmost on top) on the line of its label or on
// the comment lines right above it; none without one.
std::vector<std::string> argument_names(const DebugProgram& program, std::uint16_t routine);
// The text of a source line, "" outside the source.
std::string_view source_line(const DebugProgram& program, int line);
// How many source lines there are.
int source_line_count(const DebugProgram& program);
