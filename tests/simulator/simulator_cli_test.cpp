// The simulator as its users meet it: a name and keys piped to standard
// input, the console dialogue byte for byte, exit status and memory maps.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "run_program.hpp"

namespace {

const std::string HEAD =
    "CPU reset ...  success ...\n- Stack machine simulator -\n- Object code file :";

struct SimRun {
    std::string output;
    int status;
    std::string memmap;   // "" when not written
    std::string memmap2;  // "" when not written
};

// Writes object code to prog.hx, pipes its name and then keys.
SimRun simulate(const std::string& object_code, const std::string& keys = "") {
    TempDir dir;
    write_file(dir.file("prog.hx"), object_code);
    RunResult r = run_program(simulator_path(), "prog.hx\n" + keys, dir.path);
    SimRun run{r.output, r.exit_status, "", ""};
    if (file_exists(dir.file("memmap.txt"))) run.memmap = read_file(dir.file("memmap.txt"));
    if (file_exists(dir.file("memmap2.txt"))) run.memmap2 = read_file(dir.file("memmap2.txt"));
    return run;
}

std::string memory_line(int address, int value) {
    char line[32];
    std::snprintf(line, sizeof line, "MEM[%05d] = %d\n", address, value);
    return line;
}

// The spinner frames of n instructions: "-", then backspace pairs.
std::string spinner(int n) {
    std::string frames;
    const char* bars = "\\|/-";
    for (int i = 0; i < n; ++i) {
        if (i == 0) {
            frames += '-';
        } else {
            frames += '\b';
            frames += bars[(i - 1) % 4];
        }
    }
    return frames;
}

std::string statistics(int instructions, int clocks, const char* cpi) {
    return "No. instruction = " + std::to_string(instructions) +
           "\nNo. clock = " + std::to_string(clocks) + ",CPI = " + cpi + "\n";
}

TEST(SimulatorRun, NopThenHltWritesBothMapsAndExitsZero) {
    SimRun r = simulate("0 64\n1 65\n");
    EXPECT_EQ(r.output, HEAD + "-\b\\\n-HALT-\n" + statistics(2, 3, "1.500000"));
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.memmap.size(), r.memmap2.size());
    EXPECT_TRUE(r.memmap.starts_with(memory_line(0, 64) + memory_line(1, 65)));
    EXPECT_EQ(r.memmap, r.memmap2);
    // exactly one line per address of the program and data area
    EXPECT_EQ(std::count(r.memmap.begin(), r.memmap.end(), '\n'), 12288);
    EXPECT_NE(r.memmap.find(memory_line(12287, 0)), std::string::npos);
    EXPECT_EQ(r.memmap.find("MEM[12288]"), std::string::npos);
}

TEST(SimulatorRun, HltAloneCostsNoClocks) {
    SimRun r = simulate("0 65");
    EXPECT_EQ(r.output, HEAD + "-\n-HALT-\n" + statistics(1, 0, "0.000000"));
    EXPECT_EQ(r.status, 0);
}

TEST(SimulatorRun, SpinnerCyclesThroughItsFramesAndOverwritesPort0Display) {
    // six nops, out 0 of a pushed 65, hlt
    SimRun r = simulate("0 64 1 64 2 64 3 64 4 64 5 64 6 0 65 8 9 0 10 65");
    EXPECT_EQ(r.output, HEAD + spinner(8) + "\n-[65 : 41h]-" +
                            spinner(9).substr(spinner(8).size()) + "\n-HALT-\n" +
                            statistics(9, 24, "2.666667"));
}

TEST(SimulatorRun, ByteValuesAbove127AreUnsignedInTheMap) {
    SimRun r = simulate("0 65\n100 255 255\n101 255 -1\n102 255 300\n");
    EXPECT_NE(r.memmap.find(memory_line(100, 255) + memory_line(101, 255) + memory_line(102, 44)),
              std::string::npos);
}

