// The driver as its user sees it: the typed name, the files derived from it,
// which files are created, kept or deleted, and the exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "run_assembler.hpp"

namespace fs = std::filesystem;

namespace {

const std::string INPUT_FILE_ERROR = "\nERROR\n Inputfile error\nprogram terminated!\n";
const std::string NOT_FOUND_TWICE = "\n File not found\n\n-pass2-\n\n File not found\n";

// Every file name in dir with its content ("<dir>" for a directory), by name.
std::string snapshot(const TempDir& dir) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(dir.path)) {
        std::string name = entry.path().filename().string();
        entries.push_back(
            name + "=" +
            (fs::is_directory(entry.path()) ? "<dir>" : read_file(entry.path().string())) + ";");
    }
    std::sort(entries.begin(), entries.end());
    std::string all;
    for (const std::string& e : entries) all += e;
    return all;
}

TEST(AssemblerCli, NameDerivation) {
    struct Case {
        std::string source_path, typed, run_in, object_path;
    } cases[] = {
        {"prog", "prog", "", "prog.hx"},                          // no '.': the whole name
        {"a.b.c", "a.b.c", "", "a.hx"},                           // up to the first '.'
        {"my prog.asm", "my prog.asm", "", "my prog.hx"},         // blanks belong to the name
        {"src/prog.asm", "../src/prog.asm", "work", "work/.hx"},  // a '.' in a directory part
        {std::string(251, 'b'), std::string(251, 'b'), "",
         std::string(251, 'b') + ".hx"},  // longest base
    };
    for (const Case& c : cases) {
        TempDir dir;
        fs::create_directory(dir.file("src"));
        fs::create_directory(dir.file("work"));
        write_file(dir.file(c.source_path), "nop\n");
        RunResult r = run_program(assembler_path(), c.typed + "\n", dir.file(c.run_in));
        EXPECT_EQ(r.exit_status, 0) << c.typed;
        EXPECT_EQ(content_or_none(dir.file(c.object_path)), "0 64 \n") << c.typed;
        std::string pass1_path = c.object_path.substr(0, c.object_path.size() - 2) + "ps1";
        EXPECT_EQ(content_or_none(dir.file(pass1_path)), NO_FILE) << c.typed;
    }
}

TEST(AssemblerCli, RefusedNamesTouchNoFile) {
    struct Case {
        std::string typed;
        std::function<void(const TempDir&)> prepare;
    } cases[] = {
        {"", [](const TempDir&) {}},
        {std::string(256, 'n'), [](const TempDir&) {}},
        {std::string(252, 'c'),
         [](const TempDir& d) { write_file(d.file(std::string(252, 'c')), "nop\n"); }},
        {std::string(252, 'c') + ".s", [](const TempDir&) {}},
        // The derived names would write over the source itself.
        {"prog.ps1", [](const TempDir& d) { write_file(d.file("prog.ps1"), "nop\n"); }},
        {"prog.hx", [](const TempDir& d) { write_file(d.file("prog.hx"), "nop\n"); }},
        {"prog.asm",
         [](const TempDir& d) {
             write_file(d.file("prog.asm"), "nop\n");
             fs::create_hard_link(d.file("prog.asm"), d.file("prog.ps1"));
         }},
        {"prog.asm",
         [](const TempDir& d) {
             write_file(d.file("prog.asm"), "nop\n");
             fs::create_symlink("prog.asm", d.file("prog.hx"));
         }},
    };
    for (const Case& c : cases) {
        TempDir dir;
        c.prepare(dir);
        std::string before = snapshot(dir);
        RunResult r = run_program(assembler_path(), c.typed + "\n", dir.path);
        EXPECT_EQ(r.output, PROMPT + INPUT_FILE_ERROR) << c.typed.substr(0, 20);
        EXPECT_EQ(r.exit_status, 255);
        EXPECT_EQ(snapshot(dir), before);
    }
    TempDir dir;  // no input at all
    EXPECT_EQ(run_program(assembler_path(), "", dir.path).output, PROMPT + INPUT_FILE_ERROR);
}

