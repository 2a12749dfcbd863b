#include "memory_map.hpp"

#include <cstdio>
#include <cstring>

#include "console.hpp"
#include "machine/machine.hpp"
#include "output_file.hpp"
#include "terminal_text.hpp"

// Lines are formatted by hand: this runs twice in every run.
bool dump_memory_map(const Machine& m, const char* file_name) {
    std::string text(static_cast<std::size_t>(MAX_MEMORY) * 17, '\0');
    char* p = text.data();
    for (int address = 0; address < MAX_MEMORY; ++address) {
        std::memcpy(p, "MEM[", 4);  // NOLINT(bugprone-not-null-terminated-result)
        for (int i = 8, a = address; i >= 4; --i, a /= 10) p[i] = static_cast<char>('0' + a % 10);
        std::memcpy(p + 9, "] = ", 4);  // NOLINT(bugprone-not-null-terminated-result)
        p += 13;
        unsigned value = m.memory[address];
        if (value >= 100) *p++ = static_cast<char>('0' + value / 100);
        if (value >= 10) *p++ = static_cast<char>('0' + value / 10 % 10);
        *p++ = static_cast<char>('0' + value % 10);
        *p++ = '\n';
    }
    text.resize(static_cast<std::size_t>(p - text.data()));
    bool replaced_link = false;
    int error = write_own_output_file(file_name, text, replaced_link);
    // Standard output stays as it is; the replaced link is told once.
    if (replaced_link)
        std::fprintf(stderr, "simulator: '%s' was a link: replaced by the memory map file\n",
                     terminal_safe(file_name).c_str());
    if (error == 0) return true;
    // A write that failed (a full disk) is reported like a file not created.
    console_printf("\nERROR\n can not create %s\n", file_name);
    return report_write_failure("the memory map file", file_name, error);
}
