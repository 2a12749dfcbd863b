// The words of a debugger command line: splitting, numbers, counts and
// locations, and the one way an answer line is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "hex_text.hpp"
#include "session.hpp"

using Words = std::vector<std::string>;

// One answer line into `out` (the session's: standard output for the
// terminal debugger, a string for the adapter); control characters a
// command may carry (a NUL, an Escape) are written as ^@, ^[ and so on; a
// tab stays.
void say(std::ostream& out, const std::string& text);
// printf's formats into `out`.
void put_format(std::ostream& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A word of a command as a message quotes it: at most 80 characters, so
// that a huge line is not echoed whole.
std::string quoted_word(const std::string& word);
Words split_words(const std::string& line);
// Decimal, or hexadecimal after 0x; nothing else in the word.
std::optional<std::uint64_t> parse_number(const std::string& word);
// A count: absent means 1; at least 1.
std::optional<std::uint64_t> parse_count(const Session& s, const Words& words, std::size_t index);
// An address, a label, label+N or :LINE, up to `limit`.
std::optional<std::uint16_t> parse_location(const Session& s, const std::string& word,
                                            unsigned limit);
// A whole number of steps, from 0.
std::optional<std::uint64_t> parse_step(const Session& s, const Words& words);
// The one location a command takes, up to the last memory address.
std::optional<std::uint16_t> parse_address(const Session& s, const Words& words);
