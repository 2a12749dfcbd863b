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
std::uint64_t frames_pending = 0;
unsigned activity_phase = 0;
}  // namespace console_state

namespace {

// Appends text without writing pending frames first; flushes when full.
void append(const char* text, std::size_t length) {
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

// FRAME_BLOCK_FRAMES frames of phases 1, 2, 3, 4, 1, ... in a row, so that
// any run of frames is copied from it in large pieces.
constexpr std::size_t FRAME_BLOCK_FRAMES = 4096;

struct FrameBlock {
    char bytes[2 * FRAME_BLOCK_FRAMES];
};

constexpr FrameBlock make_frame_block() {
    constexpr char BARS[4] = {'\\', '|', '/', '-'};
    FrameBlock block{};
    for (std::size_t i = 0; i < FRAME_BLOCK_FRAMES; ++i) {
        block.bytes[2 * i] = '\b';
        block.bytes[2 * i + 1] = BARS[i % 4];
    }
    return block;
}

constexpr FrameBlock FRAME_BLOCK = make_frame_block();

}  // namespace

void console_write_pending_frames() {
    using namespace console_state;
    std::uint64_t frames = frames_pending;
    frames_pending = 0;
    if (frames > 0 && activity_phase == 0) {  // the very first frame has no backspace
        append("-", 1);
        activity_phase = 1;
        --frames;
    }
    while (frames > 0) {
        std::size_t first = activity_phase - 1;  // frame index of this phase in the block
        std::uint64_t part = FRAME_BLOCK_FRAMES - first;
        if (frames < part) part = frames;
        append(FRAME_BLOCK.bytes + 2 * first, 2 * static_cast<std::size_t>(part));
        activity_phase = static_cast<unsigned>((first + part) % 4 + 1);
        frames -= part;
    }
}

void console_write(const char* text, std::size_t length) {
    if (console_state::frames_pending != 0) console_write_pending_frames();
    append(text, length);
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
