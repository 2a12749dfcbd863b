// The texts a run reads and writes. An Output collects text in memory; when
// it is given a file or a writer (the program passes the console's), it
// hands the text on in large blocks, so that a source of any size streams
// through. A LineInput reads lines from a file or from text in memory.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

struct Output {
    std::string text;  // everything written, or the block not yet handed on
    std::FILE* file = nullptr;
    void (*writer)(const char* data, std::size_t length) = nullptr;
};

constexpr std::size_t OUTPUT_BLOCK = 1 << 16;

// Hands the collected block on to the file or writer, if there is one.
void drain_output(Output& out);

inline void drain_when_full(Output& out) {
    if (out.text.size() >= OUTPUT_BLOCK && (out.file != nullptr || out.writer != nullptr))
        drain_output(out);
}

inline void put(Output& out, char c) {
    out.text.push_back(c);
    drain_when_full(out);
}

inline void put(Output& out, std::string_view text) {
    out.text.append(text);
    drain_when_full(out);
}

// The decimal digits of value ("%d", "%llu").
template <typename Integer>
void put_number(Output& out, Integer value) {
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    put(out, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

// The value right-aligned in at least five columns, then ": " ("%5d: ").
void put_address(Output& out, std::int32_t value);

struct LineInput {
    std::FILE* file = nullptr;  // read when set; else text is read
    std::string_view text;
    std::size_t position = 0;
    bool ended = false;  // the last read ran into the end of the input
};

// Reads one line the way fgets does into capacity bytes: at most capacity - 1
// characters, the line feed kept when it fits, then a NUL. False when
// nothing was left to read.
bool read_line(LineInput& in, char* buffer, int capacity);
