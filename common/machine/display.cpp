#include "machine/display.hpp"

#include <cmath>
#include <cstdio>

std::size_t format_port0(char* out, unsigned value) {
    int length = std::snprintf(out, PORT0_TEXT_CAPACITY, "-[%u : %02Xh]-", value, value);
    return length < 0 ? 0 : static_cast<std::size_t>(length);
}

std::string statistics_text(const Registers& m) {
    // The low 32 bits of each count, the instructions signed: these lines
    // read as they always have, past 2^31 and 2^32 too.
    auto clocks = static_cast<std::uint32_t>(m.clock_count);
    auto instructions = static_cast<std::int32_t>(static_cast<std::uint32_t>(m.instruction_count));
    char text[128];
    int length = std::snprintf(text, sizeof text, "No. instruction = %d\nNo. clock = %d,",
                               instructions, static_cast<std::int32_t>(clocks));
    double cpi = static_cast<double>(clocks) / static_cast<double>(instructions);
    if (std::isnan(cpi)) {
        std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "CPI = nan\n");
    } else {
        std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "CPI = %f\n",
                      cpi);
    }
    return text;
}
