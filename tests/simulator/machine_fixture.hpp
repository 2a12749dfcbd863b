// Shared set-up for unit tests that run single instructions on the machine
// with the console replaced by its test double.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "console.hpp"
#include "console_double.hpp"
#include "driver.hpp"
#include "machine/machine.hpp"

struct Flags {
    int z, s, o, c;
    bool operator==(const Flags&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Flags& f) {
    return out << "Z=" << f.z << " S=" << f.s << " O=" << f.o << " C=" << f.c;
}

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        console_double_reset();
        cpu_reset(machine);
        console_double_reset();  // drop the reset line
    }

    // The machine each test runs, and its memory and ports by their names.
    std::unique_ptr<Machine> owned = std::make_unique<Machine>();
    Machine& machine = *owned;
    std::uint8_t* const memory = machine.memory;
    std::uint8_t* const ports = machine.ports;

    // Places code at address, pushes stack bytes in order (the last on top),
    // sets PC to address and runs exactly one instruction.
    void run(std::initializer_list<int> code, const std::vector<int>& stack = {},
             std::uint16_t address = 0) {
        load(code, address);
        for (int b : stack) push_byte(machine, static_cast<unsigned>(b));
        machine.PC = address;
        fetch_instruction(machine);
        execute_instruction(machine);
    }

    void load(std::initializer_list<int> bytes, std::uint16_t address) {
        for (int b : bytes) memory[address++] = static_cast<std::uint8_t>(b);
    }

    // Like run, but expects the instruction to end the run; returns the
    // exit status and leaves the printed text in stop_output.
    int run_to_stop(std::initializer_list<int> code, const std::vector<int>& stack = {},
                    std::uint16_t address = 0) {
        try {
            run(code, stack, address);
        } catch (const ExitRequest& e) {
            stop_output = console_double_output();
            sp_at_stop = machine.SP;
            cpu_reset(machine);  // the stop released memory
            console_double_reset();
            return e.status;
        }
        return -1;
    }

    // Stack bytes from the bottom (0x3FFF) to the top.
    std::vector<int> stack() const {
        std::vector<int> bytes;
        if (machine.SP == 0) return bytes;
        for (int a = STACK_TOP; a > machine.SP; --a) bytes.push_back(memory[a]);
        return bytes;
    }

    void set_flags(Flags f) {
        machine.Z = static_cast<std::uint8_t>(f.z);
        machine.S = static_cast<std::uint8_t>(f.s);
        machine.O = static_cast<std::uint8_t>(f.o);
        machine.C = static_cast<std::uint8_t>(f.c);
    }
    Flags flags() const { return {machine.Z, machine.S, machine.O, machine.C}; }

    std::string stop_output;
    unsigned sp_at_stop = 0;
};

// Stack bytes of words pushed in order, each high byte first (low on top).
inline std::vector<int> words(std::initializer_list<unsigned> values) {
    std::vector<int> bytes;
    for (unsigned v : values) {
        bytes.push_back(static_cast<int>((v >> 8) & 0xFF));
        bytes.push_back(static_cast<int>(v & 0xFF));
    }
    return bytes;
}

// A one-byte instruction run at address 100 on a prepared stack and flags:
// the stack and all four flags afterwards, and PC moved past it.
struct OneByteCase {
    const char* name;
    int opcode;
    std::vector<int> stack_in;
    Flags before;
    std::vector<int> stack_out;
    Flags after;
};

// Test listings show a case by its name, not by its bytes.
inline void PrintTo(const OneByteCase& c, std::ostream* out) { *out << c.name; }

class OneByteInstructionTest : public MachineTest,
                               public ::testing::WithParamInterface<OneByteCase> {
protected:
    void check() {
        const OneByteCase& c = GetParam();
        set_flags(c.before);
        run({c.opcode}, c.stack_in, 100);
        EXPECT_EQ(stack(), c.stack_out);
        EXPECT_EQ(flags(), c.after);
        EXPECT_EQ(machine.PC, 101);
    }
};

inline std::string case_name(const ::testing::TestParamInfo<OneByteCase>& info) {
    return info.param.name;
}
