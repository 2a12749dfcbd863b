#include "cases.hpp"

#include <algorithm>
#include <array>
#include <sstream>

#include "assemble.hpp"
#include "object_code.hpp"
#include "opcode_table.hpp"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> words_of(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && is_blank(text[at])) ++at;
        std::size_t start = at;
        while (at < text.size() && !is_blank(text[at])) ++at;
        if (at > start) words.push_back(text.substr(start, at - start));
    }
    return words;
}

// A run of at most 18 decimal digits no larger than max.
bool read_number(std::string_view word, long long max, long long* value) {
    if (word.empty() || word.size() > 18) return false;
    long long n = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    if (n > max) return false;
    *value = n;
    return true;
}

std::string quoted(std::string_view text) {
    std::string q(1, '\'');
    q += text;
    q += '\'';
    return q;
}

std::string read_bytes(std::string_view text, std::vector<std::uint8_t>& values) {
    for (std::string_view word : words_of(text)) {
        long long v = 0;
        if (!read_number(word, 255, &v)) return "not a byte value: " + quoted(word);
        values.push_back(static_cast<std::uint8_t>(v));
    }
    return "";
}

// What the assembler takes as a label: a letter, then letters and digits,
// at most 19 characters.
bool is_label_name(std::string_view word) {
    if (word.empty() || word.size() >= SYMBOL_NAME_CAPACITY) return false;
    if (!is_letter(static_cast<unsigned char>(word.front()))) return false;
    return std::all_of(word.begin(), word.end(), [](char c) {
        return is_letter(static_cast<unsigned char>(c)) || is_digit(static_cast<unsigned char>(c));
    });
}

// A decimal address below MEMORY_SIZE, or a label name (looked up in the
// program at run time, lower-cased as the assembler lower-cases it) with an
// optional "+N".
std::string read_location(std::string_view word, Location& where) {
    where.text = word;
    if (word.front() >= '0' && word.front() <= '9') {
        if (!read_number(word, MEMORY_SIZE - 1, &where.offset))
            return "not an address below " + std::to_string(MEMORY_SIZE) + ": " + quoted(word);
        return "";
    }
    std::size_t plus = word.rfind('+');
    if (plus != std::string_view::npos && plus > 0) {
        if (!read_number(word.substr(plus + 1), MEMORY_SIZE - 1, &where.offset))
            return "not an offset: " + quoted(word);
        word = word.substr(0, plus);
    }
    if (!is_label_name(word)) return "not an address or a label: " + quoted(where.text);
    for (char c : word) where.label += to_lower(c);
    return "";
}

// "random N LOW..HIGH" after set's '='.
std::string read_random(const std::vector<std::string_view>& words, MemoryBytes& bytes) {
    long long count = 0, low = 0, high = 0;
    std::size_t dots = words.size() == 3 ? words[2].find("..") : std::string_view::npos;
    if (dots == std::string_view::npos || !read_number(words[1], MEMORY_SIZE, &count) ||
        count == 0 || !read_number(words[2].substr(0, dots), 255, &low) ||
        !read_number(words[2].substr(dots + 2), 255, &high) || low > high)
        return "expected random N LOW..HIGH (bytes, LOW <= HIGH)";
    bytes.values.assign(static_cast<std::size_t>(count), 0);
    bytes.random = RandomBytes{static_cast<std::uint8_t>(low), static_cast<std::uint8_t>(high)};
    return "";
}

// "LOCATION = V..." after mem or set, "LOCATION = random ..." after set,
// "LOCATION same N" after mem. A plain address is known now, so bytes that
// would run past the end of memory are refused here.
std::string read_memory_bytes(std::string_view text, MemoryBytes& bytes, bool is_set) {
    std::vector<std::string_view> words = words_of(text);
    if (!is_set && words.size() == 3 && words[1] == "same") {
        long long count = 0;
        std::string error = read_location(words[0], bytes.where);
        if (error.empty() && (!read_number(words[2], MEMORY_SIZE, &count) || count == 0))
            error = "expected LOCATION same N";
        bytes.values.assign(static_cast<std::size_t>(count), 0);
        bytes.same = true;
        if (error.empty() && bytes.where.label.empty() && bytes.where.offset + count > MEMORY_SIZE)
            error = bytes.where.text + " reaches past the end of memory";
        return error;
    }
    std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return "expected LOCATION = VALUE...";
    std::vector<std::string_view> where = words_of(text.substr(0, equals));
    if (where.size() != 1) return "expected one LOCATION before '='";
    std::string error = read_location(where[0], bytes.where);
    std::vector<std::string_view> values = words_of(text.substr(equals + 1));
    if (error.empty() && is_set && !values.empty() && values[0] == "random") {
        error = read_random(values, bytes);
    } else if (error.empty()) {
        error = read_bytes(text.substr(equals + 1), bytes.values);
    }
    if (error.empty() && bytes.values.empty()) error = "no values after '='";
    if (error.empty() && bytes.where.label.empty() &&
        bytes.where.offset + static_cast<long long>(bytes.values.size()) > MEMORY_SIZE) {
        error = bytes.where.text + " reaches past the end of memory";
    }
    return error;
}

