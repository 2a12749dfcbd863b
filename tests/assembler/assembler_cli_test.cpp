// The assembler as its user sees it: the prompt, the file names it derives,
// the files it creates and deletes, its exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "assemble.hpp"

namespace fs = std::filesystem;

namespace {

const std::string DEMO =
    "; demo\n"
    "org 100\n"
    "[start\n"
    "ldi 5\n"
    "jmp start\n"
    "db 7\n"
    "dw 1000\n"
    "end\n";

const std::string DEMO_LISTING =
    "    0: ;   d e m o \n"
    "    0: \n"
    "  100: \n"
    "  100: ldi 5 \n"
    "  102: jmp start \n"
    "  105: \n"
    "  106: \n"
    "  108: \n";

const std::string DEMO_OBJECT = "100 0 5 \n102 48 100 \n105 255 7\n106 255 232\n107 255 3\n";

const std::string NOT_FOUND_TWICE = PROMPT + "\n File not found\n\n-pass2-\n\n File not found\n";

int entries(const TempDir& dir) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path)) ++count;
    return count;
}

TEST(AssemblerCli, WorkedExample) {
    TempDir dir;
    Assembly a = assemble(dir, DEMO);
    EXPECT_EQ(a.run.output, PROMPT + DEMO_LISTING + "\nSymbol table\n  100:                start\n\n-pass2-\n");
    EXPECT_EQ(a.object, DEMO_OBJECT);
    EXPECT_FALSE(a.pass1_exists);
    EXPECT_EQ(a.run.exit_status, 0);
}

TEST(AssemblerCli, WorkedExamplePass1FileStaysAfterAPass2Error) {
    TempDir dir;
    std::string source = DEMO;
    source.insert(source.find("end\n"), "jmp nowhere\n");
    Assembly a = assemble(dir, source);
    EXPECT_EQ(a.run.output, PROMPT + DEMO_LISTING.substr(0, DEMO_LISTING.rfind("  108")) +
                                "  108: jmp nowhere \n  111: \n"
                                "\nSymbol table\n  100:                start\n"
                                "\n-pass2-\n\nERROR\nCan not find symbol [nowhere]\n");
    EXPECT_EQ(a.pass1, "\norg 100\n\nldi 5 \njmp start \ndb 7\ndw 1000\njmp nowhere \n\n");
    // The partial object code file ends in the unfinished record.
    EXPECT_EQ(a.object, DEMO_OBJECT + "108 48 ");
    EXPECT_EQ(a.run.exit_status, 255);
}

TEST(AssemblerCli, NameDerivation) {
    {
        TempDir dir;  // no '.': the whole name is the base
        write_file(dir.file("prog"), "nop\n");
        RunResult r = run_program(assembler_path(), "prog\n", dir.path);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(read_file(dir.file("prog.hx")), "0 64 \n");
        EXPECT_FALSE(file_exists(dir.file("prog.ps1")));
    }
    {
        TempDir dir;  // only the text before the first '.' counts
        write_file(dir.file("a.b.c"), "hlt\n");
        RunResult r = run_program(assembler_path(), "a.b.c\n", dir.path);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(read_file(dir.file("a.hx")), "0 65 \n");
        EXPECT_EQ(entries(dir), 2);
    }
    {
        TempDir dir;  // blanks are part of the name
        write_file(dir.file("my prog.asm"), "nop\n");
        RunResult r = run_program(assembler_path(), "my prog.asm\n", dir.path);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_TRUE(file_exists(dir.file("my prog.hx")));
    }
    {
        TempDir dir;  // the first '.' of a directory part leaves an empty base name
        fs::create_directory(dir.file("src"));
        fs::create_directory(dir.file("work"));
        write_file(dir.file("src/prog.asm"), "nop\n");
        RunResult r = run_program(assembler_path(), "../src/prog.asm\n", dir.file("work"));
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(read_file(dir.file("work/.hx")), "0 64 \n");
        EXPECT_FALSE(file_exists(dir.file("work/.ps1")));
        EXPECT_FALSE(file_exists(dir.file("src/prog.hx")));
    }
}

