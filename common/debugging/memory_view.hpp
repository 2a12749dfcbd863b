// Memory as the debugger shows it: print and x in their formats, and the
// displays printed again after every stop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "command_words.hpp"
#include "session.hpp"

// "0031 (total+1)": an address with the label at or before it inside the
// program; outside it, a label right there (one that reserves no byte) or
// the address alone.
std::string data_place(const Session& s, unsigned address);
// 'A' for a printable byte, else an escape: '\n', '\0', '\x1B'.
std::string char_text(std::uint8_t byte);
// The text print shows for the location in a format (byte, word, char,
// string); nothing (and a message said) when the format is unknown or a
// word would end past memory.
std::optional<std::string> print_text(const Session& s, std::uint16_t address,
                                      const std::string& format);
// print LOC [FORMAT]
void print_command(const Session& s, const Words& words);
// x LOC [N] [hex|dec|char|word]
void examine_command(const Session& s, const Words& words);
// display LOC [FORMAT], undisplay ID, and the displays after a stop.
void display_command(Session& s, const Words& words);
void undisplay_command(Session& s, const Words& words);
void show_displays(const Session& s);
// set LOC = V..., set sp = V, set pc = LOC: the state where the run stands
// changed; what was recorded after it is forgotten.
void set_command(Session& s, const Words& words);
