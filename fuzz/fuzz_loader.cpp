// The object code loader on arbitrary file contents. Each input is checked
// against a plain model of the loading rules: the same memory image and
// memmap.txt on acceptance, the same message on refusal, and never a byte
// stored outside the program and data area.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console_double.hpp"
#include "driver.hpp"
#include "fuzz_support.hpp"
#include "machine/machine.hpp"

namespace {

const std::string RESET_LINE = "CPU reset ...  success ...\n";

struct Expected {
    std::string message;  // "" when the file is accepted
    std::uint8_t image[MAX_MEMORY];
};

bool blank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::vector<std::string> split(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < size) {
        while (i < size && blank(data[i])) ++i;
        std::size_t start = i;
        while (i < size && !blank(data[i])) ++i;
        if (i > start) tokens.emplace_back(reinterpret_cast<const char*>(data + start), i - start);
    }
    return tokens;
}

// The loading rules, written for clarity rather than speed.
void model(const std::uint8_t* data, std::size_t size, Expected& out) {
    std::memset(out.image, 0, sizeof out.image);
    out.message.clear();
    std::vector<std::string> tokens = split(data, size);
    std::size_t next = 0;
    // Takes the next token; false at the end or, with message set, when too long.
    auto take = [&](long long& value) {
        if (next == tokens.size()) return false;
        const std::string& token = tokens[next++];
        if (token.size() > 19) {
            // The message shows the first 19 characters as text: up to a NUL.
            std::string shown = token.substr(0, 19);
            shown = shown.substr(0, shown.find('\0'));
            out.message = "\nERROR\nObject code token too long : " + shown + "...\n";
            return false;
        }
        value = std::strtoll(token.c_str(), nullptr, 10);  // stops at an embedded NUL too
        return true;
    };
    long long address = 0, op_value = 0, operand = 0;
    while (take(address) && take(op_value)) {
        int op = static_cast<std::uint8_t>(op_value);
        // A data record fills one byte; an instruction its length; an
        // undefined opcode below 112 takes a two-byte operand, above none.
        int span = 1;
        if (OpcodeTable[op].defined()) {
            span = OpcodeTable[op].length;
        } else if (op < 112) {
            span = 3;
        }
        if (address < 0 || address > MAX_MEMORY - span) {
            out.message =
                "\nERROR\nObject code address out of range : " + std::to_string(address) + "\n";
            return;
        }
        if (op != 255) out.image[address] = static_cast<std::uint8_t>(op);
        if (span == 1 && op != 255) continue;
        if (!take(operand)) break;
        if (op == 255) {
            out.image[address] = static_cast<std::uint8_t>(operand);
        } else {
            out.image[address + 1] = static_cast<std::uint8_t>(operand);
            if (span == 3) out.image[address + 2] = static_cast<std::uint8_t>(operand >> 8);
        }
    }
}

std::string map_of(const std::uint8_t* image) {
    std::string text;
    char line[32];
    for (int a = 0; a < MAX_MEMORY; ++a) {
        std::snprintf(line, sizeof line, "MEM[%05d] = %d\n", a, image[a]);
        text += line;
    }
    return text;
}

std::string read_whole(const char* name) {
    std::string text;
    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr) return text;
    char block[65536];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;)
        text.append(block, got);
    std::fclose(file);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    enter_work_directory();
    write_input_file("input.hx", data, size);
    std::remove("memmap.txt");
    console_double_reset();
    static Machine machine;
    cpu_reset(machine);
    int status = -1;
    try {
        load_program(machine, "input.hx");
    } catch (const ExitRequest& e) {
        status = e.status;
    }
    static Expected expected;
    model(data, size, expected);
    std::string output = console_double_output();

    for (int a = MAX_MEMORY; a < MEMORY_SIZE; ++a) {
        if (machine.memory[a] != 0)
            fuzz_fail("the loader stored a byte outside the program and data area");
    }
    if (expected.message.empty()) {
        if (status != -1) fuzz_fail("a file the rules accept was refused");
        if (output != RESET_LINE) fuzz_fail("accepting a file printed something");
        if (std::memcmp(machine.memory, expected.image, MAX_MEMORY) != 0)
            fuzz_fail("memory differs from the rules");
        // The memory map is formatted by hand; compare it once in a while.
        if (size % 16 == 0 && read_whole("memmap.txt") != map_of(expected.image)) {
            fuzz_fail("memmap.txt differs from memory");
        }
    } else {
        if (status != 255) fuzz_fail("a refused file did not end with status 255");
        if (output != RESET_LINE + expected.message) fuzz_fail("wrong refusal message");
        if (file_present("memmap.txt")) fuzz_fail("a refused file wrote memmap.txt");
    }
    return 0;
}
