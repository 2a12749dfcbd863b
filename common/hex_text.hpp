// Numbers as the tools write addresses and bytes.
#pragma once

#include <cstdio>
#include <string>

// Four hexadecimal digits: "00A8".
inline std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
    return text;
}
