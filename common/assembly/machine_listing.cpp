#include "machine_listing.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "scanner.hpp"

std::string machine_listing(LineInput& source, const Assembly& a) {
    std::string out;
    char line[SOURCE_LINE_CAPACITY];
    char text[SOURCE_LINE_CAPACITY + 64];
    for (std::size_t i = 0; i < a.line_starts.size(); ++i) {
        // The source is read as pass 1 read it, so its lines are pass 2's.
        if (!read_line(source, line, SOURCE_LINE_CAPACITY)) line[0] = '\0';
        line[std::strcspn(line, "\r\n")] = '\0';
        std::size_t first = a.line_starts[i].first_byte;
        std::size_t end =
            i + 1 < a.line_starts.size() ? a.line_starts[i + 1].first_byte : a.line_bytes.size();
        std::string all;
        for (std::size_t b = first; b < end; ++b) {
            std::snprintf(text, sizeof text, b == first ? "%02X" : " %02X", a.line_bytes[b]);
            all += text;
        }
        std::snprintf(text, sizeof text, "%04X  ", static_cast<unsigned>(a.line_starts[i].address));
        out += text;
        out += all;
        if (all.size() < 8) out.append(8 - all.size(), ' ');
        out += "  ";
        out += line;
        out += '\n';
    }

    std::vector<Symbol> symbols(a.SymbolTable, a.SymbolTable + a.symbol_count);
    std::stable_sort(symbols.begin(), symbols.end(),
                     [](const Symbol& x, const Symbol& y) { return x.value < y.value; });
    out += "\nSymbols by address\n";
    for (const Symbol& s : symbols) {
        std::snprintf(text, sizeof text, "%04X  %s\n", static_cast<unsigned>(s.value), s.name);
        out += text;
    }
    return out;
}
