#include "machine.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console.hpp"

std::uint8_t memory[MEMORY_SIZE];
Machine machine{};
std::uint8_t ports[256];

void cpu_reset() {
    console_printf("CPU reset ... ");
    std::memset(memory, 0, MEMORY_SIZE);
    std::memset(ports, 0, sizeof ports);
    std::uint8_t ir = machine.IR;  // a reset leaves IR alone
    machine = Machine{};
    machine.IR = ir;
    console_printf(" success ...\n");
}

// Writes "MEM[%05d] = %d\n" for every address of the program and data area.
// Lines are formatted by hand into blocks: this runs twice in every run.
void dump_memory_map(const char* file_name) {
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
        unsigned value = memory[address];
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

void fatal_stop(const char* message, PositionLine form, std::uint16_t shown_pc, std::uint8_t ir,
                bool dump) {
    console_printf("%s", message);
    if (form == PositionLine::STANDARD) {
        console_printf("PC = %05d [%04X], IR = %03d [%02X]\n", shown_pc, shown_pc, ir, ir);
    } else if (form == PositionLine::SHORT) {
        console_printf("PC = %u, IR = %d\n", static_cast<unsigned>(shown_pc), ir);
    }
    if (dump) dump_memory_map("memmap2.txt");
    console_exit(255);
}

void stack_overflow_stop(std::uint16_t pc, std::uint8_t ir) {
    fatal_stop("\nERROR\n Stack overflow\n", PositionLine::STANDARD, pc, ir, true);
}

void stack_underflow_stop(std::uint16_t pc, std::uint8_t ir) {
    fatal_stop("\nERROR\n Stack underflow\n", PositionLine::STANDARD, pc, ir, true);
}
