// Loads, stores, ports, calls and jumps, run one instruction at a time.
#include "machine_fixture.hpp"

namespace {

using DataMovement = MachineTest;

TEST_F(DataMovement, ImmediateLoadsPushOperandBytes) {
    run({OP_LDI, 7});
    EXPECT_EQ(stack(), (std::vector<int>{7}));
    EXPECT_EQ(machine.PC, 2);
    run({OP_LDIW, 44, 1}, {}, 10);  // 300: low byte 44 ends on top
    EXPECT_EQ(stack(), (std::vector<int>{7, 1, 44}));
    EXPECT_EQ(machine.PC, 13);
}

TEST_F(DataMovement, WordsStoreLittleEndianAndLoadBackUnchanged) {
    run({OP_STDW, 100, 0}, words({300}));
    EXPECT_EQ(memory[100], 44);
    EXPECT_EQ(memory[101], 1);
    EXPECT_TRUE(stack().empty());
    run({OP_LDDW, 100, 0});
    EXPECT_EQ(stack(), words({300}));
    run({OP_STD, 0x34, 0x12});  // pops the low byte only
    EXPECT_EQ(memory[0x1234], 44);
    run({OP_LDD, 0x34, 0x12});
    EXPECT_EQ(stack(), (std::vector<int>{1, 44}));
}

TEST_F(DataMovement, PointerWordsCopyThroughLdawStaw) {
    load({0x00, 0x20}, 50);  // pointer at 50 -> 0x2000
    load({0x10, 0x20}, 60);  // pointer at 60 -> 0x2010
    load({0xCD, 0xAB}, 0x2000);
    run({OP_LDAW, 50, 0});
    EXPECT_EQ(stack(), words({0xABCD}));
    run({OP_STAW, 60, 0});
    EXPECT_EQ(memory[0x2010], 0xCD);
    EXPECT_EQ(memory[0x2011], 0xAB);
    run({OP_LDA, 60, 0});
    EXPECT_EQ(stack(), (std::vector<int>{0xCD}));
    run({OP_STA, 50, 0});
    EXPECT_EQ(memory[0x2000], 0xCD);
    EXPECT_EQ(machine.PC, 3);
}

TEST_F(DataMovement, IndirectLoadAcceptsTheLastByteOfTheArea) {
    load({0xFF, 0x2F}, 40);
    memory[0x2FFF] = 99;
    run({OP_LDA, 40, 0});
    EXPECT_EQ(stack(), (std::vector<int>{99}));
}

TEST_F(DataMovement, LdawReachesTheStackAreaWithoutAStop) {
    load({0x00, 0x30}, 40);  // pointer 0x3000
    memory[0x3000] = 1;
    memory[0x3001] = 2;
    run({OP_LDAW, 40, 0});
    EXPECT_EQ(stack(), (std::vector<int>{2, 1}));
    run({OP_STD, 0xFF, 0x3F});  // the top byte of the stack area
    EXPECT_EQ(memory[0x3FFF], 1);
}

TEST_F(DataMovement, PortsKeepWhatOutWroteAndPort0IsShown) {
    run({OP_IN, 5});
    EXPECT_EQ(stack(), (std::vector<int>{0}));
    run({OP_OUT, 5}, {7});
    EXPECT_EQ(ports[5], 7);
    run({OP_IN, 5});
    EXPECT_EQ(stack(), (std::vector<int>{0, 7}));
    run({OP_OUT, 0}, {255});
    EXPECT_EQ(console_double_output(), "\n-[255 : FFh]-");
    run({OP_IN, 0});
    EXPECT_EQ(stack(), (std::vector<int>{0, 7, 255}));
}

TEST_F(DataMovement, InFromPort1TakesAKeyAndPushesNothing) {
    console_double_reset(
        "\x1b"
        "x");
    run({OP_IN, 1}, {9});
    EXPECT_EQ(stack(), (std::vector<int>{9}));
    EXPECT_EQ(machine.PC, 2);
    ASSERT_TRUE(console_key_waiting(0));  // the Escape was taken, 'x' is left
    EXPECT_EQ(console_take_key(), 'x');
}

TEST_F(DataMovement, CallPushesReturnAddressAndRetComesBack) {
    run({OP_CALL, 0x00, 0x01}, {}, 16);
    EXPECT_EQ(stack(), (std::vector<int>{0, 19}));
    EXPECT_EQ(machine.PC, 256);
    run({OP_RET}, {}, 256);
    EXPECT_EQ(machine.PC, 19);
    EXPECT_TRUE(stack().empty());
    EXPECT_EQ(machine.SP, STACK_TOP);
}

TEST_F(DataMovement, JmrCountsFromItsOwnOpcode) {
    run({OP_JMR, 240}, {}, 32);
    EXPECT_EQ(machine.PC, 272);
    run({OP_JMR, 0}, {}, 32);
    EXPECT_EQ(machine.PC, 32);
}

TEST_F(DataMovement, ConditionalJumpsTestTheirFlagForOne) {
    struct Jump {
        int opcode;
        std::uint8_t* flag;
        bool jumps_when_set;
    };
    const Jump jumps[] = {{OP_JZ, &machine.Z, true}, {OP_JNZ, &machine.Z, false},
                          {OP_JO, &machine.O, true}, {OP_JNO, &machine.O, false},
                          {OP_JC, &machine.C, true}, {OP_JNC, &machine.C, false},
                          {OP_JS, &machine.S, true}, {OP_JNS, &machine.S, false}};
    for (const Jump& j : jumps) {
        for (int value : {0, 1}) {
            set_flags({0, 0, 0, 0});
            *j.flag = static_cast<std::uint8_t>(value);
            run({j.opcode, 0x00, 0x02}, {}, 100);
            bool taken = (value == 1) == j.jumps_when_set;
            EXPECT_EQ(machine.PC, taken ? 0x200 : 103)
                << "opcode " << j.opcode << " flag " << value;
        }
    }
    run({OP_JMP, 0x34, 0x12}, {}, 5);
    EXPECT_EQ(machine.PC, 0x1234);
}

TEST_F(DataMovement, IndirectOverloadStops) {
    load({0x00, 0x30}, 40);  // pointer 0x3000, beyond the program area
    EXPECT_EQ(run_to_stop({OP_LDA, 40, 0}, {}, 16), 255);
    EXPECT_EQ(stop_output, "\n-LDA-\n ERROR indirect overload (> MAX_MEMORY)\nPC = 16, IR = 4\n");
    load({0x00, 0x30}, 40);
    EXPECT_EQ(run_to_stop({OP_STA, 40, 0}, {5}, 16), 255);
    EXPECT_EQ(stop_output, "\n-STA-\n ERROR indirect overload (> MAX_MEMORY)\n");
}

TEST_F(DataMovement, AccessesBeyondMemoryStopBeforeTouchingIt) {
    struct Case {
        std::initializer_list<int> code;
        std::vector<int> stack;
        const char* name;
    };
    // Pointers at 40 -> 0x3FFF (a word there reaches 0x4000), at 42 -> 0x4000.
    const Case cases[] = {
        {{OP_LDD, 0x00, 0x40}, {}, "LDD"},   {{OP_LDDW, 0xFF, 0x3F}, {}, "LDDW"},
        {{OP_STD, 0xFF, 0xFF}, {1}, "STD"},  {{OP_STDW, 0xFF, 0x3F}, {1, 2}, "STDW"},
        {{OP_LDA, 0xFF, 0x3F}, {}, "LDA"},   {{OP_STA, 0xFF, 0x3F}, {1}, "STA"},
        {{OP_LDAW, 40, 0}, {}, "LDAW"},      {{OP_STAW, 42, 0}, {1, 2}, "STAW"},
        {{OP_LDAW, 0xFF, 0x3F}, {}, "LDAW"}, {{OP_STAW, 40, 0}, {1, 2}, "STAW"},
    };
    for (const Case& c : cases) {
        load({0xFF, 0x3F, 0x00, 0x40}, 40);
        int opcode = *c.code.begin();
        char position[64];
        std::snprintf(position, sizeof position, "PC = 00032 [0020], IR = %03d [%02X]\n", opcode,
                      opcode);
        EXPECT_EQ(run_to_stop(c.code, c.stack, 0x20), 255) << c.name;
        EXPECT_EQ(stop_output, std::string("\n-") + c.name +
                                   "-\n ERROR address overload (> MEMORY_SIZE)\n" + position);
        // nothing was popped before the stop
        EXPECT_EQ(sp_at_stop, c.stack.empty() ? 0 : STACK_TOP - c.stack.size()) << c.name;
    }
}

}  // namespace
