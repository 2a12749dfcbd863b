// The simulator against hostile input: object code files with extreme,
// malformed and binary tokens, a 100 MB file, records at the edges of the
// program and data area, odd names and memory maps that cannot be written.
// The sanitizer configuration runs the same cases against its build.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "run_program.hpp"

namespace fs = std::filesystem;

namespace {

const std::string HEAD =
    "CPU reset ...  success ...\n- Stack machine simulator -\n- Object code file :";
const std::string HALT_ONE = "-\n-HALT-\nNo. instruction = 1\nNo. clock = 0,CPI = 0.000000\n";
const std::string NOT_FOUND = HEAD + "\nERROR\nFile not found\n";

std::string memory_line(int address, int value) {
    return "MEM[" + std::string(5 - std::min<std::size_t>(5, std::to_string(address).size()), '0') +
           std::to_string(address) + "] = " + std::to_string(value) + "\n";
}

// Lines of memmap.txt for the addresses first..first + values.size() - 1.
std::string map_lines(int first, std::initializer_list<int> values) {
    std::string lines;
    for (int v : values) lines += memory_line(first++, v);
    return lines;
}

struct Loaded {
    RunResult run;
    std::string memmap;  // "" when not written
};

Loaded load(const std::string& object_code) {
    TempDir dir;
    write_file(dir.file("prog.hx"), object_code);
    Loaded l{run_program(simulator_path(), "prog.hx\n", dir.path), ""};
    if (file_exists(dir.file("memmap.txt"))) l.memmap = read_file(dir.file("memmap.txt"));
    return l;
}

std::string refusal(const std::string& message) { return HEAD + "\nERROR\n" + message + "\n"; }

TEST(HostileObjectCode, ExtremeValuesAreReducedToTheirLowBits) {
    // 9999999999999999999 saturates at 2^63 - 1: as an opcode its low byte
    // 255 makes a data record, as a word operand it stores 255 255.
    // -999999999999999999 is -0x0DE0B6B3A763FFFF: low byte 1 (ldiw), low word 1.
    Loaded l = load(
        "0 65\n5 9999999999999999999 7\n10 -999999999999999999 9\n"
        "20 1 9999999999999999999\n30 1 -999999999999999999\n");
    EXPECT_EQ(l.run.output, HEAD + HALT_ONE);
    EXPECT_EQ(l.run.exit_status, 0);
    EXPECT_NE(l.memmap.find(map_lines(5, {7, 0})), std::string::npos);
    EXPECT_NE(l.memmap.find(map_lines(10, {1, 9, 0})), std::string::npos);
    EXPECT_NE(l.memmap.find(map_lines(20, {1, 255, 255})), std::string::npos);
    EXPECT_NE(l.memmap.find(map_lines(30, {1, 1, 0})), std::string::npos);
}

TEST(HostileObjectCode, NonNumericTokensReadAsZeroOrTheirLeadingDigits) {
    // "x" is address 0 and "hlt" opcode 0 (ldi): the later "0 65" wins.
    Loaded l = load("x hlt 77\n0x10 65\n40 255 - 41 255 12e3\n");
    EXPECT_EQ(l.run.output, HEAD + HALT_ONE);
    EXPECT_NE(l.memmap.find(map_lines(0, {65, 77})), std::string::npos);
    EXPECT_NE(l.memmap.find(map_lines(40, {0, 12})), std::string::npos);
}

TEST(HostileObjectCode, RecordsAtTheEdgeOfTheArea) {
    struct Case {
        const char* code;
        const char* refused_address;  // nullptr: accepted
    };
    const Case cases[] = {
        {"12287 200", nullptr},    // no slot: one byte, fits
        {"12287 -56", nullptr},    // -56 is opcode 200 as well
        {"12287 300 1", "12287"},  // 300 is opcode 44, an empty slot: three bytes
        {"12286 12 5", "12286"},   // empty slot 12 at 12286 reaches 12288
        {"12285 12 5", nullptr},   // ... and fits at 12285
        {"12287 0 1", "12287"},    // ldi needs 12288 for its operand
        {"12287 65", nullptr},     // hlt fits in the last byte
        {"-999999999999999999 65", "-999999999999999999"},
        {"12288 -1 0", "12288"},  // a data record (-1 is 255) one past the end
    };
    for (const Case& c : cases) {
        Loaded l = load(std::string("0 65\n") + c.code + "\n");
        if (c.refused_address == nullptr) {
            EXPECT_EQ(l.run.exit_status, 0) << c.code;
            EXPECT_EQ(std::count(l.memmap.begin(), l.memmap.end(), '\n'), 12288) << c.code;
        } else {
            EXPECT_EQ(l.run.output, refusal(std::string("Object code address out of range : ") +
                                            c.refused_address))
                << c.code;
            EXPECT_EQ(l.run.exit_status, 255) << c.code;
            EXPECT_TRUE(l.memmap.empty()) << c.code;
        }
    }
}

TEST(HostileObjectCode, BinaryGarbage) {
    // NUL bytes make a token without digits: address 0.
    Loaded nuls = load(std::string("\0\0\0 65", 6));
    EXPECT_EQ(nuls.run.output, HEAD + HALT_ONE);
    EXPECT_EQ(nuls.run.exit_status, 0);

    // A run of high and control bytes without a blank is one long token; the
    // message shows its first 19 bytes as they are.
    std::string garbage;
    std::mt19937 random(7);
    while (garbage.size() < 4000) {
        char c = static_cast<char>(random() % 256);
        bool blank = c == ' ' || (c >= '\t' && c <= '\r');
        if (c != '\0' && !blank) garbage += c;
    }
    Loaded bytes = load(garbage);
    EXPECT_EQ(bytes.run.output,
              refusal("Object code token too long : " + garbage.substr(0, 19) + "..."));
    EXPECT_EQ(bytes.run.exit_status, 255);
    EXPECT_TRUE(bytes.memmap.empty());

    // Random bytes of every kind must end in a refusal, a halt or a stop,
    // never in a crash or a signal.
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 r(seed);
        std::string noise;
        for (int i = 0; i < 3000; ++i) noise += static_cast<char>(r() % 4 == 0 ? ' ' : r() % 256);
        Loaded l = load(noise);
        EXPECT_TRUE(l.run.exit_status == 0 || l.run.exit_status == 255) << "seed " << seed;
        EXPECT_EQ(l.run.output.rfind(HEAD, 0), 0u) << "seed " << seed;
    }
}

