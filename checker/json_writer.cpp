#include "json_writer.hpp"

#include <cstdio>

std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            std::size_t length = utf8_length(text, at);
            if (length > 0) {
                out.append(text.substr(at, length));
                at += length;
                continue;
            }
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
        ++at;
    }
    return out + "\"";
}

void JsonWriter::element() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (levels_.empty()) return;
    Level& level = levels_.back();
    if (level.has_elements) text_ += level.one_line ? ", " : ",";
    level.has_elements = true;
    if (!level.one_line) new_line(levels_.size());
}

void JsonWriter::new_line(std::size_t depth) {
    text_ += '\n';
    text_.append(2 * depth, ' ');
}

void JsonWriter::open(char bracket, bool one_line) {
    element();
    text_ += bracket;
    levels_.push_back({false, one_line});
}

void JsonWriter::close(char bracket) {
    Level level = levels_.back();
    levels_.pop_back();
    if (level.has_elements && !level.one_line) new_line(levels_.size());
    text_ += bracket;
    if (levels_.empty()) text_ += '\n';
}

void JsonWriter::key(std::string_view name) {
    element();
    text_ += json_string(name);
    text_ += ": ";
    after_key_ = true;
}

void JsonWriter::value(std::string_view text) {
    element();
    text_ += json_string(text);
}

void JsonWriter::value(long long number) {
    element();
    text_ += std::to_string(number);
}

void JsonWriter::value(bool flag) {
    element();
    text_ += flag ? "true" : "false";
}

void JsonWriter::null() {
    element();
    text_ += "null";
}

void JsonWriter::raw(std::string_view literal) {
    element();
    text_ += literal;
}
