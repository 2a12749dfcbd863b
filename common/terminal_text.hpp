// Text for a terminal: what a program prints of a name or of input it was
// given (on standard error above all) passes through terminal_safe, so that
// no control byte reaches the terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Length of the valid UTF-8 sequence starting at text[at], or 0 when the
// byte there does not start one (overlong forms and surrogates are invalid).
std::size_t utf8_length(std::string_view text, std::size_t at);

// text with nothing a terminal takes as a control: bytes below 32, 127 and
// U+0080 to U+009F as \r, \n, \t, \e or \xHH, bytes that are not UTF-8 as
// \xHH, a backslash as \\.
std::string terminal_safe(std::string_view text);
