// Every way a run can end other than hlt, in one table: the message, the
// form of the position line and whether the final memory map is written.
// A stop travels as a value; the simulator prints it and ends the process,
// an embedding program (debugger, checker, web page) reports it and goes on.
#pragma once

#include <cstdint>
#include <string>

enum class PositionLine : std::uint8_t { NONE, STANDARD, SHORT };

enum class StopKind : std::uint8_t {
    STACK_OVERFLOW,
    STACK_UNDERFLOW,
    LDA_OVERLOAD,
    STA_OVERLOAD,
    ADDRESS_OVERLOAD,  // an access at 0x4000 or above; the message names the instruction
    DIVISION_BY_ZERO,
    UNDEFINED_OPCODE,
    PC_OVERLOAD,
    USER_ABORT,
    // The loader's refusals: nothing has run yet.
    FILE_NOT_FOUND,
    TOKEN_TOO_LONG,        // detail: the token's first 19 characters
    ADDRESS_OUT_OF_RANGE,  // detail: the address in decimal
};

struct StopForm {
    const char* message;  // printf format; %s takes the mnemonic or the detail
    PositionLine position;
    bool memory_map;  // whether "memmap2.txt" is written
};

// Indexed by StopKind. The message bytes are fixed: users' scripts match
// them, misspellings included.
inline constexpr StopForm StopTable[] = {
    {"\nERROR\n Stack overflow\n", PositionLine::STANDARD, true},
    {"\nERROR\n Stack underflow\n", PositionLine::STANDARD, true},
    {"\n-LDA-\n ERROR indirect overload (> MAX_MEMORY)\n", PositionLine::SHORT, false},
    {"\n-STA-\n ERROR indirect overload (> MAX_MEMORY)\n", PositionLine::NONE, false},
    {"\n-%s-\n ERROR address overload (> MEMORY_SIZE)\n", PositionLine::STANDARD, false},
    {"\nERROR\nDevide by zero\n", PositionLine::NONE, true},
    {"\n-ERROR-\n unknown machine code\n", PositionLine::STANDARD, false},
    {"\n-ERROR-\n PC overload (PC > MAX_MEMORY)\n", PositionLine::STANDARD, false},
    {"\n-user terminated-\n", PositionLine::STANDARD, true},
    {"\nERROR\nFile not found\n", PositionLine::NONE, false},
    {"\nERROR\nObject code token too long : %s...\n", PositionLine::NONE, false},
    {"\nERROR\nObject code address out of range : %s\n", PositionLine::NONE, false},
};

constexpr std::size_t STOP_DETAIL_CAPACITY = 24;

// One stop: its kind, the PC and IR its position line shows, and the detail
// some loader messages carry.
struct Stop {
    StopKind kind;
    std::uint16_t pc;
    std::uint8_t ir;
    char detail[STOP_DETAIL_CAPACITY];
};

// What a stop raised inside an instruction throws; the run loop of each
// program catches it.
struct MachineStop {
    Stop stop;
};

inline const StopForm& stop_form(StopKind kind) { return StopTable[static_cast<int>(kind)]; }

// Raises a stop. Kept out of line and cold so that the run loop's fast path
// holds only the call.
[[noreturn, gnu::cold, gnu::noinline]] void raise_stop(StopKind kind, std::uint16_t pc,
                                                       std::uint8_t ir);
[[noreturn, gnu::cold, gnu::noinline]] void raise_stop(StopKind kind, const char* detail);

// The message exactly as the simulator prints it.
std::string stop_message(const Stop& stop);
// The position line with its line end, or "" for a stop without one.
std::string stop_position_line(const Stop& stop);
