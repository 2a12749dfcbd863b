// Arithmetic instructions: results, all four flags, SP and PC. Operands are
// listed as pushed, so the last one is A (the top of the stack).
#include "machine_fixture.hpp"

namespace {

using Case = OneByteCase;

class ArithmeticTest : public OneByteInstructionTest {};

TEST_P(ArithmeticTest, ResultFlagsAndPc) { check(); }

const Flags CLEAR{0, 0, 0, 0};
const Flags ALL{1, 1, 1, 1};

INSTANTIATE_TEST_SUITE_P(
    Byte, ArithmeticTest,
    ::testing::Values(
        // mul tests its overflow against 127; Z and S describe the whole product
        Case{"mul_16_16", OP_MUL, {16, 16}, CLEAR, {0x00}, {0, 0, 1, 0}},
        Case{"mul_127_1", OP_MUL, {1, 127}, ALL, {127}, {0, 0, 0, 1}},
        Case{"mul_64_2", OP_MUL, {2, 64}, CLEAR, {0x80}, {0, 0, 1, 0}},
        Case{"mul_by_zero_clears_O", OP_MUL, {0, 200}, {0, 1, 1, 0}, {0}, {1, 0, 0, 0}},
        // div: the top of the stack divided by the byte beneath
        Case{"div_7_by_2", OP_DIV, {2, 7}, {1, 1, 1, 1}, {3}, {0, 0, 1, 1}},
        Case{"div_2_by_7", OP_DIV, {7, 2}, CLEAR, {0}, {1, 0, 0, 0}},
        // sub: S is the borrow, not the top bit
        Case{"sub_1_minus_2", OP_SUB, {2, 1}, CLEAR, {0xFF}, {0, 1, 0, 0}},
        Case{"sub_equal", OP_SUB, {9, 9}, {0, 1, 1, 1}, {0}, {1, 0, 1, 1}},
        Case{"sub_0x90_minus_0", OP_SUB, {0, 0x90}, CLEAR, {0x90}, {0, 0, 0, 0}},
        // add: O against 127, C never written
        Case{"add_0x80_0x80", OP_ADD, {0x80, 0x80}, {1, 1, 0, 1}, {0}, {0, 0, 1, 1}},
        Case{"add_100_27", OP_ADD, {27, 100}, {0, 0, 1, 0}, {127}, {0, 0, 0, 0}},
        Case{"add_100_28", OP_ADD, {28, 100}, CLEAR, {128}, {0, 0, 1, 0}},
        Case{"add_zeros", OP_ADD, {0, 0}, CLEAR, {0}, {1, 0, 0, 0}},
        // inc: 255 + 1 pushes 0 but leaves Z clear
        Case{"inc_255", OP_INC, {0xFF}, {1, 1, 0, 0}, {0}, {0, 0, 1, 0}},
        Case{"inc_127", OP_INC, {0x7F}, ALL, {0x80}, {0, 0, 0, 1}},
        // dec does not write O
        Case{"dec_0", OP_DEC, {0}, {1, 0, 1, 0}, {0xFF}, {0, 1, 1, 0}},
        Case{"dec_1", OP_DEC, {1}, {0, 1, 0, 1}, {0}, {1, 0, 0, 1}}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Word, ArithmeticTest,
    ::testing::Values(
        // mulw: product modulo 2^32 read as signed; O always equals S
        Case{"mulw_46340",
             OP_MULW,
             words({46340, 46340}),
             ALL,
             words({46340u * 46340u & 0xFFFF}),
             {0, 0, 0, 1}},
        Case{"mulw_46341", OP_MULW, words({46341, 46341}), CLEAR, words({0x1219}), {0, 1, 1, 0}},
        Case{"mulw_ffff", OP_MULW, words({0xFFFF, 0xFFFF}), CLEAR, words({1}), {0, 1, 1, 0}},
        Case{"mulw_256_256", OP_MULW, words({256, 256}), {1, 1, 1, 0}, words({0}), {0, 0, 0, 0}},
        Case{"mulw_zero", OP_MULW, words({0, 5}), CLEAR, words({0}), {1, 0, 0, 0}},
        Case{"divw", OP_DIVW, words({7, 1000}), {1, 1, 1, 1}, words({142}), {0, 0, 1, 1}},
        Case{"divw_small", OP_DIVW, words({1000, 7}), CLEAR, words({0}), {1, 0, 0, 0}},
        // subw of 0x0100 (top) and 0x0001 gives 0x00FF
        Case{"subw", OP_SUBW, words({0x0001, 0x0100}), CLEAR, words({0x00FF}), {0, 0, 0, 0}},
        Case{"subw_borrow", OP_SUBW, words({2, 1}), CLEAR, words({0xFFFF}), {0, 1, 0, 0}},
        Case{"addw_wraps_without_O",
             OP_ADDW,
             words({0xFFFF, 1}),
             {1, 1, 1, 1},
             words({0}),
             {0, 0, 0, 1}},
        Case{"addw_zeros", OP_ADDW, words({0, 0}), CLEAR, words({0}), {1, 0, 0, 0}},
        Case{"incw_ffff", OP_INCW, words({0xFFFF}), {1, 1, 1, 0}, words({0}), {0, 0, 0, 0}},
        Case{"decw_0", OP_DECW, words({0}), {0, 0, 1, 1}, words({0xFFFF}), {0, 1, 1, 1}},
        Case{"decw_0x0100", OP_DECW, words({0x0100}), CLEAR, words({0x00FF}), {0, 0, 0, 0}},
        Case{"decw_1", OP_DECW, words({1}), CLEAR, words({0}), {1, 0, 0, 0}}),
    case_name);

using ArithmeticStops = MachineTest;

TEST_F(ArithmeticStops, DivisionByZeroPopsThenStopsWithoutPositionLine) {
    for (int opcode : {OP_DIV, OP_DIVW}) {
        std::vector<int> operands = opcode == OP_DIV ? std::vector<int>{0, 9} : words({0, 9});
        set_flags({1, 1, 1, 1});
        EXPECT_EQ(run_to_stop({opcode}, operands, 10), 255);
        EXPECT_EQ(stop_output, "\nERROR\nDevide by zero\n");
    }
}

TEST_F(ArithmeticStops, UnderflowComesBeforeAnyFlagIsWritten) {
    set_flags({1, 0, 1, 0});
    push_byte(machine, 3);  // one operand of two
    load({OP_ADD}, 7);
    machine.PC = 7;
    fetch_instruction(machine);
    try {
        execute_instruction(machine);
        FAIL() << "add with one byte on the stack ran to its end";
    } catch (const ExitRequest& e) {
        EXPECT_EQ(e.status, 255);
    }
    EXPECT_EQ(flags(), (Flags{1, 0, 1, 0}));
    EXPECT_EQ(console_double_output(),
              "\nERROR\n Stack underflow\nPC = 00007 [0007], IR = 022 [16]\n");
    cpu_reset(machine);
}

}  // namespace
