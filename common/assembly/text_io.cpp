#include "text_io.hpp"

#include <algorithm>
#include <cstring>

void drain_output(Output& out) {
    if (out.file != nullptr) {
        std::fwrite(out.text.data(), 1, out.text.size(), out.file);
    } else if (out.writer != nullptr) {
        out.writer(out.text.data(), out.text.size());
    } else {
        return;
    }
    out.text.clear();
}

void put_address(Output& out, std::int32_t value) {
    char digits[16];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    auto length = static_cast<std::size_t>(end - digits);
    for (std::size_t pad = length; pad < 5; ++pad) out.text.push_back(' ');
    out.text.append(digits, length);
    out.text.append(": ");
    drain_when_full(out);
}

bool read_line(LineInput& in, char* buffer, int capacity) {
    if (in.file != nullptr) {
        bool read = std::fgets(buffer, capacity, in.file) != nullptr;
        in.ended = std::feof(in.file) != 0;
        return read;
    }
    if (in.position >= in.text.size()) {
        in.ended = true;
        return false;
    }
    std::size_t limit =
        std::min(in.text.size() - in.position, static_cast<std::size_t>(capacity - 1));
    const char* start = in.text.data() + in.position;
    const void* line_feed = std::memchr(start, '\n', limit);
    std::size_t length =
        line_feed != nullptr
            ? static_cast<std::size_t>(static_cast<const char*>(line_feed) - start) + 1
            : limit;
    std::memcpy(buffer, start, length);
    buffer[length] = '\0';
    in.position += length;
    // fgets meets the end only when it stopped short of a line feed and of
    // the buffer's capacity.
    in.ended = line_feed == nullptr && length < static_cast<std::size_t>(capacity - 1);
    return true;
}