TEST(AssemblerCli, EmptyNameOrNoInput) {
    for (const char* input : {"\n", ""}) {
        TempDir dir;
        RunResult r = run_program(assembler_path(), input, dir.path);
        EXPECT_EQ(r.output, PROMPT + INPUT_FILE_ERROR);
        EXPECT_EQ(r.exit_status, 255);
        EXPECT_EQ(entries(dir), 0);
    }
}

TEST(AssemblerCli, NameLengthLimits) {
    TempDir dir;
    std::string longest_base(251, 'b');  // base.ps1 is exactly 255 characters
    write_file(dir.file(longest_base), "nop\n");
    RunResult r = run_program(assembler_path(), longest_base + "\n", dir.path);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_TRUE(file_exists(dir.file(longest_base + ".hx")));

    for (const std::string& name : {std::string(252, 'c'), std::string(252, 'c') + ".s",
                                    std::string(200, 'd') + "/" + std::string(55, 'e') + ".s"}) {
        TempDir other;
        RunResult refused = run_program(assembler_path(), name + "\n", other.path);
        EXPECT_EQ(refused.output, PROMPT + INPUT_FILE_ERROR) << name.size();
        EXPECT_EQ(refused.exit_status, 255);
        EXPECT_EQ(entries(other), 0);
    }
}

TEST(AssemblerCli, MissingSource) {
    TempDir dir;
    RunResult r = run_program(assembler_path(), "prog.asm\n", dir.path);
    EXPECT_EQ(r.output, NOT_FOUND_TWICE);
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(entries(dir), 0);
}

TEST(AssemblerCli, StalePass1FileIsNeitherAssembledNorDeleted) {
    TempDir dir;
    write_file(dir.file("prog.ps1"), "ldi 5 \n");
    RunResult r = run_program(assembler_path(), "prog.asm\n", dir.path);
    EXPECT_EQ(r.output, NOT_FOUND_TWICE);
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(read_file(dir.file("prog.ps1")), "ldi 5 \n");
    EXPECT_FALSE(file_exists(dir.file("prog.hx")));
}

TEST(AssemblerCli, DirectoryAsSourceCountsAsNotFound) {
    TempDir dir;
    fs::create_directory(dir.file("prog.asm"));
    write_file(dir.file("prog.ps1"), "nop \n");
    RunResult r = run_program(assembler_path(), "prog.asm\n", dir.path);
    EXPECT_EQ(r.output, NOT_FOUND_TWICE);
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(read_file(dir.file("prog.ps1")), "nop \n");
    EXPECT_FALSE(file_exists(dir.file("prog.hx")));
}

TEST(AssemblerCli, Pass1FileCannotBeCreated) {
    TempDir dir;
    write_file(dir.file("prog.asm"), "nop\n");
    fs::create_directory(dir.file("prog.ps1"));
    RunResult r = run_program(assembler_path(), "prog.asm\n", dir.path);
    EXPECT_EQ(r.output, PROMPT + "\n File can not create for PASS1\n\n-pass2-\n\n File not found\n");
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_TRUE(fs::is_directory(dir.file("prog.ps1")));
    EXPECT_FALSE(file_exists(dir.file("prog.hx")));
}

TEST(AssemblerCli, ObjectFileCannotBeCreated) {
    TempDir dir;
    fs::create_directory(dir.file("prog.hx"));
    Assembly a = assemble(dir, "nop\n");
    EXPECT_EQ(a.run.output,
              PROMPT + "    0: nop \n\nSymbol table\n\n-pass2-\n\n File can not create for PASS2\n");
    EXPECT_EQ(a.run.exit_status, 255);
    EXPECT_FALSE(a.pass1_exists);  // closed first, then still deleted
}

