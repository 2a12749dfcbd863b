#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "console.hpp"

namespace console_state {
char output_buffer[CONSOLE_OUTPUT_CAPACITY];
std::size_t output_length = 0;
unsigned char key_queue[CONSOLE_KEY_CAPACITY];
std::size_t key_head = 0;
std::size_t key_tail = 0;
}  // namespace console_state

void console_write(const char* text, std::size_t length) {
    using namespace console_state;
    while (length > 0) {
        if (output_length == CONSOLE_OUTPUT_CAPACITY) console_flush();
        std::size_t room = CONSOLE_OUTPUT_CAPACITY - output_length;
        std::size_t part = length < room ? length : room;
        std::memcpy(output_buffer + output_length, text, part);
        output_length += part;
        text += part;
        length -= part;
    }
}

void console_printf(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length < 0) return;
    if (static_cast<std::size_t>(length) >= sizeof text) length = sizeof text - 1;
    console_write(text, static_cast<std::size_t>(length));
}
