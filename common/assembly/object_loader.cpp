#include "object_loader.hpp"

#include <cstdio>
#include <cstdlib>

#include "opcode_table.hpp"

namespace {

bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

struct Reader {
    std::string_view text;
    std::size_t at = 0;
    std::string error;
};

// Next token's value, converted as strtoll converts (saturating at the
// limits; no leading digits gives 0). False at the end of the text or when
// the token is too long (then error is set).
bool read_value(Reader& r, long long* value) {
    while (r.at < r.text.size() && is_blank(r.text[r.at])) ++r.at;
    if (r.at == r.text.size()) return false;
    char token[OBJECT_TOKEN_MAX + 1];
    int length = 0;
    for (; r.at < r.text.size() && !is_blank(r.text[r.at]); ++r.at) {
        if (length == OBJECT_TOKEN_MAX) {
            token[length] = '\0';
            r.error = "\nERROR\nObject code token too long : " + std::string(token) + "...\n";
            return false;
        }
        token[length++] = r.text[r.at];
    }
    token[length] = '\0';
    *value = std::strtoll(token, nullptr, 10);
    return true;
}

// Bytes a record fills: its opcode's length, where an empty slot (length 0)
// takes a two-byte operand like a length-3 instruction.
int record_span(int op) {
    if (op == DATA_RECORD_MARKER) return 1;
    int n = opcode_length(op);
    return n == 0 ? 3 : n;
}

}  // namespace

std::string load_object_text(std::string_view text, MemoryImage& image,
                             std::bitset<MEMORY_SIZE>& written) {
    Reader r{text, 0, {}};
    long long address = 0;
    long long op_value = 0;
    long long operand = 0;
    auto store = [&](long long at, long long value) {
        image[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(value);
        written.set(static_cast<std::size_t>(at));
    };
    while (read_value(r, &address) && read_value(r, &op_value)) {
        int op = static_cast<std::uint8_t>(op_value);
        int span = record_span(op);
        if (address < 0 || address > MAX_MEMORY - span)
            return "\nERROR\nObject code address out of range : " + std::to_string(address) + "\n";
        if (op != DATA_RECORD_MARKER) store(address, op);
        if (span == 1 && op != DATA_RECORD_MARKER) continue;
        if (!read_value(r, &operand)) break;
        if (op == DATA_RECORD_MARKER) {
            store(address, operand);
        } else {
            store(address + 1, operand);
            if (span == 3) store(address + 2, operand >> 8);
        }
    }
    return r.error;
}
