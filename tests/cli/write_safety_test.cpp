// Files a run writes: none it was not asked to (a memory map over the
// object code, a pass-1 file through a link, the console into a trace), and
// every result whole or not at all, with one line on standard error and a
// status that says so when it cannot be written (/dev/full, a full file
// system). Inputs that must not hurt: a NUL byte in a line, a line end in a
// name, a huge command.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <filesystem>
#include <fstream>

#include "cli_support.hpp"

namespace {

namespace fs = std::filesystem;

TEST(FilesNotNamed, AreNeverTouched) {
    struct Case {
        std::string setup;   // shell commands run first
        std::string script;  // the run
        int status;
        std::string errors;
        Files kept;  // files that must hold these bytes afterwards
    };
    const Case cases[] = {
        {"cp hello.hx memmap.txt",
         "$S memmap.txt </dev/null >/dev/null",
         2,
         "simulator: the memory map file 'memmap.txt' is the same file as the object code file "
         "'memmap.txt'\n",
         {{"memmap.txt", HELLO_HX}}},
        {"cp hello.hx h3.hx; ln h3.hx memmap2.txt",
         "$S h3.hx </dev/null >/dev/null",
         2,
         "simulator: the memory map file 'memmap2.txt' is the same file as the object code file "
         "'h3.hx'\n",
         {{"h3.hx", HELLO_HX}, {"memmap2.txt", HELLO_HX}}},
        {"echo 'precious data' > precious.txt; cp hello.asm v.asm; ln -s precious.txt v.ps1",
         "$A v.asm >/dev/null; test -L v.ps1",
         0,
         "",
         {{"precious.txt", "precious data\n"}}},
        // The pass-1 file is the assembler's own: a file there is replaced.
        {"echo notes > prog.ps1; cp hello.asm prog.asm",
         "$A -o prog.obj prog.asm >/dev/null; test ! -e prog.ps1",
         0,
         "",
         {{"prog.obj", HELLO_HX}}},
        // A closed standard output: nothing but trace lines in the trace.
        {"", "$S --trace t.tr hello.hx </dev/null >&-; grep -vc '^[0-9]' t.tr", 1, "", {}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        shell(dir, c.setup);
        RunResult r = shell(dir, c.script);
        EXPECT_EQ(r.exit_status, c.status) << c.script;
        EXPECT_EQ(r.errors, c.errors) << c.script;
        for (const auto& [name, bytes] : c.kept)
            EXPECT_EQ(read_file(dir.file(name)), bytes) << name;
        for (const auto& [name, bytes] : files_in(dir.path))
            EXPECT_EQ(name.find(".ps1."), std::string::npos) << "left behind: " << name;
    }
}

TEST(WriteFailures, OnAFullDeviceSayWhatAndFail) {
    if (!file_exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    struct Case {
        std::string script;
        int status;
        std::string errors;
    };
    const std::string full = "No space left on device\n";
    const Case cases[] = {
        {"$A -o /dev/full hello.asm >/dev/null", 1,
         "assembler: cannot write the object code file '/dev/full': " + full},
        {"$A --listing /dev/full hello.asm >/dev/null", 1,
         "assembler: cannot write the listing file '/dev/full': " + full},
        {"printf 'hello.asm\\n' | $A >/dev/full", 1,
         "assembler: cannot write the standard output: " + full},
        {"$S hello.hx </dev/null >/dev/full", 1,
         "simulator: cannot write the standard output: " + full},
        {"$S --trace /dev/full hello.hx </dev/null >/dev/null", 1,
         "simulator: cannot write the trace file '/dev/full': " + full},
        {"$C hello.asm >/dev/full", 2, "checker: cannot write the standard output: " + full},
        {"$D -o /dev/full hello.hx", 1,
         "disassembler: cannot write the output file '/dev/full': " + full},
        {"$D hello.hx >/dev/full", 1, "disassembler: cannot write the standard output: " + full},
        {"echo run | $G hello.asm >/dev/full", 1,
         "debugger: cannot write the standard output: " + full},
        {"$A --version >/dev/full", 1, "assembler: cannot write the standard output: " + full},
    };
    for (const Case& c : cases) {
        TempDir dir;
        RunResult r = shell(dir, c.script);
        EXPECT_EQ(r.exit_status, c.status) << c.script;
        EXPECT_EQ(r.errors, c.errors) << c.script;
    }
    // The debugger's profile says so at its prompt and the session goes on.
    TempDir dir;
    RunResult r = shell(dir, "printf 'continue\\nprofile /dev/full\\nquit\\n' | $G hello.asm");
    EXPECT_NE(r.output.find("cannot write '/dev/full': No space left on device"),
              std::string::npos);
    EXPECT_EQ(r.exit_status, 0);
}

// A small file system, filled: every result file keeps its old bytes, no
// temporary file stays, and the run says so.
TEST(WriteFailures, OnAFullFileSystemLeaveTheOldFile) {
    TempDir dir;
    std::string mounted = dir.file("small");
    fs::create_directory(mounted);
    if (::mount("tmpfs", mounted.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        std::string at;
        ~Unmount() { ::umount(at.c_str()); }
    } unmount{mounted};
    const std::string old = "old bytes\n";
    std::string big_source;
    for (int i = 0; i < 3000; ++i) big_source += "ldi 1\n";
    big_source += "hlt\n";
    struct Case {
        std::string script;
        std::string target;
        int status;
        std::uintmax_t room;  // bytes left free: the pass-1 file (21 KB) must fit
    };
    const Case cases[] = {
        {"$A -o big.hx big.asm >/dev/null", "big.hx", 1, 32 << 10},
        {"$A --listing big.lst -o x.hx big.asm >/dev/null", "big.lst", 1, 56 << 10},
        {"$S --trace t.tr hello.hx </dev/null >/dev/null", "t.tr", 1, 0},
        {"$S hello.hx </dev/null >/dev/null", "memmap.txt", 1, 0},
        {"$D -o d.asm hello.hx", "d.asm", 1, 0},
        {"printf 'continue\\nprofile p.out\\n' | $G hello.asm", "p.out", 0, 0},
    };
    for (const Case& c : cases) {
        for (const auto& entry : fs::directory_iterator(mounted)) fs::remove(entry.path());
        write_file(mounted + "/big.asm", big_source);
        write_file(mounted + "/hello.asm", HELLO);
        write_file(mounted + "/hello.hx", HELLO_HX);
        write_file(mounted + "/" + c.target, old);
        {
            // Fill what is left.
            std::ofstream filler(mounted + "/filler", std::ios::binary);
            std::string block(4096, 'f');
            while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
            }
        }
        std::uintmax_t filled = fs::file_size(mounted + "/filler");
        fs::resize_file(mounted + "/filler", filled > c.room ? filled - c.room : 0);
        RunResult r =
            run_program("/bin/sh",
                        {"-c", "A='" + assembler_path() + "' S='" + simulator_path() + "' D='" +
                                   DISASSEMBLER_PATH + "' G='" + DEBUGGER_PATH + "'; " + c.script},
                        "", mounted);
        EXPECT_EQ(r.exit_status, c.status) << c.script;
        EXPECT_EQ(read_file(mounted + "/" + c.target), old) << c.script;
        EXPECT_NE(r.errors + r.output, "") << c.script;
        for (const auto& entry : fs::directory_iterator(mounted))
            EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
    }
}

}  // namespace

namespace {

// Inputs that must not hurt: a NUL byte in a line, a line end in a name,
// an org beyond 32 bits, a huge command, outputs that cannot be made.
TEST(HostileInput, IsWarnedAboutRefusedOrBounded) {
    struct Case {
        std::string setup;
        std::string script;
        int status;
        std::string output;  // a part of standard output
        std::string errors;  // standard error whole
    };
    const std::string usage_a =
        "Usage: assembler [--warnings] [--listing FILE] [-o OBJECT_FILE] [SOURCE_FILE]\n";
    const Case cases[] = {
        {"printf 'ldi 1\\0 out 0\\nhlt\\n' > b.asm", "$A --warnings b.asm >/dev/null; cat b.hx", 0,
         "0 0 1 \n2 65 \n",
         "b.asm:1: warning: a NUL byte ends the line here; what follows is not read\n"},
        {"printf 'org 4294967396\\nnop\\n' > o.asm", "$A --warnings o.asm >/dev/null; cat o.hx", 0,
         "100 64 \n", "o.asm:1: warning: org 4294967396 is taken as 100\n"},
        // The debugger shows the line as the assembler read it.
        {"printf 'ldi 1\\0 out 0\\nhlt\\n' > b.asm", "$G b.asm </dev/null", 0,
         "at 0000 ldi 1\n    1: ldi 1\n", ""},
        {"", "$A \"$(printf 'nl\\nx.asm')\"", 2, "",
         "assembler: a file name cannot hold a line end\n" + usage_a},
        {"", "$S \"$(printf 'a\\nb.hx')\"", 2, "",
         "simulator: a file name cannot hold a line end\n"
         "Usage: simulator [--trace FILE] [--check[=all]] [OBJECT_FILE]\n"},
        {"", "printf 'hello.hx\\0zzz\\n' | $G", 255, "a file name cannot hold a NUL byte\n", ""},
        {"", "head -c 100000 /dev/zero | tr '\\0' x | $G hello.hx", 0,
         "unknown command '" + std::string(80, 'x') + "...' (help lists the commands)\n", ""},
        {"mkdir outd", "$A -o outd/ hello.asm >/dev/null", 255, "",
         "assembler: cannot write the object code file 'outd/': Is a directory\n"},
        {"", "$D -o /proc/self/d.asm hello.hx", 1, "",
         "disassembler: cannot write the output file '/proc/self/d.asm': No such file or "
         "directory\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        shell(dir, c.setup);
        RunResult r = shell(dir, c.script);
        EXPECT_EQ(r.exit_status, c.status) << c.script;
        EXPECT_NE(r.output.find(c.output), std::string::npos) << c.script << "\n" << r.output;
        EXPECT_EQ(r.errors, c.errors) << c.script;
        // A refused name makes no file.
        if (c.status == 2) {
            EXPECT_EQ(files_in(dir.path).size(), 2U) << c.script;
        }
    }
}

}  // namespace
