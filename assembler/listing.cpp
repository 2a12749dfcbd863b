#include "listing.hpp"

#include "machine_listing.hpp"

bool write_machine_listing(std::FILE* out, const char* source_name, const Assembly& a) {
    LineInput source;
    source.file = std::fopen(source_name, "r");
    // An unreadable source reads as empty: the lines' bytes still list.
    std::string text = machine_listing(source, a);
    if (source.file != nullptr) std::fclose(source.file);
    std::fwrite(text.data(), 1, text.size(), out);
    return std::ferror(out) == 0;
}
