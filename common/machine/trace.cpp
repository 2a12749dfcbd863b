#include "machine/trace.hpp"

namespace {

constexpr char HEX[] = "0123456789ABCDEF";

char* put_decimal(char* p, std::uint64_t value) {
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) *p++ = digits[--n];
    return p;
}

char* put_hex(char* p, unsigned value, int digits) {
    for (int i = digits - 1; i >= 0; --i) *p++ = HEX[(value >> (4 * i)) & 0xF];
    return p;
}

char* put_text(char* p, const char* text) {
    while (*text != '\0') *p++ = *text++;
    return p;
}

}  // namespace

std::size_t format_trace_line(char* out, const TraceStart& start, const Registers& after,
                              const std::uint8_t* memory) {
    char* p = put_decimal(out, after.instruction_count);
    *p++ = ' ';
    p = put_hex(p, start.pc, 4);
    *p++ = ' ';
    const OpcodeEntry& entry = OpcodeTable[start.opcode];
    p = put_text(p, entry.mnemonic);
    if (entry.length > 1) {
        *p++ = ' ';
        p = put_decimal(p, start.operand);
    }
    p = put_text(p, " | SP=");
    p = put_hex(p, after.SP, 4);
    p = put_text(p, " Z=");
    *p++ = static_cast<char>('0' + after.Z);
    p = put_text(p, " S=");
    *p++ = static_cast<char>('0' + after.S);
    p = put_text(p, " O=");
    *p++ = static_cast<char>('0' + after.O);
    p = put_text(p, " C=");
    *p++ = static_cast<char>('0' + after.C);
    p = put_text(p, " |");
    if (after.SP != 0) {
        unsigned a = after.SP + 1u;
        for (int k = 0; k < TRACE_STACK_BYTES && a <= STACK_TOP; ++k, ++a) {
            *p++ = ' ';
            p = put_hex(p, memory[a], 2);
        }
    }
    *p = '\0';
    return static_cast<std::size_t>(p - out);
}
