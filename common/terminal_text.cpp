#include "terminal_text.hpp"

#include <algorithm>
#include <cstdio>

std::size_t utf8_length(std::string_view text, std::size_t at) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
    unsigned first = byte(0);
    std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 0;
    if (length == 0 || first > 0xF4 || at + length > text.size()) return 0;
    unsigned code = first & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(k) & 0x3F);
    }
    static constexpr unsigned SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < SMALLEST[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

std::string terminal_safe(std::string_view text) {
    std::string out;
    char escaped[8];
    for (std::size_t at = 0; at < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            std::size_t length = utf8_length(text, at);
            // U+0080 to U+009F are controls too (CSI among them).
            bool control =
                length == 2 && c == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
            if (length > 0 && !control) {
                out.append(text.substr(at, length));
                at += length;
                continue;
            }
            for (std::size_t k = 0; k < std::max<std::size_t>(length, 1); ++k) {
                std::snprintf(escaped, sizeof escaped, "\\x%02X",
                              static_cast<unsigned char>(text[at + k]));
                out += escaped;
            }
            at += std::max<std::size_t>(length, 1);
            continue;
        }
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case 0x1B: out += "\\e"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++at;
    }
    return out;
}