// The instructions whose address overload names them.
constexpr std::array<Opcode, 8> ADDRESS_CHECKED = {OP_LDD, OP_LDDW, OP_STD,  OP_STDW,
                                                   OP_LDA, OP_STA,  OP_LDAW, OP_STAW};

// Whether some stop of a run has this text or whole message.
bool is_stop_text(std::string_view text) {
    for (int kind = 0; kind <= static_cast<int>(StopKind::PC_OVERLOAD); ++kind) {
        Stop stop{static_cast<StopKind>(kind), 0, 0, {}};
        std::size_t variants = stop.kind == StopKind::ADDRESS_OVERLOAD ? ADDRESS_CHECKED.size() : 1;
        for (std::size_t v = 0; v < variants; ++v) {
            if (stop.kind == StopKind::ADDRESS_OVERLOAD) stop.ir = ADDRESS_CHECKED[v];
            if (text == stop_text(stop) || text == stop_full_text(stop)) return true;
        }
    }
    return false;
}

// The largest count an expectation names: 18 digits, far past 2^32.
constexpr long long MAX_COUNT = 999'999'999'999'999'999LL;

// "N" or "<= N" after instructions or clocks.
std::string read_count(std::string_view text, CountKind kind, TestCase& c) {
    std::vector<std::string_view> words = words_of(text);
    CountCheck check{kind, false, 0, false};
    long long value = 0;
    if (!words.empty() && words[0].substr(0, 2) == "<=") {
        check.at_most = true;
        words[0].remove_prefix(2);
        if (words[0].empty()) words.erase(words.begin());
    }
    if (check.at_most && !words.empty() && words[0] == "reference") {
        // "<= reference * K", or "<= reference" for K = 1.
        check.times_reference = true;
        check.value = 1;
        if (words.size() == 1) {
            c.counts.push_back(check);
            return "";
        }
        if (words.size() != 3 || words[1] != "*" || !read_number(words[2], 1'000'000, &value) ||
            value == 0)
            return "expected <= reference * N";
        check.value = static_cast<std::uint64_t>(value);
        c.counts.push_back(check);
        return "";
    }
    if (words.size() != 1 || !read_number(words[0], MAX_COUNT, &value))
        return "expected N, <= N or <= reference * N";
    check.value = static_cast<std::uint64_t>(value);
    c.counts.push_back(check);
    return "";
}

std::string read_single(std::string_view text, long long min, long long max, long long* value) {
    std::vector<std::string_view> words = words_of(text);
    if (words.size() != 1 || !read_number(words[0], max, value) || *value < min)
        return "expected one number from " + std::to_string(min) + " to " + std::to_string(max);
    return "";
}

// "N", "N.D" or "N.DD" up to 1,000,000, in hundredths.
std::string read_points(std::string_view text, long long* hundredths) {
    std::vector<std::string_view> words = words_of(text);
    std::string_view word = words.size() == 1 ? words[0] : std::string_view();
    std::size_t dot = word.find('.');
    std::string_view whole = word.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? "" : word.substr(dot + 1);
    long long units = 0, part = 0;
    bool ok = read_number(whole, 1'000'000, &units) &&
              (dot == std::string_view::npos ||
               (!fraction.empty() && fraction.size() <= 2 && read_number(fraction, 99, &part)));
    if (fraction.size() == 1) part *= 10;
    *hundredths = units * 100 + part;
    if (!ok || *hundredths > 100'000'000)
        return "expected a number from 0 to 1000000 with at most two decimals";
    return "";
}

// Splits a line into its first word and the trimmed rest.
std::string_view split_key(std::string_view text, std::string_view* rest) {
    std::size_t end = 0;
    while (end < text.size() && !is_blank(text[end])) ++end;
    *rest = trim(text.substr(end));
    return text.substr(0, end);
}

// Calls f(line_number, line) for every line, line ends removed.
template <class F>
void for_each_line(std::string_view text, F f) {
    int number = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        f(++number, line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
}

// Whether bytes and one of the expectations before it name a byte in common,
// one of them with "same" and the other with "=".
bool same_against_given(const std::vector<MemoryBytes>& before, const MemoryBytes& bytes) {
    auto end = [](const MemoryBytes& m) {
        return m.where.offset + static_cast<long long>(m.values.size());
    };
    return std::any_of(before.begin(), before.end(), [&](const MemoryBytes& m) {
        return m.same != bytes.same && m.where.label == bytes.where.label &&
               m.where.offset < end(bytes) && bytes.where.offset < end(m);
    });
}

constexpr std::array<Visibility, 4> VISIBILITIES = {Visibility::VISIBLE, Visibility::HIDDEN,
                                                    Visibility::AFTER_DUE_DATE,
                                                    Visibility::AFTER_PUBLISHED};

}  // namespace

