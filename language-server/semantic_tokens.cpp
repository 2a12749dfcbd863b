// Semantic tokens: the legend and the tokens of a document, counted in the
// client's units and written as JSON text.
#include <charconv>

#include "features.hpp"

namespace {

// Semantic token types, in the legend's order, and the one modifier.
constexpr const char* TOKEN_TYPES[] = {"keyword", "macro", "variable", "number", "comment"};
enum TokenType { TYPE_KEYWORD, TYPE_MACRO, TYPE_VARIABLE, TYPE_NUMBER, TYPE_COMMENT };
constexpr int MODIFIER_DECLARATION = 1;

}  // namespace

Json semantic_tokens_legend() {
    return {{"tokenTypes", TOKEN_TYPES}, {"tokenModifiers", {"declaration"}}};
}

namespace {

// The encoding's units up to a byte column of one line, counted on from the
// previous question on the same line, so that a line's tokens cost one pass
// over it however many there are.
class UnitCursor {
public:
    explicit UnitCursor(const Encoding& encoding) : encoding_(encoding) {}
    int units(std::string_view line, int line_number, int byte_column) {
        if (line_number != line_ || byte_column < byte_) {
            line_ = line_number;
            byte_ = 0;
            units_ = 0;
        }
        byte_column = std::min(byte_column, static_cast<int>(line.size()));
        if (byte_column > byte_) {
            units_ +=
                encoding_.units(line.substr(static_cast<std::size_t>(byte_)), byte_column - byte_);
            byte_ = byte_column;
        }
        return units_;
    }

private:
    const Encoding& encoding_;
    int line_ = -1;
    int byte_ = 0;
    int units_ = 0;
};

}  // namespace

std::string semantic_tokens_text(const SourceModel& model, const Encoding& encoding) {
    // Written as text: a long line has millions of numbers, and a JSON
    // value per number costs seconds and gigabytes.
    std::string text = "{\"data\":[";
    text.reserve(text.size() + model.tokens.size() * 12 + 2);
    int previous_line = 0;
    int previous_start = 0;
    UnitCursor cursor(encoding);
    auto append = [&text](int number) {
        char digits[16];
        auto [end, error] = std::to_chars(digits, digits + sizeof digits, number);
        (void)error;
        text.append(digits, end);
        text += ',';
    };
    for (const SourceToken& t : model.tokens) {
        int type = 0;
        int modifiers = 0;
        switch (t.role) {
            case Role::MNEMONIC: type = TYPE_KEYWORD; break;
            case Role::DIRECTIVE: type = TYPE_MACRO; break;
            case Role::LABEL_DEFINITION:
                type = TYPE_VARIABLE;
                modifiers = MODIFIER_DECLARATION;
                break;
            case Role::LABEL_USE: type = TYPE_VARIABLE; break;
            case Role::NUMBER: type = TYPE_NUMBER; break;
            case Role::COMMENT: type = TYPE_COMMENT; break;
            case Role::STRAY_NAME:
            case Role::INVALID: continue;
        }
        std::string_view line = model.source.line(t.line);
        int start = cursor.units(line, t.line, t.column);
        int length = cursor.units(line, t.line, t.column + t.length) - start;
        if (length <= 0) continue;
        append(t.line - previous_line);
        append(t.line == previous_line ? start - previous_start : start);
        append(length);
        append(type);
        append(modifiers);
        previous_line = t.line;
        previous_start = start;
    }
    if (text.back() == ',') text.pop_back();
    text += "]}";
    return text;
}
