// The framing of the Language Server Protocol's base layer: header lines
// ("Content-Length: N", optionally "Content-Type: ..."), an empty line, then
// N bytes of JSON. MessageReader takes bytes as they arrive, in pieces of
// any size, and hands out one body or one problem at a time; it never
// throws and never holds more than one message's bytes plus one header.
//
// A wrong Content-Length costs at most the message it heads: a body that
// holds a whole JSON object or array ends where that value ends (the bytes
// after it are read as the start of the next message), and bytes before a
// "Content-Length" on the same line are the rest of a body cut short and are
// passed over, so the next message is still found and answered.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A body above this size is skipped (its bytes read and dropped) and
// reported, so a client cannot make the server hold any amount of memory.
constexpr std::size_t MAX_CONTENT_LENGTH = std::size_t{64} << 20;
// A header block that has not ended after this many bytes is malformed.
constexpr std::size_t MAX_HEADER_BYTES = 8192;

// Arrays and objects nested deeper than this make a message malformed (the
// reader's next() says so): the parser's memory, time and stack grow with
// the depth.
constexpr int MAX_JSON_DEPTH = 256;

// Whether the JSON text nests arrays and objects at most limit deep (the
// brackets inside strings do not count). One pass, no memory: run before
// the parser.
bool json_depth_within(std::string_view text, int limit = MAX_JSON_DEPTH);
// The one depth rule of both servers: "" for a body within MAX_JSON_DEPTH,
// else the problem to answer with. MessageReader::next applies it to every
// body; a server handed bodies another way applies it itself.
std::string nesting_problem(std::string_view body);

// The text of the top-level member `key` of a JSON object when it is a
// number or a string of at most 256 characters, found without parsing the
// rest (for answering a message that could not be handled); "" otherwise.
std::string top_level_scalar(std::string_view text, std::string_view key);

struct ReadResult {
    enum Kind { NEED_MORE, MESSAGE, MALFORMED };
    Kind kind = NEED_MORE;
    std::string body;     // MESSAGE: the JSON text
    std::string problem;  // MALFORMED: what was wrong, for the error response
};

class MessageReader {
public:
    void feed(std::string_view bytes);
    ReadResult next();

private:
    ReadResult parse_header();
    ReadResult parse_fields(std::string_view block, std::size_t& length);

    std::string buffer_;
    std::size_t start_ = 0;        // bytes before start_ are consumed
    std::size_t body_length_ = 0;  // set once a header was read
    bool in_body_ = false;
    // Where the scan for the end of the body's JSON value stands: bytes of
    // the body read, open brackets, inside a string, after a backslash. A
    // body that does not start with '{' or '[' is taken by its length.
    struct ValueScan {
        std::size_t read = 0;
        int depth = 0;
        bool string = false, escape = false, by_length = false;
    } scan_;
    std::size_t value_end();
    std::size_t skip_remaining_ = 0;  // bytes of an oversized body still to drop
    // After a malformed header the length of what follows is unknown: bytes
    // are dropped up to the next "Content-Length", the start of a header.
    bool resync_ = false;
};
