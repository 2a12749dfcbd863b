#include "data_movement.hpp"

#include <cstdio>

void address_overload_stop(std::uint16_t pc, std::uint8_t ir, const char* mnemonic) {
    char message[64];
    std::snprintf(message, sizeof message, "\n-%s-\n ERROR address overload (> MEMORY_SIZE)\n",
                  mnemonic);
    fatal_stop(message, PositionLine::STANDARD, pc, ir, false);
}

void lda_overload_stop(std::uint16_t pc, std::uint8_t ir) {
    fatal_stop("\n-LDA-\n ERROR indirect overload (> MAX_MEMORY)\n", PositionLine::SHORT, pc, ir,
               false);
}

void sta_overload_stop() {
    fatal_stop("\n-STA-\n ERROR indirect overload (> MAX_MEMORY)\n", PositionLine::NONE, 0, 0,
               false);
}

void show_port0(unsigned value) { console_printf("\n-[%u : %02Xh]-", value, value); }
