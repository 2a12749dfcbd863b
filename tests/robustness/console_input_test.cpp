// Standard input end to end: thousands of piped key presses, more than the
// console holds at once, keys from a writer that is late, and typed names
// that end in CR LF.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "run_program.hpp"

namespace {

// Every byte after the name is one key press, taken by the key test before
// each instruction. With nop at every address, the Escape after n other keys
// is found before instruction n + 1, with PC at n, however long the pipe.
TEST(PipedKeys, EachKeyTestTakesTheNextKeyOfTheWholeInput) {
    TempDir dir;
    std::string object_code;
    for (int address = 0; address < 12000; ++address) {
        object_code += std::to_string(address) + " 64\n";  // nop
    }
    write_file(dir.file("p.hx"), object_code + "12000 65\n");
    for (int keys : {0, 1, 4090, 4091, 4092, 4100, 8186, 8187, 8188, 11999}) {
        RunResult r =
            run_program(simulator_path(), "p.hx\n" + std::string(keys, 'x') + "\x1b", dir.path);
        int ir = keys == 0 ? 0 : 64;  // nothing fetched yet, or the last nop
        char position[64];
        std::snprintf(position, sizeof position, "PC = %05d [%04X], IR = %03d [%02X]\n", keys, keys,
                      ir, ir);
        std::string tail = std::string("\n-user terminated-\n") + position;
        ASSERT_GE(r.output.size(), tail.size()) << keys << " keys";
        EXPECT_EQ(r.output.substr(r.output.size() - tail.size()), tail) << keys << " keys";
        EXPECT_EQ(r.exit_status, 255) << keys << " keys";
    }
}

// Keys from a pipe are the bytes of the input whenever they arrive: a writer
// that pauses 0.3 s before each part gives exactly the run of the same bytes
// read from a file (console bytes, status, files), and only the end of the
// input means "no key". p.hx: nop at 0 to 19, hlt at 20.
TEST(PipedKeys, ALateWriterGivesTheRunOfTheSameBytesFromAFile) {
    struct Case {
        std::string arguments;           // after the program's name
        std::vector<std::string> parts;  // printf formats, each written after a pause
        std::string seen;                // in the output of both runs
        int status;
    };
    const std::string escape_at_2 = "-user terminated-\nPC = 00002 [0002], IR = 064 [40]\n";
    const std::string halt = "-HALT-\nNo. instruction = 21\n";
    const Case cases[] = {
        {"p.hx", {"xyz\\033"}, "-user terminated-\nPC = 00003 [0003], IR = 064 [40]\n", 255},
        {"", {"p.hx\\nab\\033"}, escape_at_2, 255},
        {"", {"p.hx\\n", "ab\\033"}, escape_at_2, 255},
        {"p.hx", {"a", "b", "\\033"}, escape_at_2, 255},
        {"--trace t.txt p.hx", {"ab\\033"}, escape_at_2, 255},
        {"p.hx", {std::string(21, 'k')}, halt, 0},
        {"p.hx", {""}, halt, 0},
    };
    std::string object_code;
    for (int address = 0; address < 20; ++address) object_code += std::to_string(address) + " 64\n";
    object_code += "20 65\n";
    for (const Case& c : cases) {
        TempDir late, file;
        std::string writer, bytes;
        for (const std::string& part : c.parts) {
            writer += "sleep 0.3; printf '" + part + "'; ";
            bytes += part;
        }
        const std::string command = simulator_path() + " " + c.arguments;
        write_file(late.file("p.hx"), object_code);
        write_file(file.file("p.hx"), object_code);
        std::string piped = "(" + writer;
        piped.append(") | ").append(command);
        std::string from_file = "printf '" + bytes;
        from_file.append("' >k; ").append(command).append(" <k");
        RunResult l = run_program("/bin/sh", {"-c", piped}, "", late.path);
        RunResult f = run_program("/bin/sh", {"-c", from_file}, "", file.path);
        const std::string what = c.arguments + " with " + std::to_string(c.parts.size()) + " parts";
        EXPECT_EQ(l.output, f.output) << what;
        EXPECT_NE(l.output.find(c.seen), std::string::npos) << what << ":\n" << l.output;
        EXPECT_EQ(l.exit_status, c.status) << what;
        EXPECT_EQ(f.exit_status, c.status) << what;
        for (const char* made : {"memmap.txt", "memmap2.txt", "t.txt"}) {
            EXPECT_EQ(read_file(late.file(made)), read_file(file.file(made)))
                << what << ", " << made;
        }
    }
}

// A CR before the line end is dropped from a typed name and not counted
// against its 255 characters, by both programs.
TEST(TypedNames, ALineEndingCrIsNeitherPartOfTheNameNorOfItsLength) {
    TempDir dir;
    const std::string object_name(255, 'n');                       // the longest name
    const std::string source_name = "p." + std::string(253, 'a');  // base name "p"
    write_file(dir.file(object_name), "0 65");
    write_file(dir.file(source_name), "hlt\n");
    const std::string programs[][2] = {{simulator_path(), object_name},
                                       {assembler_path(), source_name}};
    for (const auto& [program, name] : programs) {
        for (const std::string& typed : {name, name + "x"}) {
            RunResult lf = run_program(program, typed + "\n", dir.path);
            RunResult crlf = run_program(program, typed + "\r\n", dir.path);
            EXPECT_EQ(crlf.output, lf.output) << program << ", " << typed.size();
            EXPECT_EQ(crlf.exit_status, lf.exit_status) << program << ", " << typed.size();
            EXPECT_EQ(lf.exit_status, typed == name ? 0 : 255) << program << ", " << typed.size();
        }
    }
    EXPECT_EQ(read_file(dir.file("p.hx")), "0 65 \n");
}

}  // namespace
