#include "machine/condition.hpp"

#include <cctype>
#include <charconv>
#include <initializer_list>

#include "object_code.hpp"

namespace {

std::optional<std::uint32_t> number_of(std::string_view word) {
    int base = 10;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        base = 16;
        word.remove_prefix(2);
    }
    std::uint32_t value = 0;
    const char* last = word.data() + word.size();
    auto [end, error] = std::from_chars(word.data(), last, value, base);
    if (error != std::errc() || end != last || word.empty()) return std::nullopt;
    return value;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// At most this much of the user's text is quoted back.
std::string quoted(std::string_view text) {
    constexpr std::size_t SHOWN = 40;
    std::string shown;
    for (char c : text.substr(0, SHOWN))
        shown += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    return text.size() > SHOWN ? shown + "..." : shown;
}

// Message parts joined (GCC 12 warns falsely on chains of + on strings).
std::string joined(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text += part;
    return text;
}

struct Operator {
    std::string_view symbol;
    Comparison comparison;
};
// Two-character operators first, so that <= is not read as <.
constexpr Operator OPERATORS[] = {{"==", Comparison::EQ}, {"!=", Comparison::NE},
                                  {"<=", Comparison::LE}, {">=", Comparison::GE},
                                  {"<", Comparison::LT},  {">", Comparison::GT}};

const char* const FORM =
    " (a condition is [LOC], word [LOC], sp, pc or top, then ==, !=, <, <=, > or >=, then a "
    "number)";

}  // namespace

bool Condition::holds(const Machine& m) const {
    std::uint32_t value = 0;
    switch (subject) {
        case ConditionSubject::BYTE: value = m.memory[address]; break;
        case ConditionSubject::WORD:
            value = m.memory[address] |
                    static_cast<std::uint32_t>(m.memory[(address + 1u) % MEMORY_SIZE]) << 8;
            break;
        case ConditionSubject::SP: value = m.SP; break;
        case ConditionSubject::PC: value = m.PC; break;
        case ConditionSubject::TOP:
            if (m.SP == 0 || m.SP >= STACK_TOP) return false;
            value = m.memory[m.SP + 1u];
            break;
    }
    switch (comparison) {
        case Comparison::EQ: return value == number;
        case Comparison::NE: return value != number;
        case Comparison::LT: return value < number;
        case Comparison::LE: return value <= number;
        case Comparison::GT: return value > number;
        case Comparison::GE: return value >= number;
    }
    return false;
}

std::variant<Condition, std::string> parse_condition(std::string_view text,
                                                     const LocationResolver& resolve) {
    text = trimmed(text);
    Condition c;
    c.text = std::string(text);
    if (text.empty()) return joined({"no condition after if", FORM});
    // The operator splits the subject from the number.
    std::size_t at = std::string_view::npos;
    const Operator* found = nullptr;
    for (std::size_t i = 0; i < text.size() && found == nullptr; ++i) {
        for (const Operator& o : OPERATORS) {
            if (text.substr(i, o.symbol.size()) == o.symbol) {
                at = i;
                found = &o;
                break;
            }
        }
    }
    if (found == nullptr) return joined({"no comparison in '", quoted(text), "'", FORM});
    // "=<", "=>", "==="...: an operator with more around it.
    std::size_t end = at + found->symbol.size();
    auto part_of_operator = [](char c) { return c == '=' || c == '!' || c == '<' || c == '>'; };
    if ((at > 0 && part_of_operator(text[at - 1])) ||
        (end < text.size() && part_of_operator(text[end])))
        return joined({"no comparison in '", quoted(text), "'", FORM});
    c.comparison = found->comparison;
    std::string_view subject = trimmed(text.substr(0, at));
    std::string_view number = trimmed(text.substr(at + found->symbol.size()));
    std::uint32_t most = 0xFF;
    if (subject == "sp" || subject == "pc") {
        c.subject = subject == "sp" ? ConditionSubject::SP : ConditionSubject::PC;
        most = 0xFFFF;
    } else if (subject == "top") {
        c.subject = ConditionSubject::TOP;
    } else {
        if (subject.substr(0, 4) == "word" &&
            (subject.size() == 4 || std::isspace(static_cast<unsigned char>(subject[4])) ||
             subject[4] == '[')) {
            c.subject = ConditionSubject::WORD;
            most = 0xFFFF;
            subject = trimmed(subject.substr(4));
        }
        if (subject.size() < 2 || subject.front() != '[' || subject.back() != ']')
            return joined({"'", quoted(subject), "' is not a value to compare", FORM});
        std::string loc(trimmed(subject.substr(1, subject.size() - 2)));
        if (loc.empty()) return joined({"no location between [ and ]", FORM});
        std::string error;
        std::optional<std::uint16_t> address = resolve(loc, error);
        if (!address) return error;
        c.address = *address;
    }
    std::optional<std::uint32_t> value = number_of(number);
    if (!value) return joined({"'", quoted(number), "' is not a number (decimal or 0x)"});
    if (*value > most)
        return joined({quoted(number), " is more than ",
                       most == 0xFF ? "a byte holds (255)" : "a word holds (65535)"});
    c.number = *value;
    return c;
}

std::optional<std::uint16_t> resolve_location(
    const std::string& loc, unsigned limit,
    const std::function<std::optional<std::uint16_t>(std::string_view)>& label_address,
    std::string& error) {
    std::optional<std::uint32_t> address;
    if (!loc.empty() && std::isdigit(static_cast<unsigned char>(loc[0]))) {
        address = number_of(loc);
        if (!address) {
            error = joined({"'", quoted(loc), "' is not an address"});
            return std::nullopt;
        }
    } else {
        std::size_t plus = loc.find('+');
        std::string_view name = std::string_view(loc).substr(0, plus);
        std::optional<std::uint16_t> base = label_address(name);
        if (!base) {
            error = joined({"unknown label '", quoted(name), "'"});
            return std::nullopt;
        }
        std::uint32_t offset = 0;
        if (plus != std::string::npos) {
            std::optional<std::uint32_t> n = number_of(std::string_view(loc).substr(plus + 1));
            if (!n || *n > 0xFFFF) {
                error = joined({"'", quoted(loc.substr(plus + 1)), "' is not an offset (label+N)"});
                return std::nullopt;
            }
            offset = *n;
        }
        address = *base + offset;
    }
    if (*address > limit) {
        error =
            joined({"address ", quoted(loc), " out of range (0 to ", std::to_string(limit), ")"});
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*address);
}