long children_peak_kilobytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

TEST(HostileObjectCode, HundredMegabyteFiles) {
    const std::size_t size = 100u << 20;
    TempDir dir;
    {
        // 100 MB of line ends with one record at the end: read as a stream,
        // never held whole.
        std::ofstream out(dir.file("big.hx"), std::ios::binary);
        std::string block(1 << 20, '\n');
        for (std::size_t written = 0; written < size; written += block.size()) out << block;
        out << "0 65\n";
    }
    auto start = std::chrono::steady_clock::now();
    RunResult r = run_program(simulator_path(), "big.hx\n", dir.path);
    EXPECT_EQ(r.output, HEAD + HALT_ONE);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_LT(children_peak_kilobytes(), 64 * 1024) << "the file was held in memory";

    // 100 MB that go wrong in the first record: refused without reading on.
    {
        std::ofstream out(dir.file("bad.hx"), std::ios::binary);
        out << "0 65\n99999 64\n";
    }
    ASSERT_EQ(truncate(dir.file("bad.hx").c_str(), static_cast<off_t>(size)), 0);
    RunResult bad = run_program(simulator_path(), "bad.hx\n", dir.path);
    EXPECT_EQ(bad.output, refusal("Object code address out of range : 99999"));
    EXPECT_EQ(bad.exit_status, 255);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

TEST(HostileNames, BlanksAroundTheNameArePartOfIt) {
    TempDir dir;
    write_file(dir.file("prog.hx"), "0 65");
    for (const char* typed : {" prog.hx\n", "prog.hx \n", "prog.hx\t\n"}) {
        RunResult r = run_program(simulator_path(), typed, dir.path);
        EXPECT_EQ(r.output, NOT_FOUND) << '"' << typed << '"';
        EXPECT_EQ(r.exit_status, 255);
    }
    write_file(dir.file(" prog.hx "), "0 65");
    RunResult r = run_program(simulator_path(), " prog.hx \n", dir.path);
    EXPECT_EQ(r.output, HEAD + HALT_ONE);
}

TEST(HostileNames, LongestNameAndOneMore) {
    TempDir dir;
    std::string longest(255, 'n');  // also the longest file name the system allows
    write_file(dir.file(longest), "0 65");
    RunResult r = run_program(simulator_path(), longest + "\n", dir.path);
    EXPECT_EQ(r.output, HEAD + HALT_ONE);
    EXPECT_EQ(r.exit_status, 0);

    RunResult over = run_program(simulator_path(), longest + "n\n", dir.path);
    EXPECT_EQ(over.output, HEAD +
                               "\nERROR\n Inputfile error\nprogram terminated!\n"
                               "No. instruction = 0\nNo. clock = 0,CPI = nan\n");
    EXPECT_EQ(over.exit_status, 255);

    // A path far longer than the input line holds, from a script gone wrong,
    // and a name with a NUL byte, which no file name can hold.
    write_file(dir.file("pro"), "0 65");
    for (const std::string& typed :
         {std::string(100000, '/') + "\n", std::string("pro\0g.hx\n", 9)}) {
        RunResult r = run_program(simulator_path(), typed, dir.path);
        EXPECT_EQ(r.output, over.output);
        EXPECT_EQ(r.exit_status, 255);
    }
}

TEST(HostileNames, NamesThatCannotBeReadAsAFile) {
    TempDir dir;
    write_file(dir.file("file"), "0 65");
    fs::create_symlink("nowhere", dir.file("dangling.hx"));
    fs::create_symlink("loop.hx", dir.file("loop.hx"));
    std::vector<std::string> names = {"file/prog.hx", "dangling.hx", "loop.hx"};
    // Opens, but every read fails: the simulator's own memory at address 0.
    if (file_exists("/proc/self/mem")) names.push_back("/proc/self/mem");
    if (geteuid() != 0) {  // root reads whatever the permissions say
        write_file(dir.file("locked.hx"), "0 65");
        chmod(dir.file("locked.hx").c_str(), 0);
        names.push_back("locked.hx");
    }
    for (const std::string& name : names) {
        RunResult r = run_program(simulator_path(), name + "\n", dir.path);
        EXPECT_EQ(r.output, NOT_FOUND) << name;
        EXPECT_EQ(r.exit_status, 255) << name;
        EXPECT_FALSE(file_exists(dir.file("memmap.txt"))) << name;
    }
}

const std::string NO_MAPS =
    "\nERROR\n can not create memmap.txt\n" + HALT_ONE + "\nERROR\n can not create memmap2.txt\n";

TEST(HostileNames, MemoryMapsThatCannotBeCreated) {
    {
        // A directory where nothing can be created, even by root.
        TempDir dir;
        write_file(dir.file("prog.hx"), "0 65");
        RunResult r = run_program(simulator_path(), dir.file("prog.hx") + "\n", "/proc/self");
        EXPECT_EQ(r.output, HEAD + NO_MAPS);
        EXPECT_EQ(r.exit_status, 1);
    }
    {
        // A stop that writes memmap2.txt carries on to its exit status.
        TempDir dir;
        write_file(dir.file("prog.hx"), "0 64 1 33");  // nop, ret on an empty stack
        fs::create_directory(dir.file("memmap2.txt"));
        RunResult r = run_program(simulator_path(), "prog.hx\n", dir.path);
        EXPECT_EQ(r.output, HEAD +
                                "-\b\\\nERROR\n Stack underflow\nPC = 00001 [0001], IR = 033 [21]\n"
                                "\nERROR\n can not create memmap2.txt\n");
        EXPECT_EQ(r.exit_status, 255);
    }
}

// Memory maps that open but refuse every write, as on a full disk (here a
// file size limit), are not written either and must say so.
TEST(HostileNames, MemoryMapsOnAFullDisk) {
    TempDir dir;
    write_file(dir.file("prog.hx"), "0 65");
    RunResult r = run_program(
        "/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 8; exec " + simulator_path() + " prog.hx"}, "",
        dir.path);
    EXPECT_EQ(r.output, HEAD + NO_MAPS);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.errors,
              "simulator: cannot write the memory map file 'memmap.txt': File too large\n"
              "simulator: cannot write the memory map file 'memmap2.txt': File too large\n");
}

}  // namespace
