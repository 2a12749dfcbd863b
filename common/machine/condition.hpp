// A stop condition of a breakpoint or watchpoint: one comparison of a
// value of the machine with a number, as a user types it:
//
//     [LOC] == 3        the byte at LOC
//     word [LOC] >= 0x100   the two bytes at LOC, low first, as one number
//     sp < 0x3FF0       the stack pointer
//     pc != loop        (a number only: pc != 0x12)
//     top == 10         the byte on top of the stack (false when it is empty)
//
// The operators are ==, !=, <, <=, > and >=; numbers are decimal or 0x
// hexadecimal. Every front end (the debugger, the debug adapter, the web
// page) parses with parse_condition and the recorded run evaluates.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "machine/machine.hpp"

enum class ConditionSubject : std::uint8_t { BYTE, WORD, SP, PC, TOP };
enum class Comparison : std::uint8_t { EQ, NE, LT, LE, GT, GE };

struct Condition {
    ConditionSubject subject = ConditionSubject::BYTE;
    std::uint16_t address = 0;  // BYTE and WORD
    Comparison comparison = Comparison::EQ;
    std::uint32_t number = 0;
    std::string text;  // as typed, trimmed, for listings

    bool holds(const Machine& m) const;
};

// Resolves the LOC between brackets to an address; on failure it returns
// nothing and sets the message (the front end knows its labels and lines).
using LocationResolver =
    std::function<std::optional<std::uint16_t>(const std::string& loc, std::string& error)>;

// The condition, or the message that says what is wrong with it.
std::variant<Condition, std::string> parse_condition(std::string_view text,
                                                     const LocationResolver& resolve);

// LOC as a label table gives it: a number (decimal or 0x), a label or
// label+N; `label_address` looks a name up. Nothing, with a message, when
// the word is none of these or lies past `limit`.
std::optional<std::uint16_t> resolve_location(
    const std::string& loc, unsigned limit,
    const std::function<std::optional<std::uint16_t>(std::string_view)>& label_address,
    std::string& error);
