#include "listing.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

bool write_machine_listing(std::FILE* out, const char* source_name, const Assembly& a) {
    LineInput source;
    source.file = std::fopen(source_name, "r");
    char line[SOURCE_LINE_CAPACITY];
    for (std::size_t i = 0; i < a.line_starts.size(); ++i) {
        // The source is read as pass 1 read it, so its lines are pass 2's.
        if (source.file == nullptr || !read_line(source, line, SOURCE_LINE_CAPACITY))
            line[0] = '\0';
        line[std::strcspn(line, "\r\n")] = '\0';
        std::size_t first = a.line_starts[i].first_byte;
        std::size_t end =
            i + 1 < a.line_starts.size() ? a.line_starts[i + 1].first_byte : a.line_bytes.size();
        char bytes[3 * 8 + 1] = "";
        std::string all;
        for (std::size_t b = first; b < end; ++b) {
            std::snprintf(bytes, sizeof bytes, b == first ? "%02X" : " %02X", a.line_bytes[b]);
            all += bytes;
        }
        std::fprintf(out, "%04X  %-8s  %s\n", a.line_starts[i].address, all.c_str(), line);
    }
    if (source.file != nullptr) std::fclose(source.file);

    std::vector<Symbol> symbols(a.SymbolTable, a.SymbolTable + a.symbol_count);
    std::stable_sort(symbols.begin(), symbols.end(),
                     [](const Symbol& x, const Symbol& y) { return x.value < y.value; });
    std::fprintf(out, "\nSymbols by address\n");
    for (const Symbol& s : symbols) std::fprintf(out, "%04X  %s\n", s.value, s.name);
    return std::ferror(out) == 0;
}