TEST(AssemblerCli, OutputNamesThatNameTheSourceAreRefused) {
    for (const char* typed : {"prog.ps1", "prog.hx"}) {
        TempDir dir;
        write_file(dir.file(typed), "nop\n");
        RunResult r = run_program(assembler_path(), std::string(typed) + "\n", dir.path);
        EXPECT_EQ(r.output, PROMPT + INPUT_FILE_ERROR) << typed;
        EXPECT_EQ(r.exit_status, 255);
        EXPECT_EQ(read_file(dir.file(typed)), "nop\n");
        EXPECT_EQ(entries(dir), 1);
    }
    {
        TempDir dir;  // another name of the same file: a hard link
        write_file(dir.file("prog.asm"), "nop\n");
        fs::create_hard_link(dir.file("prog.asm"), dir.file("prog.ps1"));
        RunResult r = run_program(assembler_path(), "prog.asm\n", dir.path);
        EXPECT_EQ(r.output, PROMPT + INPUT_FILE_ERROR);
        EXPECT_EQ(r.exit_status, 255);
        EXPECT_EQ(read_file(dir.file("prog.asm")), "nop\n");
    }
    {
        TempDir dir;  // and a symbolic link in the object code file's place
        write_file(dir.file("prog.asm"), "nop\n");
        fs::create_symlink("prog.asm", dir.file("prog.hx"));
        RunResult r = run_program(assembler_path(), "prog.asm\n", dir.path);
        EXPECT_EQ(r.output, PROMPT + INPUT_FILE_ERROR);
        EXPECT_EQ(r.exit_status, 255);
        EXPECT_EQ(read_file(dir.file("prog.asm")), "nop\n");
        EXPECT_FALSE(file_exists(dir.file("prog.ps1")));
    }
}

TEST(AssemblerCli, RunAfterAnErrorOverwritesAndDeletesThePass1File) {
    TempDir dir;
    Assembly failed = assemble(dir, "nop\nldi 5 ?\n");
    EXPECT_EQ(failed.run.exit_status, 255);
    EXPECT_EQ(failed.pass1, "nop \nldi 5 ? ");
    EXPECT_FALSE(failed.object_exists);

    Assembly fixed = assemble(dir, "nop\nldi 5\n");
    EXPECT_EQ(fixed.run.exit_status, 0);
    EXPECT_FALSE(fixed.pass1_exists);
    EXPECT_EQ(fixed.object, "0 64 \n1 0 5 \n");
}

TEST(AssemblerCli, EmptySource) {
    TempDir dir;
    Assembly a = assemble(dir, "");
    EXPECT_EQ(a.run.output, PROMPT + "\nSymbol table\n\n-pass2-\n");
    EXPECT_EQ(a.run.exit_status, 0);
    EXPECT_TRUE(a.object_exists);
    EXPECT_EQ(a.object, "");
    EXPECT_FALSE(a.pass1_exists);
}

}  // namespace

namespace {

// /dev/full accepts the open and refuses every write with "no space".
TEST(AssemblerCli, FullDiskIsNeverSuccess) {
    if (!file_exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    {
        TempDir dir;
        fs::create_symlink("/dev/full", dir.file("prog.hx"));
        write_file(dir.file("prog.asm"), "nop\n");  // not assemble(): it would read /dev/full
        RunResult r = run_program(assembler_path(), "prog.asm\n", dir.path);
        EXPECT_EQ(r.output, PROMPT + "    0: nop \n\nSymbol table\n\n-pass2-\n");
        EXPECT_EQ(r.exit_status, 255);
        EXPECT_FALSE(file_exists(dir.file("prog.ps1")));
    }
    {
        TempDir dir;  // a pass-1 file cut short is not read back
        fs::create_symlink("/dev/full", dir.file("prog.ps1"));
        Assembly a = assemble(dir, "nop\n");
        EXPECT_EQ(a.run.output, PROMPT + "    0: nop \n\nSymbol table\n\n File can not create for PASS1\n"
                                         "\n-pass2-\n\n File not found\n");
        EXPECT_EQ(a.run.exit_status, 255);
        EXPECT_FALSE(a.object_exists);
        EXPECT_FALSE(fs::is_symlink(dir.file("prog.ps1")));  // deleted: this run made it
    }
}

}  // namespace
