// The tokenizer shared by both passes: splits the line in line_buffer into
// tokens, records label definitions, echoes comments and hands every
// identifier to the current pass's directive and mnemonic handlers, which
// read their operands at the same cursor.
#pragma once

// A source line is read the way fgets reads it into 256 bytes: at most 255
// characters, the line feed included.
constexpr int SOURCE_LINE_CAPACITY = 256;
// A pass-1 line is at most twice as long as the source piece it came from:
// every token copied gains at most one blank behind it ("12ab" becomes
// "12 ab "), and a directive's operand at most one after it. 255 source
// characters give at most 510, then the line feed and the NUL.
constexpr int LINE_BUFFER_CAPACITY = 2 * (SOURCE_LINE_CAPACITY - 1) + 2;
constexpr int TOKEN_CAPACITY = 80;    // 79 characters and the NUL
constexpr int OPERAND_CAPACITY = 20;  // 19 characters and the NUL

enum TokenKind {
    TOKEN_NAME = 1,
    TOKEN_MNEMONIC = 2,
    TOKEN_DIRECTIVE = 3,
    TOKEN_NUMBER = 5,
    TOKEN_INVALID = 6,
    TOKEN_END_OF_LINE = 9,
};

extern char line_buffer[LINE_BUFFER_CAPACITY];
extern int cursor;  // index into line_buffer
extern char token_buffer[TOKEN_CAPACITY];
extern int label_flag;   // 1 when the last token was a label definition
extern int line_number;  // end-of-line tokens returned so far in this pass

// Plain ASCII classes: bytes of 128 and above are neither letters nor digits.
inline bool is_letter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
inline char to_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline unsigned char char_at_cursor() { return static_cast<unsigned char>(line_buffer[cursor]); }

// Moves the cursor over blanks (character 32 only).
void skip_blanks();

// Skips blanks; when a digit follows, copies the run of digits into digits
// and moves the cursor behind it. Returns false when no digit follows. A run
// of more than 19 digits is an error exit.
bool read_operand_digits(char digits[OPERAND_CAPACITY]);

// Copies a name (a letter, then letters and digits, taken as they stand) at
// the cursor into name and moves the cursor behind it. A name of more than
// 19 characters is an error exit.
void read_operand_name(char name[OPERAND_CAPACITY]);

// Reads the next token from line_buffer at the cursor into token_buffer.
TokenKind next_token();
