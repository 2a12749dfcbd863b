#include "memory_view.hpp"

#include <algorithm>
#include <cstdio>

#include "command_print.hpp"
#include "commands.hpp"

namespace {

constexpr unsigned STRING_SHOWN = 64;  // the most bytes a string shows

std::string hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
    return text;
}

// Built by append: GCC 12 warns wrongly about "'" + a temporary string.
void not_a_format(const Session& s, const std::string& word, const char* formats) {
    std::string text = "'";
    text.append(quoted_word(word)).append("' is not a format (").append(formats).append(")");
    say(*s.out, text);
}

bool is_print_format(const std::string& word) {
    return word == "byte" || word == "word" || word == "char" || word == "string";
}

}  // namespace

std::string data_place(const Session& s, unsigned address) {
    std::string text = hex4(address);
    // Past the program's bytes only a label right there names the place
    // (one that reserves no byte, as a variable declared without db).
    const bool loaded = address < MAX_MEMORY && s.program.loaded[address];
    std::string label = loaded ? s.source.label_offset(address)
                        : address < MEMORY_SIZE
                            ? label_at(s.program, static_cast<std::uint16_t>(address))
                            : "";
    return label.empty() ? text : text + " (" + label + ")";
}

std::string char_text(std::uint8_t byte) {
    switch (byte) {
        case 0: return "'\\0'";
        case '\n': return "'\\n'";
        case '\t': return "'\\t'";
        case '\r': return "'\\r'";
        case '\'': return "'\\''";
        case '\\': return "'\\\\'";
        default: break;
    }
    if (byte >= 0x20 && byte < 0x7F) return std::string("'") + static_cast<char>(byte) + "'";
    return "'\\x" + hex2(byte) + "'";
}

std::optional<std::string> print_text(const Session& s, std::uint16_t address,
                                      const std::string& format) {
    const Machine& m = s.run.machine();
    std::string place = data_place(s, address) + " = ";
    std::uint8_t byte = m.memory[address];
    if (format == "byte") {
        return place + "0x" + hex2(byte) + " " + std::to_string(byte) + " " + char_text(byte);
    }
    if (format == "char") return place + char_text(byte);
    if (format == "word") {
        if (address + 1u >= static_cast<unsigned>(MEMORY_SIZE)) {
            say(*s.out, "a word at " + hex4(address) + " would end past memory");
            return std::nullopt;
        }
        unsigned word = byte | static_cast<unsigned>(m.memory[address + 1] << 8);
        return place + "0x" + hex4(word) + " " + std::to_string(word);
    }
    if (format == "string") {
        // The bytes up to a 0, as a quoted string with escapes.
        std::string text = "\"";
        unsigned a = address;
        for (; a < static_cast<unsigned>(MEMORY_SIZE) && m.memory[a] != 0 &&
               a < address + STRING_SHOWN;
             ++a) {
            std::string c = char_text(m.memory[a]);
            c = c == "'\\''" ? "'" : c == "'\"'" ? "\\\"" : c.substr(1, c.size() - 2);
            text += c;
        }
        text += "\"";
        if (a < static_cast<unsigned>(MEMORY_SIZE) && m.memory[a] != 0) text += "...";
        return place + text;
    }
    not_a_format(s, format, "byte, word, char or string");
    return std::nullopt;
}

void print_command(const Session& s, const Words& words) {
    if (words.size() < 2)
        return say(*s.out, "print takes a location and a format (byte, word, char, string)");
    std::optional<std::uint16_t> at = parse_location(s, words[1], MEMORY_SIZE - 1);
    if (!at) return;
    if (std::optional<std::string> text = print_text(s, *at, words.size() > 2 ? words[2] : "byte"))
        say(*s.out, *text);
}

namespace {

// Bytes in hexadecimal and decimal, eight to a line, each line named as
// data_place names its first byte.
void examine(const Session& s, std::uint16_t address, std::uint64_t count) {
    const Machine& m = s.run.machine();
    unsigned end = static_cast<unsigned>(
        std::min<std::uint64_t>(address + count, static_cast<std::uint64_t>(MEMORY_SIZE)));
    for (unsigned a = address; a < end; a += 8) {
        std::string hex;
        std::string decimal;
        for (unsigned b = a; b < end && b < a + 8; ++b) {
            char text[8];
            std::snprintf(text, sizeof text, " %02X", m.memory[b]);
            hex += text;
            decimal += ' ';
            decimal += std::to_string(m.memory[b]);
        }
        std::string line = data_place(s, a);
        line += ":" + hex;
        line += " |" + decimal;
        say(*s.out, line);
    }
}

}  // namespace