TEST(SimulatorRun, OneProgramPerFamilyRunsToHltWithItsClocksCharged) {
    struct Program {
        const char* family;
        const char* code;
        const char* shown;  // the port 0 display
        int instructions;
        int clocks;
    };
    const Program programs[] = {
        // (3 + 7) * 2 - 1
        {"arithmetic", "0 0 3 2 0 7 4 22 5 0 2 7 16 8 26 9 9 0 11 65", "-[19 : 13h]-", 8, 27},
        // ((15 and 60) shl 1) xor 255
        {"shift and logic", "0 0 15 2 0 60 4 96 5 80 6 0 255 8 102 9 9 0 11 65", "-[231 : E7h]-", 8,
         27},
        // call a routine that keeps its return address in memory, stores
        // the word 300 and returns its low byte
        {"data movement and calls",
         "0 32 10 3 9 0 5 65 10 7 200 13 1 300 16 7 100 19 2 100 22 3 200 25 33", "-[44 : 2Ch]-", 9,
         33},
        // cmp of equal bytes sets Z; jz skips the hlt at 8
        {"compare and jump", "0 0 5 2 0 5 4 104 5 50 11 8 65 11 0 9 13 9 0 15 65", "-[9 : 09h]-", 7,
         22},
    };
    for (const Program& p : programs) {
        SimRun r = simulate(p.code);
        EXPECT_EQ(r.status, 0) << p.family;
        EXPECT_NE(r.output.find(std::string("\n") + p.shown), std::string::npos) << p.family;
        EXPECT_NE(r.output.find("No. instruction = " + std::to_string(p.instructions) +
                                "\nNo. clock = " + std::to_string(p.clocks) + ",CPI = "),
                  std::string::npos)
            << p.family << ": " << r.output;
    }
}