bool TestCase::needs_reference() const {
    return out_same ||
           std::any_of(mem.begin(), mem.end(), [](const MemoryBytes& m) { return m.same; }) ||
           std::any_of(counts.begin(), counts.end(),
                       [](const CountCheck& k) { return k.times_reference; });
}

const char* visibility_name(Visibility visibility) {
    switch (visibility) {
        case Visibility::HIDDEN: return "hidden";
        case Visibility::AFTER_DUE_DATE: return "after_due_date";
        case Visibility::AFTER_PUBLISHED: return "after_published";
        case Visibility::VISIBLE: break;
    }
    return "visible";
}

std::string add_expectation(TestCase& c, std::string_view text) {
    text = trim(text);
    std::string_view rest;
    std::string_view key = split_key(text, &rest);
    std::string error;
    long long value = 0;
    if (key == "message") {
        // Feedback, not an expectation: it is not listed with them.
        if (rest.empty()) return "message: expected the text to show";
        c.message = rest;
        return "";
    }
    if (key == "out" && rest == "same") {
        c.out_same = true;
        if (c.out) error = "'out same' and 'out V...' in one case: one of them would be ignored";
    } else if (key == "out") {
        if (!c.out) c.out.emplace();
        error = read_bytes(rest, *c.out);
        if (error.empty() && c.out_same)
            error = "'out same' and 'out V...' in one case: one of them would be ignored";
    } else if (key == "instructions") {
        error = read_count(rest, CountKind::INSTRUCTIONS, c);
    } else if (key == "clocks") {
        error = read_count(rest, CountKind::CLOCKS, c);
    } else if (key == "status") {
        error = read_single(rest, 0, 255, &value);
        if (error.empty() && value != 0 && value != 255) error = "status is 0 or 255";
        if (error.empty()) c.status = static_cast<int>(value);
    } else if (key == "stop") {
        if (rest.empty()) {
            error = "expected the stop's message";
        } else if (!is_stop_text(rest)) {
            error = "no stop has the message " + quoted(rest);
        } else {
            c.stop = rest;
        }
    } else if (key == "mem" || key == "set") {
        MemoryBytes bytes;
        error = read_memory_bytes(rest, bytes, key == "set");
        bytes.text = text;
        if (error.empty() && key == "mem" && same_against_given(c.mem, bytes))
            error = "'same' and '=' for the same bytes in one case: one of them would be ignored";
        if (error.empty()) (key == "mem" ? c.mem : c.presets).push_back(bytes);
    } else if (key == "no" || (key == "stack" && rest == "empty")) {
        // "no findings [KIND...]", "stack empty"
        bool findings = key == "no" && (rest == "findings" || rest.rfind("findings ", 0) == 0);
        bool empty = key == "stack" && rest == "empty";
        if (findings) {
            std::istringstream kinds(std::string(rest.substr(std::string_view("findings").size())));
            for (std::string name; kinds >> name;) {
                const FindingKindRow* row = nullptr;
                for (const FindingKindRow& r : FINDING_KINDS)
                    if (name == r.name) row = &r;
                if (name == "all") {
                    c.finding_kinds = ALL_FINDING_KINDS;
                } else if (row != nullptr) {
                    c.finding_kinds |= kind_bit(row->kind);
                } else {
                    error = "no kind of finding is named " + quoted(name);
                }
            }
        }
        if (!findings && !empty)
            error = key == "no" ? "expected 'no findings'" : "expected 'stack empty'";
        if (findings) c.no_findings = true;
        if (empty) c.stack_empty = true;
    } else if (key == "sp") {
        error = read_single(rest, 0, MEMORY_SIZE - 1, &value);
        if (error.empty()) c.sp = static_cast<std::uint16_t>(value);
    } else if (key == "points") {
        error = read_points(rest, &value);
        if (error.empty()) c.points = value;
    } else if (key == "show") {
        if (rest != "expected no" && rest != "expected yes") error = "expected 'show expected no'";
        c.show_expected = rest == "expected yes";
    } else if (key == "partial") {
        if (!rest.empty()) error = "expected 'partial' alone";
        c.partial = true;
    } else if (key == "limit") {
        error = read_single(rest, 1, 999'999'999'999LL, &value);
        if (error.empty()) c.limit = static_cast<std::uint64_t>(value);
    } else if (key == "repeat") {
        error = read_single(rest, 1, 100'000, &value);
        if (error.empty()) c.repeat = value;
    } else if (key == "call") {
        Location where;
        error =
            rest.empty() || rest.front() < 'A' ? "expected a label" : read_location(rest, where);
        if (error.empty() && c.call) error = "one call per case";
        if (error.empty()) c.call = where;
    } else if (key == "stack") {
        std::optional<std::vector<std::uint8_t>>& stack = c.call ? c.stack_after : c.stack_before;
        stack.emplace();
        if (!read_bytes(rest, *stack).empty())
            error = "expected 'stack empty' or stack V...";
        else if (!c.call && stack->size() > CALL_STACK_PRESET_MAX)
            error = "more than " + std::to_string(CALL_STACK_PRESET_MAX) +
                    " bytes do not fit below the call's return address";
    } else if (key == "visibility") {
        auto named = std::find_if(VISIBILITIES.begin(), VISIBILITIES.end(),
                                  [&](Visibility v) { return rest == visibility_name(v); });
        if (named == VISIBILITIES.end()) {
            error = "expected visible, hidden, after_due_date or after_published";
        } else {
            c.visibility = *named;
        }
    } else {
        error = "unknown expectation " + quoted(key);
    }
    if (error.empty()) {
        c.lines.emplace_back(text);
    } else {
        error = std::string(key) + ": " + error;
    }
    return error;
}

std::string points_text(long long hundredths) {
    std::string text = std::to_string(hundredths / 100);
    long long part = hundredths % 100;
    if (part != 0) {
        text += '.';
        text += static_cast<char>('0' + part / 10);
        if (part % 10 != 0) text += static_cast<char>('0' + part % 10);
    }
    return text;
}

std::vector<std::string> message_lines(const std::string& message) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at <= message.size()) {
        std::size_t end = std::min(message.find('\n', at), message.size());
        std::size_t start = message.find_first_not_of(' ', at);
        if (start < end) lines.push_back(message.substr(start, end - start));
        at = end + 1;
    }
    return lines;
}

