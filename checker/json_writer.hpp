// A small writer of JSON documents, indented two blanks per level. Strings
// are byte strings: valid UTF-8 sequences are copied, quotes, backslashes
// and control characters are escaped, and every byte that is not part of a
// valid UTF-8 sequence is written as \u00XX (the code point of that byte
// value), so the document is always valid JSON.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "terminal_text.hpp"

// text as a JSON string literal, quotes included.
std::string json_string(std::string_view text);

class JsonWriter {
public:
    void begin_object() { open('{', false); }
    void end_object() { close('}'); }
    // An array on one line suits a list of numbers.
    void begin_array(bool one_line = false) { open('[', one_line); }
    void end_array() { close(']'); }
    // The name of the next member of an object.
    void key(std::string_view name);
    void value(std::string_view text);
    void value(const char* text) { value(std::string_view(text)); }
    void value(long long number);
    void value(bool flag);
    void null();
    // A literal written as it is, such as a number with a fraction.
    void raw(std::string_view literal);
    // The document so far; complete once every object and array is closed.
    const std::string& text() const { return text_; }

private:
    void element();  // separator and indentation before a value
    void open(char bracket, bool one_line);
    void close(char bracket);
    void new_line(std::size_t depth);

    std::string text_;
    struct Level {
        bool has_elements;
        bool one_line;
    };
    std::vector<Level> levels_;  // one per open bracket
    bool after_key_ = false;
};