TEST(SimulatorKeys, EscapeWaitingBeforeTheFirstInstructionStopsTheRun) {
    SimRun r = simulate("0 64 1 65", "\x1b");
    EXPECT_EQ(r.output, HEAD + "\n-user terminated-\nPC = 00000 [0000], IR = 000 [00]\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(r.memmap.empty());
    EXPECT_EQ(r.memmap2, r.memmap);
}

TEST(SimulatorKeys, OneKeyIsTakenPerInstructionAndOthersAreIgnored) {
    // Keys a, b, then Escape: taken before instructions 1, 2 and 3.
    SimRun r = simulate("0 64 1 64 2 64 3 64 4 65", "ab\x1b");
    EXPECT_EQ(r.output,
              HEAD + spinner(2) + "\n-user terminated-\nPC = 00002 [0002], IR = 064 [40]\n");
    EXPECT_EQ(r.status, 255);
}

TEST(SimulatorKeys, HltAndInFromPort1ConsumeKeysEvenEscape) {
    // The key test before in 1 takes 'x'; in 1 takes the Escape without a
    // stop; the key test before hlt takes 'y'; hlt takes 'z'.
    SimRun r = simulate("0 8 1 2 65", "x\x1byz");
    EXPECT_EQ(r.output, HEAD + spinner(2) + "\n-HALT-\n" + statistics(2, 3, "1.500000"));
    EXPECT_EQ(r.status, 0);
}

TEST(SimulatorStops, UndefinedOpcodesShowTheirOwnAddress) {
    struct Case {
        const char* code;
        std::string expected;
    };
    const std::string message = "\n-ERROR-\n unknown machine code\n";
    const Case cases[] = {
        {"0 12", "-" + message + "PC = 00000 [0000], IR = 012 [0C]\n"},
        {"0 70", "-" + message + "PC = 00000 [0000], IR = 070 [46]\n"},
        // opcodes without a slot show their own address too
        {"0 48 255\n255 200\n", spinner(2) + message + "PC = 00255 [00FF], IR = 200 [C8]\n"},
    };
    for (const Case& c : cases) {
        SimRun r = simulate(c.code);
        EXPECT_EQ(r.output, HEAD + c.expected);
        EXPECT_EQ(r.status, 255);
        EXPECT_FALSE(r.memmap.empty());
        EXPECT_TRUE(r.memmap2.empty());
    }
}

TEST(SimulatorStops, PcOverloadShowsPcSetBackByTheInstructionLength) {
    SimRun fall = simulate("0 48 12286\n12286 0 7\n");
    EXPECT_EQ(fall.output, HEAD + spinner(2) +
                               "\n-ERROR-\n PC overload (PC > MAX_MEMORY)\n"
                               "PC = 12286 [2FFE], IR = 000 [00]\n");
    EXPECT_EQ(fall.status, 255);
    EXPECT_TRUE(fall.memmap2.empty());
    SimRun jump = simulate("0 48 12288");
    EXPECT_EQ(jump.output, HEAD +
                               "-\n-ERROR-\n PC overload (PC > MAX_MEMORY)\n"
                               "PC = 12285 [2FFD], IR = 048 [30]\n");
}

TEST(SimulatorStops, StackFaultsWriteTheMapWithPositionLine) {
    SimRun under = simulate("0 64 1 33");  // nop, ret on an empty stack
    EXPECT_EQ(under.output,
              HEAD + spinner(2) + "\nERROR\n Stack underflow\nPC = 00001 [0001], IR = 033 [21]\n");
    EXPECT_EQ(under.status, 255);
    EXPECT_FALSE(under.memmap2.empty());
    SimRun over = simulate("0 32 0");  // call itself until the stack is full
    // 2047 calls fill 4094 bytes; the 2048th call's second push is the 4096th
    EXPECT_EQ(over.output, HEAD + spinner(2048) +
                               "\nERROR\n Stack overflow\nPC = 00000 [0000], IR = 032 [20]\n");
    EXPECT_EQ(over.status, 255);
}

TEST(SimulatorStops, DivisionByZeroHasNoPositionLine) {
    SimRun r = simulate("0 0 0 2 0 7 4 18");  // ldi 0, ldi 7, div
    EXPECT_EQ(r.output, HEAD + spinner(3) + "\nERROR\nDevide by zero\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(r.memmap2.empty());
}

TEST(SimulatorStops, IndirectOverloadForms) {
    SimRun lda = simulate("0 4 100\n100 255 0\n101 255 48\n");
    EXPECT_EQ(lda.output,
              HEAD + "-\n-LDA-\n ERROR indirect overload (> MAX_MEMORY)\nPC = 0, IR = 4\n");
    EXPECT_TRUE(lda.memmap2.empty());
    SimRun sta = simulate("0 0 1 2 5 100\n100 255 0\n101 255 48\n");
    EXPECT_EQ(sta.output, HEAD + spinner(2) + "\n-STA-\n ERROR indirect overload (> MAX_MEMORY)\n");
    EXPECT_EQ(sta.status, 255);
    EXPECT_TRUE(sta.memmap2.empty());
}

TEST(SimulatorStops, AddressOverload) {
    SimRun r = simulate("0 0 1 2 7 16383");  // ldi 1, stdw at 0x3FFF
    EXPECT_EQ(r.output, HEAD + spinner(2) +
                            "\n-STDW-\n ERROR address overload (> MEMORY_SIZE)\n"
                            "PC = 00002 [0002], IR = 007 [07]\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(r.memmap2.empty());
}

TEST(SimulatorLoader, RecordsMayBeSpreadOverLinesOrShareOne) {
    SimRun spread = simulate("0\n0\n7 2\n   65\t\n");
    SimRun one = simulate("0 0 7 2 65");
    EXPECT_EQ(spread.memmap, one.memmap);
    EXPECT_TRUE(one.memmap.starts_with(memory_line(0, 0) + memory_line(1, 7) + memory_line(2, 65)));
    EXPECT_EQ(spread.output, one.output);
}

TEST(SimulatorLoader, OpcodeLengthDecidesTheOperandTokens) {
    // 300 stores 44 (an empty slot: two operand bytes); 200 takes none;
    // a negative operand is stored in two's complement.
    SimRun r = simulate("20 300 513\n30 200\n31 255 9\n40 1 -1\n50 8 258\n0 65");
    EXPECT_NE(r.memmap.find(memory_line(20, 44) + memory_line(21, 1) + memory_line(22, 2)),
              std::string::npos);
    EXPECT_NE(r.memmap.find(memory_line(30, 200) + memory_line(31, 9)), std::string::npos);
    EXPECT_NE(r.memmap.find(memory_line(40, 1) + memory_line(41, 255) + memory_line(42, 255)),
              std::string::npos);
    EXPECT_NE(r.memmap.find(memory_line(50, 8) + memory_line(51, 2) + memory_line(52, 0)),
              std::string::npos);
    EXPECT_EQ(r.status, 0);
}

TEST(SimulatorLoader, TokensConvertLikeDecimalStrings) {
    SimRun r = simulate("0 65 5 255 12x 6 511 abc 7 255 +9 8 -1 3");
    EXPECT_NE(r.memmap.find(memory_line(5, 12) + memory_line(6, 0) + memory_line(7, 9)),
              std::string::npos);
    EXPECT_NE(r.memmap.find(memory_line(8, 3)), std::string::npos);  // -1 is a data marker
}

TEST(SimulatorLoader, ARecordCutShortKeepsWhatItStored) {
    SimRun r = simulate("0 65\n10 1");  // ldiw without its operand
    EXPECT_NE(r.memmap.find(memory_line(10, 1) + memory_line(11, 0)), std::string::npos);
    SimRun lone = simulate("0 65\n20");  // a lone address is not a record
    EXPECT_EQ(lone.status, 0);
}

TEST(SimulatorLoader, EmptyFileRunsFromAnAllZeroMemory) {
    SimRun r = simulate("");
    EXPECT_EQ(std::count(r.memmap.begin(), r.memmap.end(), '\n'), 12288);
    std::size_t zero_lines = 0;
    for (std::size_t at = r.memmap.find(" = 0\n"); at != std::string::npos;
         at = r.memmap.find(" = 0\n", at + 1)) {
        ++zero_lines;
    }
    EXPECT_EQ(zero_lines, 12288u);
    // every byte is opcode 0, ldi 0, so the run pushes until the stack is full
    EXPECT_EQ(r.output, HEAD + spinner(4096) +
                            "\nERROR\n Stack overflow\nPC = 08190 [1FFE], IR = 000 [00]\n");
}

TEST(SimulatorLoader, OutOfRangeRecordsRejectTheWholeFile) {
    struct Case {
        const char* code;
        const char* address;
    };
    const Case cases[] = {{"0 65\n12288 255 1\n", "12288"},
                          {"0 65\n-1 64\n", "-1"},
                          {"0 65\n12286 1 5\n", "12286"},  // operand byte at 12288
                          {"0 65\n12287 0\n", "12287"},    // cut short, still checked
                          {"0 65\n9999999999999999999 64\n", "9223372036854775807"}};
    for (const Case& c : cases) {
        SimRun r = simulate(c.code);
        EXPECT_EQ(r.output,
                  HEAD + "\nERROR\nObject code address out of range : " + c.address + "\n")
            << c.code;
        EXPECT_EQ(r.status, 255);
        EXPECT_TRUE(r.memmap.empty());
    }
    SimRun edge = simulate("0 65\n12285 1 5\n12287 255 1\n");
    EXPECT_EQ(edge.status, 0);
}

TEST(SimulatorLoader, OverlongTokenRejectsTheFile) {
    SimRun r = simulate("0 65 1 255 12345678901234567890\n");
    EXPECT_EQ(r.output, HEAD + "\nERROR\nObject code token too long : 1234567890123456789...\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(r.memmap.empty());
    SimRun nineteen = simulate("0 65 1 255 1234567890123456789\n");
    EXPECT_EQ(nineteen.status, 0);
}

TEST(SimulatorInput, MissingFileAndDirectoryAreNotFound) {
    TempDir dir;
    for (const char* name : {"missing.hx\n", ".\n"}) {
        RunResult r = run_program(simulator_path(), name, dir.path);
        EXPECT_EQ(r.output, HEAD + "\nERROR\nFile not found\n");
        EXPECT_EQ(r.exit_status, 255);
        EXPECT_FALSE(file_exists(dir.file("memmap.txt")));
        EXPECT_FALSE(file_exists(dir.file("memmap2.txt")));
    }
}

TEST(SimulatorInput, EmptyNameEndOfInputAndOverlongNameFail) {
    const std::string failure =
        HEAD + "\nERROR\n Inputfile error\nprogram terminated!\n" + statistics(0, 0, "nan");
    for (const std::string& input :
         {std::string("\n"), std::string(""), std::string(300, 'a') + "\n"}) {
        TempDir dir;
        RunResult r = run_program(simulator_path(), input, dir.path);
        EXPECT_EQ(r.output, failure);
        EXPECT_EQ(r.exit_status, 255);
        EXPECT_FALSE(file_exists(dir.file("memmap.txt")));
        std::string map = read_file(dir.file("memmap2.txt"));
        EXPECT_EQ(std::count(map.begin(), map.end(), '\n'), 12288);
        EXPECT_EQ(map.find("= 1"), std::string::npos);
    }
}

TEST(SimulatorInput, NameWithoutLineEndAndWithBlanks) {
    TempDir dir;
    write_file(dir.file("my prog.hx"), "0 65");
    RunResult r = run_program(simulator_path(), "my prog.hx", dir.path);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.output, HEAD + "-\n-HALT-\n" + statistics(1, 0, "0.000000"));
}

TEST(SimulatorInput, MapsThatCannotBeCreatedAreSkippedWithAMessage) {
    TempDir dir;
    write_file(dir.file("prog.hx"), "0 65");
    std::filesystem::create_directory(dir.file("memmap.txt"));
    std::filesystem::create_directory(dir.file("memmap2.txt"));
    RunResult r = run_program(simulator_path(), {"prog.hx"}, "", dir.path);
    EXPECT_EQ(r.output, HEAD + "\nERROR\n can not create memmap.txt\n-\n-HALT-\n" +
                            statistics(1, 0, "0.000000") +
                            "\nERROR\n can not create memmap2.txt\n");
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.errors,
              "simulator: cannot write the memory map file 'memmap.txt': Is a directory\n"
              "simulator: cannot write the memory map file 'memmap2.txt': Is a directory\n");
}

}  // namespace
