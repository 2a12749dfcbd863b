#include "listing.hpp"

#include "machine_listing.hpp"

bool write_machine_listing(std::FILE* out, std::string& source_text, const Assembly& a) {
    LineInput source;
    // The source as read once for pass 1: a FIFO is not read twice.
    source.file = fmemopen(source_text.data(), source_text.size(), "r");
    // An unreadable source reads as empty: the lines' bytes still list.
    std::string text = machine_listing(source, a);
    if (source.file != nullptr) std::fclose(source.file);
    std::fwrite(text.data(), 1, text.size(), out);
    return std::ferror(out) == 0;
}
