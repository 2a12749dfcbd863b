#include "scanner.hpp"

#include "stop.hpp"

namespace {

// Length of the run of letters and digits starting at the cursor.
int name_length(const SourceCursor& s) {
    int length = 0;
    while (true) {
        unsigned char c = static_cast<unsigned char>(s.line_buffer[s.cursor + length]);
        if (!is_letter(c) && !is_digit(c)) return length;
        ++length;
    }
}

int digit_run_length(const SourceCursor& s) {
    int length = 0;
    while (is_digit(static_cast<unsigned char>(s.line_buffer[s.cursor + length]))) ++length;
    return length;
}

// Copies length characters at the cursor into the terminated text, lower-cased
// when asked, and moves the cursor behind them.
void take_text(SourceCursor& s, char* text, int length, bool lower) {
    for (int i = 0; i < length; ++i) {
        char c = s.line_buffer[s.cursor + i];
        text[i] = lower ? to_lower(c) : c;
    }
    text[length] = '\0';
    s.cursor += length;
}

bool ends_line(unsigned char c) { return c == '\0' || c == '\r' || c == '\n'; }

Token token(const SourceCursor& s, TokenKind kind, int length) {
    return {kind, std::string_view(s.token_buffer, static_cast<std::size_t>(length)),
            current_line(s)};
}

// The line end, with the comment from its ';' up to it, if there is one. The
// cursor stays on the line end.
Token end_of_line(SourceCursor& s) {
    int start = s.cursor;
    while (!ends_line(char_at_cursor(s))) ++s.cursor;
    Token t{TOKEN_END_OF_LINE,
            std::string_view(s.line_buffer + start, static_cast<std::size_t>(s.cursor - start)),
            current_line(s)};
    ++s.line_number;
    return t;
}

Token label_definition(SourceCursor& s) {
    ++s.cursor;  // the '['
    if (!is_letter(char_at_cursor(s))) return token(s, TOKEN_BAD_LABEL, 0);
    int length = name_length(s);
    if (length > SYMBOL_NAME_CAPACITY - 1)
        stop_assembly(current_line(s), "\nERROR\nLine %d : label name too long\n", current_line(s));
    take_text(s, s.token_buffer, length, true);
    return token(s, TOKEN_LABEL, length);
}

Token run_of(SourceCursor& s, TokenKind kind, int length) {
    if (length > TOKEN_CAPACITY - 1)
        stop_assembly(current_line(s), "\nERROR\nLine %d : token too long\n", current_line(s));
    take_text(s, s.token_buffer, length, kind == TOKEN_NAME);
    return token(s, kind, length);
}

}  // namespace

void skip_blanks(SourceCursor& s) {
    while (s.line_buffer[s.cursor] == ' ') ++s.cursor;
}

bool read_operand_digits(SourceCursor& s, char digits[OPERAND_CAPACITY]) {
    skip_blanks(s);
    if (!is_digit(char_at_cursor(s))) return false;
    int length = digit_run_length(s);
    if (length > OPERAND_CAPACITY - 1)
        stop_assembly(current_line(s), "\nERROR\nLine %d : operand too long\n", current_line(s));
    take_text(s, digits, length, false);
    return true;
}

void read_operand_name(SourceCursor& s, char name[OPERAND_CAPACITY]) {
    int length = name_length(s);
    if (length > OPERAND_CAPACITY - 1)
        stop_assembly(current_line(s), "\nERROR\nLine %d : operand too long\n", current_line(s));
    take_text(s, name, length, false);
}

Token next_token(SourceCursor& s) {
    // Only the character under the cursor is normalised; the line's NUL never is.
    unsigned char c = char_at_cursor(s);
    if ((c >= 1 && c <= 31) || c >= 128) s.line_buffer[s.cursor] = ' ';
    skip_blanks(s);

    c = char_at_cursor(s);
    if (ends_line(c) || c == ';') return end_of_line(s);
    if (c == '[') return label_definition(s);
    if (is_letter(c)) return run_of(s, TOKEN_NAME, name_length(s));
    if (is_digit(c)) return run_of(s, TOKEN_NUMBER, digit_run_length(s));

    s.token_buffer[0] = to_lower(static_cast<char>(c));
    s.token_buffer[1] = '\0';
    ++s.cursor;
    return token(s, TOKEN_INVALID, 1);
}
