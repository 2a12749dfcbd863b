#include "tokenizer.hpp"

#include "console.hpp"
#include "driver.hpp"
#include "pass1.hpp"
#include "pass2.hpp"

char line_buffer[LINE_BUFFER_CAPACITY];
int cursor = 0;
char token_buffer[TOKEN_CAPACITY];
int label_flag = 0;
int line_number = 0;

namespace {

// Length of the run of letters and digits starting at the cursor.
int name_length() {
    int length = 0;
    while (true) {
        unsigned char c = static_cast<unsigned char>(line_buffer[cursor + length]);
        if (!is_letter(c) && !is_digit(c)) return length;
        ++length;
    }
}

int digit_run_length() {
    int length = 0;
    while (is_digit(static_cast<unsigned char>(line_buffer[cursor + length]))) ++length;
    return length;
}

// Copies length characters at the cursor into the terminated text, lower-cased
// when asked, and moves the cursor behind them.
void take_text(char* text, int length, bool lower) {
    for (int i = 0; i < length; ++i) {
        char c = line_buffer[cursor + i];
        text[i] = lower ? to_lower(c) : c;
    }
    text[length] = '\0';
    cursor += length;
}

bool ends_line(unsigned char c) { return c == '\0' || c == '\r' || c == '\n'; }

TokenKind end_of_line() {
    ++line_number;
    return TOKEN_END_OF_LINE;
}

// Prints the comment from its ';' to the line end, each character followed by
// a blank, and leaves the cursor on the line end.
TokenKind echo_comment() {
    while (!ends_line(char_at_cursor())) {
        console_put(line_buffer[cursor]);
        console_put(' ');
        ++cursor;
    }
    return end_of_line();
}

TokenKind label_definition() {
    ++cursor;  // the '['
    label_flag = 1;
    if (!is_letter(char_at_cursor())) return TOKEN_INVALID;
    int length = name_length();
    if (length > SYMBOL_NAME_CAPACITY - 1)
        error_exit("\nERROR\nLine %d : label name too long\n", line_number + 1);
    take_text(token_buffer, length, true);
    define_label(token_buffer);
    return TOKEN_NAME;
}

TokenKind identifier() {
    int length = name_length();
    if (length > TOKEN_CAPACITY - 1)
        error_exit("\nERROR\nLine %d : token too long\n", line_number + 1);
    take_text(token_buffer, length, true);
    if (current_pass == 1) {
        if (pass1_directive(token_buffer)) return TOKEN_DIRECTIVE;
        if (pass1_mnemonic(token_buffer)) return TOKEN_MNEMONIC;
    } else {
        if (pass2_directive(token_buffer)) return TOKEN_DIRECTIVE;
        if (pass2_mnemonic(token_buffer)) return TOKEN_MNEMONIC;
    }
    return TOKEN_NAME;
}

TokenKind number() {
    int length = digit_run_length();
    if (length > TOKEN_CAPACITY - 1)
        error_exit("\nERROR\nLine %d : token too long\n", line_number + 1);
    take_text(token_buffer, length, false);
    return TOKEN_NUMBER;
}

}  // namespace

void skip_blanks() {
    while (line_buffer[cursor] == ' ') ++cursor;
}

bool read_operand_digits(char digits[OPERAND_CAPACITY]) {
    skip_blanks();
    if (!is_digit(char_at_cursor())) return false;
    int length = digit_run_length();
    if (length > OPERAND_CAPACITY - 1)
        error_exit("\nERROR\nLine %d : operand too long\n", line_number + 1);
    take_text(digits, length, false);
    return true;
}

void read_operand_name(char name[OPERAND_CAPACITY]) {
    int length = name_length();
    if (length > OPERAND_CAPACITY - 1)
        error_exit("\nERROR\nLine %d : operand too long\n", line_number + 1);
    take_text(name, length, false);
}

TokenKind next_token() {
    token_buffer[0] = '\0';
    label_flag = 0;

    // Only the character under the cursor is normalised; the line's NUL never is.
    unsigned char c = char_at_cursor();
    if ((c >= 1 && c <= 31) || c >= 128) line_buffer[cursor] = ' ';
    skip_blanks();

    c = char_at_cursor();
    if (ends_line(c)) return end_of_line();
    if (c == ';') return echo_comment();
    if (c == '[') return label_definition();
    if (is_letter(c)) return identifier();
    if (is_digit(c)) return number();

    token_buffer[0] = to_lower(static_cast<char>(c));
    token_buffer[1] = '\0';
    ++cursor;
    return TOKEN_INVALID;
}
