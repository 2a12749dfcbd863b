#include "memory_map.hpp"

#include <cstdio>
#include <cstring>

#include "console.hpp"
#include "machine/machine.hpp"

// Lines are formatted by hand into blocks: this runs twice in every run.
void dump_memory_map(const Machine& m, const char* file_name) {
    std::FILE* file = std::fopen(file_name, "w");
    if (file == nullptr) {
        console_printf("\nERROR\n can not create %s\n", file_name);
        return;
    }
    char block[1024 * 17];
    std::size_t used = 0;
    for (int address = 0; address < MAX_MEMORY; ++address) {
        char* p = block + used;
        std::memcpy(p, "MEM[", 4);
        for (int i = 8, a = address; i >= 4; --i, a /= 10) p[i] = static_cast<char>('0' + a % 10);
        std::memcpy(p + 9, "] = ", 4);  // NOLINT(bugprone-not-null-terminated-result)
        p += 13;
        unsigned value = m.memory[address];
        if (value >= 100) *p++ = static_cast<char>('0' + value / 100);
        if (value >= 10) *p++ = static_cast<char>('0' + value / 10 % 10);
        *p++ = static_cast<char>('0' + value % 10);
        *p++ = '\n';
        used = static_cast<std::size_t>(p - block);
        if (used > sizeof block - 17) {
            std::fwrite(block, 1, used, file);
            used = 0;
        }
    }
    std::fwrite(block, 1, used, file);
    // A write that failed (a full disk) is reported like a file not created.
    bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed)
        console_printf("\nERROR\n can not create %s\n", file_name);
}
