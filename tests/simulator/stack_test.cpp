// The byte stack and the machine reset, driven directly with the console
// replaced by its test double.
#include <gtest/gtest.h>

#include <memory>

#include "console_double.hpp"
#include "driver.hpp"
#include "machine/machine.hpp"

namespace {

class StackTest : public ::testing::Test {
protected:
    void SetUp() override {
        console_double_reset();
        cpu_reset(machine);
    }

    // A stop raised by the machine is reported the way the simulator reports it.
    template <class Action>
    int exit_status_of(Action action) {
        try {
            try {
                action();
            } catch (const MachineStop& s) {
                report_stop(machine, s.stop);
            }
        } catch (const ExitRequest& e) {
            return e.status;
        }
        return -1;
    }

    std::unique_ptr<Machine> owned = std::make_unique<Machine>();
    Machine& machine = *owned;
    std::uint8_t* const memory = machine.memory;
    std::uint8_t* const ports = machine.ports;
};

TEST_F(StackTest, ResetClearsEverythingAndPrintsOneLine) {
    EXPECT_EQ(console_double_output(), "CPU reset ...  success ...\n");
    for (int a = 0; a < MEMORY_SIZE; ++a) ASSERT_EQ(memory[a], 0) << a;
    for (int p = 0; p < 256; ++p) ASSERT_EQ(ports[p], 0) << p;
    EXPECT_EQ(machine.PC, 0);
    EXPECT_EQ(machine.SP, 0);
    EXPECT_EQ(machine.Z + machine.S + machine.O + machine.C, 0);
    EXPECT_EQ(machine.instruction_count, 0u);
    EXPECT_EQ(machine.clock_count, 0u);
}

TEST_F(StackTest, FirstPushGoesToStackTopAndPopsBack) {
    push_byte(machine, 300);  // only the low 8 bits are pushed
    EXPECT_EQ(memory[0x3FFF], 44);
    EXPECT_EQ(machine.SP, 0x3FFE);
    EXPECT_EQ(pop_byte(machine), 44u);
    EXPECT_EQ(machine.SP, 0x3FFF);
}

TEST_F(StackTest, WordsTravelHighByteFirstLowByteOnTop) {
    push_word(machine, 0x1234);
    EXPECT_EQ(pop_byte(machine), 0x34u);
    EXPECT_EQ(pop_byte(machine), 0x12u);
    push_word(machine, 0xBEEF);
    EXPECT_EQ(pop_word(machine), 0xBEEFu);
}

TEST_F(StackTest, HoldsAtMost4095Bytes) {
    for (int i = 0; i < 4095; ++i) push_byte(machine, i);
    EXPECT_EQ(machine.SP, 0x3000);
    machine.PC = 16;
    machine.IR = 32;
    EXPECT_EQ(exit_status_of([&] { push_byte(machine, 1); }), 255);
    EXPECT_EQ(console_double_output(),
              "CPU reset ...  success ...\n"
              "\nERROR\n Stack overflow\nPC = 00016 [0010], IR = 032 [20]\n");
    cpu_reset(machine);  // the stop released memory
}

TEST_F(StackTest, PopOnEmptyStackUnderflows) {
    EXPECT_EQ(exit_status_of([&] { pop_byte(machine); }), 255);
    EXPECT_NE(console_double_output().find("\nERROR\n Stack underflow\nPC = 00000 [0000], IR = "),
              std::string::npos);
    cpu_reset(machine);
    push_byte(machine, 1);
    push_byte(machine, 2);
    pop_byte(machine);
    pop_byte(machine);
    EXPECT_EQ(exit_status_of([&] { pop_byte(machine); }), 255);
    cpu_reset(machine);
}

}  // namespace
