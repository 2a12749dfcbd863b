// The assembler's options: -o names the object code file, --warnings
// reports on standard error and --listing writes the machine code, neither
// changing anything else (on the examples: command_line_test.cpp).
#include <gtest/gtest.h>

#include "cli_support.hpp"

namespace {

// -o names the object code file; its pass-1 file takes the extension .ps1,
// and stays on disk after an error, as the derived one does; the object code
// of a failed run is not put in place.
TEST(AssemblerOperand, OutputNameGivesBothFileNames) {
    TempDir dir;
    write_file(dir.file("p.asm"), "ldi 1\nhlt\n");
    write_file(dir.file("bad.asm"), "jmp nowhere\n");
    RunResult ok = run_program(assembler_path(), {"-o", "out.obj", "p.asm"}, "", dir.path);
    RunResult bad = run_program(assembler_path(), {"bad.asm", "--output", "b"}, "", dir.path);
    EXPECT_EQ(ok.exit_status, 0);
    EXPECT_EQ(bad.exit_status, 255);
    EXPECT_EQ(files_in(dir.path), (Files{{"bad.asm", "jmp nowhere\n"},
                                         {"b.ps1", "jmp nowhere \n"},
                                         {"out.obj", "0 0 1 \n2 65 \n"},
                                         {"p.asm", "ldi 1\nhlt\n"}}));
}

TEST(AssemblerWarnings, EachFindingHasItsLine) {
    const std::string source =
        "[start ldi 5 6\nlld 5\nhlt 3\ndb 5 6\nldi 300\nout 256\ndw 70000\norg 1\njmp\n"
        "start\njmp start\norg 12287\ndw 1\n";
    const std::string expected =
        "s.asm:1: warning: the number 6 is passed over\n"
        "s.asm:2: warning: no instruction, directive or label: 'lld' is passed over\n"
        "s.asm:2: warning: the number 5 is passed over\n"
        "s.asm:3: warning: the number 3 is passed over\n"
        "s.asm:4: warning: the number 6 is passed over\n"
        "s.asm:5: warning: 300 does not fit in a byte: 44 is stored\n"
        "s.asm:6: warning: 256 does not fit in a byte: 0 is stored\n"
        "s.asm:7: warning: 70000 does not fit in a word: 4464 is stored\n"
        "s.asm:8: warning: org 1 moves back over bytes already assembled (up to address 9)\n"
        "s.asm:9: warning: jmp has no operand: the object code is read out of step from here\n"
        "s.asm:10: warning: label 'start' is passed over\n"
        "s.asm:13: warning: bytes at address 12288 or above: the simulator refuses the file\n";
    TempDir dir;
    std::filesystem::create_directory(dir.file("v1.0"));
    write_file(dir.file("v1.0/s.asm"), source);
    write_file(dir.file("s.asm"), source);
    RunResult quiet = run_program(assembler_path(), "s.asm\n", dir.path);
    RunResult w = run_program(assembler_path(), {"--warnings", "s.asm"}, "", dir.path);
    EXPECT_EQ(w.errors, expected);
    EXPECT_EQ(w.output, quiet.output);
    EXPECT_EQ(w.exit_status, quiet.exit_status);
    // A '.' in a directory name makes the base name end there.
    RunResult in_directory =
        run_program(assembler_path(), {"--warnings", "v1.0/s.asm"}, "", dir.path);
    EXPECT_TRUE(in_directory.errors.starts_with(
        "v1.0/s.asm: warning: the output names end at the first '.', which is in a directory "
        "name: v1.ps1 and v1.hx\nv1.0/s.asm:1: warning: the number 6 is passed over\n"))
        << in_directory.errors;
}

TEST(AssemblerListing, ShowsAddressesBytesSourceAndSymbolsByAddress) {
    TempDir dir;
    write_file(dir.file("l.asm"),
               "; demo\norg 256\n[late dw 513\norg 0\n[early ldiw late ; load\n  jmp early\n"
               "db 255\nend\nnot assembled\n");
    RunResult r = run_program(assembler_path(), {"--listing", "l.txt", "l.asm"}, "", dir.path);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(read_file(dir.file("l.txt")),
              "0000            ; demo\n"
              "0000            org 256\n"
              "0100  01 02     [late dw 513\n"
              "0102            org 0\n"
              "0000  01 00 01  [early ldiw late ; load\n"
              "0003  30 00 00    jmp early\n"
              "0006  FF        db 255\n"
              "0007            end\n"
              "\nSymbols by address\n0000  early\n0100  late\n");
}

}  // namespace
