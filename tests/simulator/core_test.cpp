// The embeddable machine core: stops come back as values with the exact
// texts of the simulator, the trace line has its fixed form, and a headless
// run ends in one of three ways.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "machine/headless.hpp"
#include "machine/loader.hpp"
#include "machine/trace.hpp"

namespace {

void load_bytes(Machine& m, std::initializer_list<int> bytes, unsigned address = 0) {
    for (int b : bytes) m.memory[address++] = static_cast<std::uint8_t>(b);
}

std::string stop_text(const Stop& stop) { return stop_message(stop) + stop_position_line(stop); }

struct StopCase {
    std::vector<int> code;
    StopKind kind;
    const char* text;
    bool memory_map;
};

TEST(MachineCore, StopsComeBackAsValuesWithTheSimulatorsTexts) {
    const StopCase cases[] = {
        {{OP_OUT, 0},
         StopKind::STACK_UNDERFLOW,
         "\nERROR\n Stack underflow\nPC = 00000 [0000], IR = 009 [09]\n",
         true},
        {{OP_LDI, 0, OP_LDI, 5, OP_DIV},
         StopKind::DIVISION_BY_ZERO,
         "\nERROR\nDevide by zero\n",
         true},
        {{OP_LDIW, 0x00, 0x30, OP_STDW, 100, 0, OP_LDA, 100, 0},
         StopKind::LDA_OVERLOAD,
         "\n-LDA-\n ERROR indirect overload (> MAX_MEMORY)\nPC = 6, IR = 4\n",
         false},
        {{OP_LDIW, 0x00, 0x30, OP_STDW, 100, 0, OP_STA, 100, 0},
         StopKind::STA_OVERLOAD,
         "\n-STA-\n ERROR indirect overload (> MAX_MEMORY)\n",
         false},
        {{OP_NOP, OP_LDD, 0xFF, 0xFF},
         StopKind::ADDRESS_OVERLOAD,
         "\n-LDD-\n ERROR address overload (> MEMORY_SIZE)\nPC = 00001 [0001], IR = 002 [02]\n",
         false},
        {{OP_NOP, 12},
         StopKind::UNDEFINED_OPCODE,
         "\n-ERROR-\n unknown machine code\nPC = 00001 [0001], IR = 012 [0C]\n",
         false},
        {{OP_JMP, 0x00, 0x30},
         StopKind::PC_OVERLOAD,
         "\n-ERROR-\n PC overload (PC > MAX_MEMORY)\nPC = 12285 [2FFD], IR = 048 [30]\n",
         false},
    };
    auto machine = std::make_unique<Machine>();
    Machine& m = *machine;
    for (const StopCase& c : cases) {
        machine_reset(m);
        for (std::size_t i = 0; i < c.code.size(); ++i)
            m.memory[i] = static_cast<std::uint8_t>(c.code[i]);
        HeadlessIo io;
        RunOutcome outcome = run_headless(m, io, 100);
        ASSERT_EQ(outcome.end, RunEnd::STOPPED) << c.text;
        EXPECT_EQ(outcome.stop->kind, c.kind);
        EXPECT_EQ(stop_text(*outcome.stop), c.text);
        EXPECT_EQ(stop_form(c.kind).memory_map, c.memory_map) << c.text;
    }
    // The loader's refusals go through the same table.
    std::uint8_t image[MAX_MEMORY] = {};
    EXPECT_EQ(stop_text(*load_object_text("0 64\n12288 255 1\n", image)),
              "\nERROR\nObject code address out of range : 12288\n");
    EXPECT_EQ(stop_text(*load_object_text("0 12345678901234567890 1", image)),
              "\nERROR\nObject code token too long : 1234567890123456789...\n");
    EXPECT_EQ(stop_text(*load_object_file("/nonexistent/x.hx", image)),
              "\nERROR\nFile not found\n");
    WrittenSet written;
    EXPECT_FALSE(load_object_text("7 255 300 10 1 258", image, &written).has_value());
    EXPECT_EQ(image[7], 44);
    EXPECT_EQ(image[10] + image[11] * 256 + image[12] * 65536, 1 + 2 * 256 + 1 * 65536);
    EXPECT_EQ(written.count(), 4u);
    EXPECT_TRUE(written[7] && written[10] && written[11] && written[12]);
}

TEST(MachineCore, HeadlessRunsHaltStopOrReachTheirLimit) {
    auto machine = std::make_unique<Machine>();
    Machine& m = *machine;
    machine_reset(m);
    load_bytes(m, {OP_LDI, 72, OP_OUT, 0, OP_LDI, 1, OP_IN, 1, OP_HLT});
    HeadlessIo io;
    RunOutcome outcome = run_headless(m, io, 1000);
    EXPECT_EQ(outcome.end, RunEnd::HALTED);
    EXPECT_EQ(io.port0, std::vector<std::uint8_t>{72});
    EXPECT_EQ(m.instruction_count, 5u);
    EXPECT_EQ(m.clock_count, 3u + 3 + 3 + 3 + 0);
    EXPECT_EQ(m.PC, 8);  // hlt leaves PC on itself
    machine_reset(m);
    load_bytes(m, {OP_JMR, 0});
    EXPECT_EQ(run_headless(m, io, 1000).end, RunEnd::LIMIT);
    EXPECT_EQ(m.instruction_count, 1000u);
}

TEST(MachineCore, TraceLinesHaveTheirFixedForm) {
    auto machine = std::make_unique<Machine>();
    Machine& m = *machine;
    machine_reset(m);
    // ldi 1; out 0; ldiw 0x1234; call 16 ... at 16: nine pushes, then hlt
    load_bytes(m, {OP_LDI, 1, OP_OUT, 0, OP_LDIW, 0x34, 0x12, OP_CALL, 16, 0});
    load_bytes(m,
               {OP_LDI, 1, OP_LDI, 2, OP_LDI, 3, OP_LDI, 4, OP_LDI, 5, OP_LDI, 6, OP_LDI, 7, OP_LDI,
                8, OP_LDI, 9, OP_HLT},
               16);
    HeadlessIo io;
    std::vector<std::string> lines;
    do {
        TraceStart start = trace_start(m);
        ASSERT_FALSE(step_headless(m, io).has_value());
        char line[TRACE_LINE_CAPACITY];
        lines.emplace_back(line, format_trace_line(line, start, m));
    } while (m.IR != OP_HLT);
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0], "1 0000 ldi 1 | SP=3FFE Z=0 S=0 O=0 C=0 | 01");
    EXPECT_EQ(lines[1], "2 0002 out 0 | SP=3FFF Z=0 S=0 O=0 C=0 |");
    EXPECT_EQ(lines[2], "3 0004 ldiw 4660 | SP=3FFD Z=0 S=0 O=0 C=0 | 34 12");
    EXPECT_EQ(lines[3], "4 0007 call 16 | SP=3FFB Z=0 S=0 O=0 C=0 | 0A 00 34 12");
    EXPECT_EQ(lines[12], "13 0020 ldi 9 | SP=3FF2 Z=0 S=0 O=0 C=0 | 09 08 07 06 05 04 03 02");
    EXPECT_EQ(lines[13], "14 0022 hlt | SP=3FF2 Z=0 S=0 O=0 C=0 | 09 08 07 06 05 04 03 02");
}

}  // namespace