void examine_command(const Session& s, const Words& words) {
    if (words.size() < 2) return say(*s.out, "x takes an address, a count and a format");
    std::optional<std::uint16_t> at = parse_location(s, words[1], MEMORY_SIZE - 1);
    if (!at) return;
    // The count may be left out before the format.
    std::string format;
    std::size_t count_index = 2;
    if (words.size() == 3 && !words[2].empty() && (words[2][0] < '0' || words[2][0] > '9')) {
        format = words[2];
        count_index = 3;
    } else if (words.size() == 4) {
        format = words[3];
    }
    std::optional<std::uint64_t> n = parse_count(s, words, count_index);
    if (!n) return;
    if (format.empty()) return examine(s, *at, *n);
    if (format != "hex" && format != "dec" && format != "char" && format != "word") {
        return not_a_format(s, format, "hex, dec, char or word");
    }
    const Machine& m = s.run.machine();
    unsigned size = format == "word" ? 2 : 1;
    unsigned per_line = format == "word" ? 4 : 8;
    unsigned end = static_cast<unsigned>(
        std::min<std::uint64_t>(*at + *n * size, static_cast<std::uint64_t>(MEMORY_SIZE)));
    if (format == "word" && *at + 1u >= static_cast<unsigned>(MEMORY_SIZE)) {
        return say(*s.out, "a word at " + hex4(*at) + " would end past memory");
    }
    for (unsigned a = *at; a + size <= end; a += size * per_line) {
        std::string text = data_place(s, a) + ":";
        for (unsigned b = a; b + size <= end && b < a + size * per_line; b += size) {
            std::uint8_t byte = m.memory[b];
            text += ' ';
            if (format == "hex") text += hex2(byte);
            if (format == "dec") text += std::to_string(byte);
            if (format == "char") text += char_text(byte);
            if (format == "word") {
                unsigned word = byte | static_cast<unsigned>(m.memory[b + 1] << 8);
                text.append(hex4(word)).append(" ").append(std::to_string(word));
            }
        }
        say(*s.out, text);
    }
}

void display_command(Session& s, const Words& words) {
    if (words.size() < 2)
        return say(*s.out, "display takes a location and a format (byte, word, char, string)");
    std::optional<std::uint16_t> at = parse_location(s, words[1], MEMORY_SIZE - 1);
    if (!at) return;
    std::string format = words.size() > 2 ? words[2] : "byte";
    if (!is_print_format(format)) {
        return not_a_format(s, format, "byte, word, char or string");
    }
    std::optional<std::string> text = print_text(s, *at, format);
    if (!text) return;
    s.displays.push_back({s.next_display++, *at, format});
    say(*s.out, std::to_string(s.displays.back().id) + ": " + *text);
}

void undisplay_command(Session& s, const Words& words) {
    std::optional<std::uint64_t> id = words.size() == 2 ? parse_number(words[1]) : std::nullopt;
    for (auto d = s.displays.begin(); id && d != s.displays.end(); ++d) {
        if (static_cast<std::uint64_t>(d->id) != *id) continue;
        s.displays.erase(d);
        return say(*s.out, "display " + words[1] + " removed");
    }
    say(*s.out, words.size() == 2 ? "no display " + quoted_word(words[1])
                                  : "undisplay takes the number of a display");
}

void show_displays(const Session& s) {
    for (const Display& d : s.displays) {
        if (std::optional<std::string> text = print_text(s, d.address, d.format))
            say(*s.out, std::to_string(d.id) + ": " + *text);
    }
}

namespace {

// After a change by hand: the run goes on from it.
void report_change(Session& s, const Machine& changed, const std::string& what) {
    std::uint64_t forgotten = change_state(s, changed);
    say(*s.out, "set " + what);
    if (forgotten > 0) {
        say(*s.out, "the run goes on from here: the " + std::to_string(forgotten) +
                        (forgotten == 1 ? " instruction" : " instructions") +
                        " recorded after instruction " + std::to_string(s.run.step()) +
                        " are forgotten");
    }
}

}  // namespace

void set_command(Session& s, const Words& words) {
    if (words.size() < 4 || words[2] != "=") {
        return say(*s.out, "set takes LOC = V..., sp = V or pc = LOC");
    }
    Machine changed = s.run.machine();
    if (words[1] == "sp" || words[1] == "pc") {
        if (words.size() != 4) return say(*s.out, "set " + words[1] + " takes one value");
        bool pc = words[1] == "pc";
        std::optional<std::uint16_t> value = pc ? parse_location(s, words[3], MAX_MEMORY - 1)
                                                : parse_location(s, words[3], STACK_TOP);
        if (!value) return;
        if (!pc && words[3][0] != ':' && (words[3][0] < '0' || words[3][0] > '9'))
            return say(*s.out, "set sp takes a number");
        (pc ? changed.PC : changed.SP) = *value;
        report_change(s, changed, (pc ? "PC = " : "SP = ") + data_place(s, *value));
        if (pc) print_position(s);
        return;
    }
    std::optional<std::uint16_t> at = parse_location(s, words[1], MEMORY_SIZE - 1);
    if (!at) return;
    std::string values;
    for (std::size_t i = 3; i < words.size(); ++i) {
        std::optional<std::uint64_t> v = parse_number(words[i]);
        if (!v || *v > 255) {
            return say(*s.out, std::string("'")
                                   .append(quoted_word(words[i]))
                                   .append("' is not a byte (0 to 255)"));
        }
        unsigned a = *at + static_cast<unsigned>(i - 3);
        if (a >= static_cast<unsigned>(MEMORY_SIZE))
            return say(*s.out, "the bytes would end past memory");
        changed.memory[a] = static_cast<std::uint8_t>(*v);
        values.append(" ").append(std::to_string(*v));
    }
    report_change(s, changed, data_place(s, *at) + " =" + values);
}