TEST(AssemblerCli, SourceNotFoundLeavesAnyPass1FileAlone) {
    std::function<void(const TempDir&)> setups[] = {
        [](const TempDir&) {},
        [](const TempDir& d) {
            write_file(d.file("prog.ps1"), "ldi 5 \n");
        },                      // stale, never assembled
        [](const TempDir& d) {  // a directory opens but cannot be read
            fs::create_directory(d.file("prog.asm"));
            write_file(d.file("prog.ps1"), "nop \n");
        },
    };
    for (const auto& setup : setups) {
        TempDir dir;
        setup(dir);
        std::string before = snapshot(dir);
        RunResult r = run_program(assembler_path(), "prog.asm\n", dir.path);
        EXPECT_EQ(r.output, PROMPT + NOT_FOUND_TWICE);
        EXPECT_EQ(r.exit_status, 255);
        EXPECT_EQ(snapshot(dir), before);
    }
}

TEST(AssemblerCli, OutputFilesThatCannotBeWritten) {
    {
        // A pass-1 name taken (here by a directory): a fresh name beside it.
        TempDir dir;
        fs::create_directory(dir.file("prog.ps1"));
        ProgramRun a = assemble(dir, "nop\n");
        EXPECT_EQ(a.run.output, PROMPT + "    0: nop \n\nSymbol table\n\n-pass2-\n");
        EXPECT_EQ(a.run.exit_status, 0);
        EXPECT_EQ(a.object, "0 64 \n");
        EXPECT_TRUE(fs::is_directory(dir.file("prog.ps1")));
        EXPECT_EQ(snapshot(dir), "prog.asm=nop\n;prog.hx=0 64 \n;prog.ps1=<dir>;");
    }
    {
        TempDir dir;
        fs::create_directory(dir.file("prog.hx"));
        ProgramRun a = assemble(dir, "nop\n");
        EXPECT_EQ(
            a.run.output,
            PROMPT + "    0: nop \n\nSymbol table\n\n-pass2-\n\n File can not create for PASS2\n");
        EXPECT_EQ(a.run.exit_status, 255);
        EXPECT_EQ(a.pass1, NO_FILE);  // closed first, then still deleted
    }
    if (!file_exists("/dev/full")) return;
    // /dev/full opens but refuses every write; its content must never be read here.
    {
        TempDir dir;
        fs::create_symlink("/dev/full", dir.file("prog.hx"));
        write_file(dir.file("prog.asm"), "nop\n");
        RunResult r = run_program(assembler_path(), {"prog.asm"}, "", dir.path);
        EXPECT_EQ(r.output, PROMPT + "    0: nop \n\nSymbol table\n\n-pass2-\n");
        EXPECT_EQ(r.errors,
                  "assembler: cannot write the object code file 'prog.hx': No space left on "
                  "device\n");
        EXPECT_EQ(r.exit_status, 1);
        EXPECT_FALSE(file_exists(dir.file("prog.ps1")));
    }
    {
        // A pass-1 name that is a link: neither followed nor deleted.
        TempDir dir;
        fs::create_symlink("/dev/full", dir.file("prog.ps1"));
        write_file(dir.file("prog.asm"), "nop\n");
        RunResult r = run_program(assembler_path(), "prog.asm\n", dir.path);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_TRUE(fs::is_symlink(dir.file("prog.ps1")));
        EXPECT_EQ(read_file(dir.file("prog.hx")), "0 64 \n");
    }
}

// The pass-1 file of a failed run stays for the student to read; every run
// writes it afresh, and a successful one removes it.
TEST(AssemblerCli, EveryRunWritesThePass1FileAfresh) {
    TempDir dir;
    ProgramRun failed = assemble(dir, "nop\nldi 5 ?\n");
    EXPECT_EQ(failed.pass1, "nop \nldi 5 ? ");
    EXPECT_EQ(failed.object, NO_FILE);
    ProgramRun fixed = assemble(dir, "nop\nldi 5\n");
    EXPECT_EQ(fixed.run.exit_status, 0);
    EXPECT_EQ(fixed.pass1, NO_FILE);
    EXPECT_EQ(fixed.object, "0 64 \n1 0 5 \n");
    EXPECT_EQ(snapshot(dir), "prog.asm=nop\nldi 5\n;prog.hx=0 64 \n1 0 5 \n;");
}

}  // namespace
