#include "message_reader.hpp"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::string_view HEADER_END = "\r\n\r\n";
constexpr std::string_view LENGTH_FIELD = "content-length";

bool same_letters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

constexpr std::string_view RESYNC_MARK = "Content-Length";

ReadResult malformed(std::string problem) {
    return ReadResult{ReadResult::MALFORMED, {}, std::move(problem)};
}

}  // namespace

void MessageReader::feed(std::string_view bytes) {
    if (skip_remaining_ > 0) {
        std::size_t dropped = std::min(skip_remaining_, bytes.size());
        skip_remaining_ -= dropped;
        bytes.remove_prefix(dropped);
    }
    // Consumed bytes are released before the buffer grows.
    if (start_ > 0 && (start_ == buffer_.size() || start_ > buffer_.size() / 2)) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    buffer_.append(bytes);
}

// Header lines up to the empty line; the block is consumed whether or not
// it is usable. A malformed block is dropped up to the next line that starts
// a Content-Length header, so that the next message is found again.
ReadResult MessageReader::parse_header() {
    std::string_view pending(buffer_.data() + start_, buffer_.size() - start_);
    if (resync_) {
        std::size_t mark = pending.find(RESYNC_MARK);
        if (mark == std::string_view::npos) {
            // Keep what could be the beginning of the mark.
            start_ += pending.size() - std::min(pending.size(), RESYNC_MARK.size() - 1);
            return {};
        }
        start_ += mark;
        pending.remove_prefix(mark);
        resync_ = false;
    } else {
        // Line ends behind a body, and the rest of a body cut short in
        // front of the next header on its line, are passed over.
        std::size_t first = pending.find_first_not_of(" \t\r\n");
        if (first == std::string_view::npos) first = pending.size();
        std::size_t mark = pending.find(RESYNC_MARK, first);
        if (mark != std::string_view::npos && mark < pending.find("\r\n", first)) first = mark;
        start_ += first;
        pending.remove_prefix(first);
    }
    std::size_t end = pending.find(HEADER_END);
    if (end == std::string_view::npos) {
        if (pending.size() <= MAX_HEADER_BYTES) return {};
        start_ = buffer_.size();
        resync_ = true;
        return malformed("a header longer than " + std::to_string(MAX_HEADER_BYTES) + " bytes");
    }
    std::string_view block = pending.substr(0, end);
    start_ += end + HEADER_END.size();
    std::size_t length = 0;
    ReadResult problem = parse_fields(block, length);
    if (problem.kind == ReadResult::MALFORMED) {
        resync_ = true;
        return problem;
    }
    if (length > MAX_CONTENT_LENGTH) {
        std::size_t here = std::min(length, buffer_.size() - start_);
        start_ += here;
        skip_remaining_ = length - here;
        return malformed("a message of " + std::to_string(length) + " bytes, more than " +
                         std::to_string(MAX_CONTENT_LENGTH));
    }
    body_length_ = length;
    in_body_ = true;
    scan_ = {};
    return {};
}

// The length of the body's JSON object or array once its closing bracket
// is buffered; 0 while it is not (or the body is taken by its length).
std::size_t MessageReader::value_end() {
    std::size_t available = std::min(body_length_, buffer_.size() - start_);
    for (; scan_.read < available && !scan_.by_length; ++scan_.read) {
        char c = buffer_[start_ + scan_.read];
        if (scan_.string) {
            if (scan_.escape)
                scan_.escape = false;
            else if (c == '\\')
                scan_.escape = true;
            else if (c == '"')
                scan_.string = false;
        } else if (c == '"') {
            scan_.string = true;
        } else if (c == '{' || c == '[') {
            ++scan_.depth;
        } else if (c == '}' || c == ']') {
            if (--scan_.depth == 0) return ++scan_.read;
        } else if (scan_.depth == 0 && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            scan_.by_length = true;
        }
    }
    return 0;
}

// The header fields: Content-Length must be there once, as a decimal
// number; other fields are passed over.
ReadResult MessageReader::parse_fields(std::string_view block, std::size_t& length) {
    bool have_length = false;
    while (!block.empty()) {
        std::size_t line_end = block.find("\r\n");
        std::string_view line = block.substr(0, line_end);
        block =
            line_end == std::string_view::npos ? std::string_view{} : block.substr(line_end + 2);
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) return malformed("a header line without ':'");
        std::string_view name = trimmed(line.substr(0, colon));
        std::string_view value = trimmed(line.substr(colon + 1));
        if (!same_letters(name, LENGTH_FIELD)) continue;  // Content-Type and others
        if (have_length) return malformed("Content-Length given twice");
        if (value.empty() || value.size() > 12 ||
            !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return malformed("a Content-Length that is not a number");
        }
        have_length = true;
        length = 0;
        for (char c : value) length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    if (!have_length) return malformed("a header without Content-Length");
    return {};
}

ReadResult MessageReader::next() {
    if (!in_body_) {
        ReadResult header = parse_header();
        if (header.kind == ReadResult::MALFORMED) return header;
        if (!in_body_) return {};
    }
    std::size_t length = value_end();
    if (length == 0 && buffer_.size() - start_ < body_length_) return {};
    if (length == 0) length = body_length_;
    ReadResult message{ReadResult::MESSAGE, buffer_.substr(start_, length), {}};
    start_ += length;
    in_body_ = false;
    // The one depth rule of every server: a body nested deeper than the
    // parsers may go is answered as malformed before anything parses it.
    if (std::string problem = nesting_problem(message.body); !problem.empty())
        return {ReadResult::MALFORMED, {}, problem};
    return message;
}

bool json_depth_within(std::string_view text, int limit) {
    int depth = 0;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (in_string) {
            if (c == '\\') {
                ++i;  // the escaped character
            } else if (c == '"') {
                in_string = false;
            }
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

std::string nesting_problem(std::string_view body) {
    if (json_depth_within(body)) return "";
    return "the body nests deeper than " + std::to_string(MAX_JSON_DEPTH) + " levels";
}

std::string top_level_scalar(std::string_view text, std::string_view key) {
    constexpr std::size_t LONGEST = 256;
    int depth = 0;
    bool expect_key = false;  // at depth 1, the next string is a key
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            std::size_t end = i + 1;
            while (end < text.size() && text[end] != '"') end += text[end] == '\\' ? 2 : 1;
            if (end >= text.size()) return {};
            bool wanted = depth == 1 && expect_key && text.substr(i + 1, end - i - 1) == key;
            i = end;
            if (depth == 1 && expect_key) expect_key = false;
            if (!wanted) continue;
            std::size_t at = text.find_first_not_of(" \t\r\n", i + 1);
            if (at == std::string_view::npos || text[at] != ':') return {};
            at = text.find_first_not_of(" \t\r\n", at + 1);
            if (at == std::string_view::npos) return {};
            std::size_t stop = at;
            if (text[at] == '"') {
                stop = at + 1;
                while (stop < text.size() && text[stop] != '"' && stop - at < LONGEST)
                    stop += text[stop] == '\\' ? 2 : 1;
                if (stop >= text.size() || text[stop] != '"') return {};
                ++stop;
            } else {
                while (stop < text.size() && stop - at < LONGEST &&
                       std::string_view("-+.0123456789eE").find(text[stop]) !=
                           std::string_view::npos)
                    ++stop;
            }
            return std::string(text.substr(at, stop - at));
        }
        if (c == '{' || c == '[') {
            ++depth;
            expect_key = depth == 1 && c == '{';
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == ',' && depth == 1) {
            expect_key = true;
        }
    }
    return {};
}
