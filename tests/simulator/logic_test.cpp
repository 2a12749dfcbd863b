// Shifts, rotates, logic and compare: results, all four flags, SP and PC.
// Operands are listed as pushed, so the last one is A (the top of the stack).
#include "machine_fixture.hpp"

namespace {

using Case = OneByteCase;

class LogicTest : public OneByteInstructionTest {};

TEST_P(LogicTest, ResultFlagsAndPc) { check(); }

const Flags CLEAR{0, 0, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    ShiftRotate, LogicTest,
    ::testing::Values(
        // Z after shl is tested before the cut; S and O are never written
        Case{"shl_0x80", OP_SHL, {0x80}, {1, 1, 1, 0}, {0x00}, {0, 1, 1, 1}},
        Case{"shl_0", OP_SHL, {0}, {0, 0, 0, 1}, {0}, {1, 0, 0, 0}},
        Case{"shlw_0x8000", OP_SHLW, words({0x8000}), CLEAR, words({0}), {0, 0, 0, 1}},
        Case{"shlw_0x4000", OP_SHLW, words({0x4000}), CLEAR, words({0x8000}), {0, 0, 0, 0}},
        Case{"shr_1", OP_SHR, {1}, CLEAR, {0}, {1, 0, 0, 1}},
        Case{"shr_0x80", OP_SHR, {0x80}, {1, 0, 0, 1}, {0x40}, {0, 0, 0, 0}},
        Case{"shrw_0x0100", OP_SHRW, words({0x0100}), CLEAR, words({0x0080}), {0, 0, 0, 0}},
        Case{"shrw_1", OP_SHRW, words({1}), CLEAR, words({0}), {1, 0, 0, 1}},
        // rotates wrap within the operand, not through C
        Case{"rol_0x81", OP_ROL, {0x81}, {0, 1, 1, 0}, {0x03}, {0, 1, 1, 1}},
        Case{"ror_1", OP_ROR, {1}, CLEAR, {0x80}, {0, 0, 0, 1}},
        Case{"ror_0", OP_ROR, {0}, {0, 0, 0, 1}, {0}, {1, 0, 0, 0}},
        Case{"rolw_0x8001", OP_ROLW, words({0x8001}), CLEAR, words({0x0003}), {0, 0, 0, 1}},
        Case{"rorw_1", OP_RORW, words({1}), CLEAR, words({0x8000}), {0, 0, 0, 1}},
        Case{"rorw_0x0100", OP_RORW, words({0x0100}), {0, 0, 0, 1}, words({0x0080}), CLEAR},
        Case{"rolw_0", OP_ROLW, words({0}), {0, 0, 0, 1}, words({0}), {1, 0, 0, 0}}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    LogicCompare, LogicTest,
    ::testing::Values(
        // logic writes only Z, in both directions
        Case{"and_clears_Z", OP_AND, {0x0F, 0x0F}, {1, 1, 1, 1}, {0x0F}, {0, 1, 1, 1}},
        Case{"and_zero", OP_AND, {0xF0, 0x0F}, CLEAR, {0}, {1, 0, 0, 0}},
        Case{"andw", OP_ANDW, words({0x0FF0, 0x3C3C}), {1, 0, 0, 0}, words({0x0C30}), CLEAR},
        Case{"or", OP_OR, {0x01, 0x80}, {1, 0, 0, 0}, {0x81}, CLEAR},
        Case{"orw_zero", OP_ORW, words({0, 0}), CLEAR, words({0}), {1, 0, 0, 0}},
        // not is a logical negation
        Case{"not_0", OP_NOT, {0}, {1, 0, 0, 0}, {1}, CLEAR},
        Case{"not_0x5a", OP_NOT, {0x5A}, CLEAR, {0}, {1, 0, 0, 0}},
        Case{"notw_0x1234", OP_NOTW, words({0x1234}), CLEAR, words({0}), {1, 0, 0, 0}},
        Case{"notw_0", OP_NOTW, words({0}), {1, 1, 1, 1}, words({1}), {0, 1, 1, 1}},
        Case{"xor_equal", OP_XOR, {0x5A, 0x5A}, CLEAR, {0}, {1, 0, 0, 0}},
        Case{"xorw", OP_XORW, words({0xFF00, 0x0FF0}), {1, 0, 0, 0}, words({0xF0F0}), CLEAR},
        // cmp consumes its operands; the top is the left-hand side
        Case{"cmp_3_below_5", OP_CMP, {7, 5, 3}, CLEAR, {7}, {0, 1, 0, 0}},
        Case{"cmp_5_above_3", OP_CMP, {3, 5}, {1, 1, 1, 1}, {}, {0, 0, 1, 1}},
        Case{"cmp_equal", OP_CMP, {4, 4}, CLEAR, {}, {1, 0, 0, 0}},
        Case{"cmpw_less", OP_CMPW, words({0x0200, 0x01FF}), CLEAR, {}, {0, 1, 0, 0}},
        Case{"cmpw_equal", OP_CMPW, words({0x1234, 0x1234}), {0, 1, 0, 0}, {}, {1, 0, 0, 0}}),
    case_name);

}  // namespace