std::string join_lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : " ") + line;
    return text;
}

std::string stop_text(const Stop& stop) {
    std::vector<std::string> lines = message_lines(stop_message(stop));
    return lines.empty() ? "" : lines.back();
}

std::string stop_full_text(const Stop& stop) {
    return join_lines(message_lines(stop_message(stop)));
}

TestCase source_case(std::string_view source, const std::string& name) {
    TestCase c;
    c.name = name;
    SourceLines lines = split_source_lines(source);
    for (int number = 1; number <= static_cast<int>(lines.starts.size()); ++number) {
        std::string_view text = source_line_text(lines, number);
        // A CR alone (an old editor's line end) ends no line for the
        // assembler, but the student sees one there: each piece is looked at.
        for (std::size_t at = 0; at <= text.size();) {
            std::size_t end = std::min(text.find('\r', at), text.size());
            std::string_view line = text.substr(at, end - at);
            at = end + 1;
            if (line.empty() || line[0] != ';') continue;
            std::string_view rest = trim(line.substr(1));
            if (rest.substr(0, 7) != "expect:") continue;
            std::string error = add_expectation(c, rest.substr(7));
            if (!error.empty())
                c.problems.push_back("line " + std::to_string(number) + ": " + error);
        }
    }
    if (c.lines.empty() && c.problems.empty())
        c.problems.emplace_back("nothing to check: no '; expect:' line and no --cases");
    return c;
}

std::vector<TestCase> read_cases(std::string_view text, std::string& error) {
    std::vector<TestCase> cases;
    std::vector<int> first_lines;  // where each case began
    constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";
    if (text.substr(0, BYTE_ORDER_MARK.size()) == BYTE_ORDER_MARK)
        text.remove_prefix(BYTE_ORDER_MARK.size());
    for_each_line(text, [&](int number, std::string_view line) {
        line = trim(line);
        if (!error.empty() || line.empty() || line[0] == '#' || line[0] == ';') return;
        std::string_view rest;
        std::string problem;
        if (split_key(line, &rest) == "case") {
            auto same = std::find_if(cases.begin(), cases.end(),
                                     [&](const TestCase& c) { return c.name == rest; });
            if (rest.empty()) {
                problem = "case: expected a name";
            } else if (same != cases.end()) {
                problem =
                    "case: " + quoted(rest) + " again (first on line " +
                    std::to_string(first_lines[static_cast<std::size_t>(same - cases.begin())]) +
                    ")";
            }
            cases.emplace_back().name = rest;
            first_lines.push_back(number);
        } else if (cases.empty()) {
            problem = "expected 'case NAME' first";
        } else {
            problem = add_expectation(cases.back(), line);
        }
        if (!problem.empty()) error = "line " + std::to_string(number) + ": " + problem;
    });
    if (error.empty() && cases.empty()) error = "no case in the file";
    return cases;
}
