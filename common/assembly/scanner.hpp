// The scanner shared by both passes: splits the line in the source cursor
// into tokens and hands them out one at a time. It only reads: what a name
// means (directive, mnemonic, stray name) is for the pass to decide, and a
// pass reads a directive's or instruction's operand at the same cursor.
#pragma once

#include <string_view>

// A source line is read the way fgets reads it into 256 bytes: at most 255
// characters, the line feed included.
constexpr int SOURCE_LINE_CAPACITY = 256;
// A pass-1 line is at most twice as long as the source piece it came from:
// every token copied gains at most one blank behind it ("12ab" becomes
// "12 ab "), and a directive's operand at most one after it. 255 source
// characters give at most 510, then the line feed and the NUL.
constexpr int LINE_BUFFER_CAPACITY = 2 * (SOURCE_LINE_CAPACITY - 1) + 2;
constexpr int TOKEN_CAPACITY = 80;        // 79 characters and the NUL
constexpr int OPERAND_CAPACITY = 20;      // 19 characters and the NUL
constexpr int SYMBOL_NAME_CAPACITY = 20;  // a label name: 19 characters and the NUL

enum TokenKind {
    TOKEN_NAME,         // a letter, then letters and digits; lower-cased
    TOKEN_LABEL,        // '[' and a name: a label definition; the name lower-cased
    TOKEN_BAD_LABEL,    // '[' not followed by a letter; empty text
    TOKEN_NUMBER,       // a run of decimal digits, as written
    TOKEN_INVALID,      // any other character, lower-cased
    TOKEN_END_OF_LINE,  // the line end; text is the comment that runs to it, if any
};

struct Token {
    TokenKind kind;
    // The token's text. A name's text is followed by a NUL in the cursor's
    // token buffer; it stays valid until the next token is read.
    std::string_view text;
    int line;  // 1-based number of the line it stands on
};

struct SourceCursor {
    char line_buffer[LINE_BUFFER_CAPACITY];  // the line being read, NUL-terminated
    int cursor = 0;                          // index into line_buffer
    char token_buffer[TOKEN_CAPACITY];
    int line_number = 0;  // end-of-line tokens handed out so far in this pass
};

// Plain ASCII classes: bytes of 128 and above are neither letters nor digits.
inline bool is_letter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
inline char to_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline unsigned char char_at_cursor(const SourceCursor& s) {
    return static_cast<unsigned char>(s.line_buffer[s.cursor]);
}

// The line number a message about the current line shows.
inline int current_line(const SourceCursor& s) { return s.line_number + 1; }

// Puts the cursor at the start of the line now in line_buffer.
inline void start_line(SourceCursor& s) { s.cursor = 0; }

// Moves the cursor over blanks (character 32 only).
void skip_blanks(SourceCursor& s);

// Skips blanks; when a digit follows, copies the run of digits into digits
// and moves the cursor behind it. Returns false when no digit follows. A run
// of more than 19 digits stops the assembly.
bool read_operand_digits(SourceCursor& s, char digits[OPERAND_CAPACITY]);

// Copies a name (a letter, then letters and digits, taken as they stand) at
// the cursor into name and moves the cursor behind it. A name of more than
// 19 characters stops the assembly.
void read_operand_name(SourceCursor& s, char name[OPERAND_CAPACITY]);

// The next token at the cursor. A name, number or label longer than its
// buffer stops the assembly.
Token next_token(SourceCursor& s);
