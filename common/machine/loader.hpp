// The object code loader: whitespace-separated decimal tokens forming
// instruction records (ADDRESS OPCODE [OPERAND]) and data records
// (ADDRESS 255 VALUE), in any order, a later record overwriting an earlier
// one. Files are streamed, never held whole.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "machine/machine.hpp"
#include "machine/stops.hpp"
#include "object_code.hpp"

// Which addresses of the program and data area some record wrote.
using WrittenSet = std::bitset<MAX_MEMORY>;

// Loads the named file into image (MAX_MEMORY bytes; addresses no record
// names are left as they are). Returns the refusal, if any: the file cannot
// be opened or read, a token is too long, or a record reaches outside the
// program and data area. Records before a refusal stay loaded.
// `code`, when given, marks the addresses an instruction record wrote last
// (opcode and operand bytes); a data record clears the mark.
std::optional<Stop> load_object_file(const char* file_name, std::uint8_t* image,
                                     WrittenSet* written = nullptr, WrittenSet* code = nullptr);
// The same rules for object code held in memory.
std::optional<Stop> load_object_text(std::string_view text, std::uint8_t* image,
                                     WrittenSet* written = nullptr, WrittenSet* code = nullptr);

// Object code to load: a file by its name, or text in memory.
struct ObjectCode {
    bool is_file;
    const char* file_name;  // when is_file
    std::string_view text;  // otherwise
    static ObjectCode file(const char* name) { return {true, name, {}}; }
    static ObjectCode in_text(std::string_view text) { return {false, nullptr, text}; }
};

// How every program starts a run on a machine: the machine reset whole
// (registers, IR, flags, counts, memory, ports to 0), then the program
// loaded, from a memory image (its first MAX_MEMORY bytes) or from object
// code (with the refusal, if any, as the loaders above give it).
void reset_and_load(Machine& m, std::span<const std::uint8_t> image);
std::optional<Stop> reset_and_load(Machine& m, const ObjectCode& code,
                                   WrittenSet* written = nullptr, WrittenSet* code_bytes = nullptr);
