#include "command_words.hpp"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <sstream>

// Control characters a command may carry (a NUL, an Escape) are written as
// ^@, ^[ and so on, so that a message shows the whole command; a tab stays.
void say(std::ostream& out, const std::string& text) {
    std::string shown;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
            shown += '^';
            shown += static_cast<char>(byte ^ 0x40);
        } else {
            shown += c;
        }
    }
    shown += '\n';
    out.write(shown.data(), static_cast<std::streamsize>(shown.size()));
}

void put_format(std::ostream& out, const char* format, ...) {
    va_list values;
    va_start(values, format);
    va_list again;
    va_copy(again, values);
    char text[256];
    int n = std::vsnprintf(text, sizeof text, format, values);
    va_end(values);
    if (n >= static_cast<int>(sizeof text)) {
        std::string longer(static_cast<std::size_t>(n) + 1, '\0');
        std::vsnprintf(longer.data(), longer.size(), format, again);
        out.write(longer.data(), n);
    } else if (n > 0) {
        out.write(text, n);
    }
    va_end(again);
}

std::string quoted_word(const std::string& word) {
    constexpr std::size_t SHOWN = 80;
    if (word.size() <= SHOWN) return word;
    return word.substr(0, SHOWN) + "...";
}

// Decimal, or hexadecimal after 0x; nothing else in the word.
std::optional<std::uint64_t> parse_number(const std::string& word) {
    int base = 10;
    const char* first = word.data();
    const char* last = word.data() + word.size();
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        base = 16;
        first += 2;
    }
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(first, last, value, base);
    if (error != std::errc() || end != last || first == last) return std::nullopt;
    return value;
}

// A count: absent means 1; at least 1.
std::optional<std::uint64_t> parse_count(const Session& s, const Words& words, std::size_t index) {
    if (words.size() <= index) return 1;
    std::optional<std::uint64_t> n = parse_number(words[index]);
    if (!n || *n == 0) {
        say(*s.out, "'" + words[index] + "' is not a count (a number from 1)");
        return std::nullopt;
    }
    return n;
}

// An address, a label, label+N or :LINE, up to `limit`.
std::optional<std::uint16_t> parse_location(const Session& s, const std::string& word,
                                            unsigned limit) {
    const DebugProgram& p = s.program;
    std::optional<std::uint64_t> address;
    if (word[0] == ':') {
        if (!p.has_source) {
            say(*s.out, "no source lines: " + p.file_name + " is object code");
            return std::nullopt;
        }
        std::optional<std::uint64_t> line = parse_number(word.substr(1));
        if (!line || *line == 0 || *line > static_cast<std::uint64_t>(source_line_count(p))) {
            say(*s.out, "no source line " + word.substr(1) + " (the source has " +
                            std::to_string(source_line_count(p)) + " lines)");
            return std::nullopt;
        }
        std::optional<std::uint16_t> at = address_of_line(p, static_cast<int>(*line));
        if (!at) {
            say(*s.out, "no instruction on line " + word.substr(1) + " or after it");
            return std::nullopt;
        }
        return at;
    }
    if (word[0] >= '0' && word[0] <= '9') {
        address = parse_number(word);
        if (!address) {
            say(*s.out, "'" + word + "' is not an address");
            return std::nullopt;
        }
    } else {
        // label+N: N bytes after the label.
        std::size_t plus = word.find('+');
        std::string name = word.substr(0, plus);
        std::optional<std::uint64_t> offset = std::uint64_t{0};
        if (plus != std::string::npos) offset = parse_number(word.substr(plus + 1));
        if (!offset) {
            say(*s.out, std::string("'")
                            .append(quoted_word(word))
                            .append("' is not a location (label+N takes a number)"));
            return std::nullopt;
        }
        std::optional<std::uint16_t> at = find_label(p, name);
        if (!at) {
            say(*s.out, p.has_source
                            ? std::string("unknown label '").append(quoted_word(name)).append("'")
                            : "no labels: " + p.file_name + " is object code");
            return std::nullopt;
        }
        address = *offset > limit ? *offset : *at + *offset;
    }
    if (*address > limit) {
        say(*s.out, "address " + word + " out of range (0 to " + std::to_string(limit) + ")");
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*address);
}

Words split_words(const std::string& line) {
    Words words;
    std::istringstream in(line);
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

// A whole number of steps, from 0.
std::optional<std::uint64_t> parse_step(const Session& s, const Words& words) {
    std::optional<std::uint64_t> n;
    if (words.size() == 2) n = parse_number(words[1]);
    if (!n) say(*s.out, words[0] + " takes an instruction number (0 for the start)");
    return n;
}

std::optional<std::uint16_t> parse_address(const Session& s, const Words& words) {
    if (words.size() != 2) {
        say(*s.out, words[0] + " takes one location");
        return std::nullopt;
    }
    return parse_location(s, words[1], MEMORY_SIZE - 1);
}
