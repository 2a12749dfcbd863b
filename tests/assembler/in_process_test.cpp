// The whole assembler run inside the test process, as a fuzz target would
// run it: every run must start from a clean state, whatever the last one
// left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "console_double.hpp"
#include "driver.hpp"
#include "run_program.hpp"

namespace {

class AssemblerInProcess : public ::testing::Test {
protected:
    void SetUp() override {
        saved = std::filesystem::current_path();
        std::filesystem::current_path(dir.path);
    }
    void TearDown() override { std::filesystem::current_path(saved); }

    // Runs assembler_main with name typed at the prompt; returns the status.
    static int run(const std::string& name) {
        console_double_reset("", name);
        try {
            assembler_main();
        } catch (const ExitRequest& exit) {
            return exit.status;
        }
        ADD_FAILURE() << "assembler_main returned";
        return -1;
    }

    TempDir dir;
    std::filesystem::path saved;
};

TEST_F(AssemblerInProcess, ARunStartsFromACleanState) {
    write_file("one.asm", "[a nop\norg 300\njmp missing\nend\n");
    EXPECT_EQ(run("one.asm"), 255);
    EXPECT_EQ(console_double_output(),
              "Stack machine assembler ?     0: nop \n    1: \n  300: jmp missing \n  303: \n"
              "\nSymbol table\n    0:                    a\n\n-pass2-\n\nERROR\nCan not find "
              "symbol [missing]\n");
    EXPECT_FALSE(file_exists("one.hx"));  // not put in place after the error

    EXPECT_EQ(run(""), 255);
    write_file("bad.asm", "ldi ?\n");
    EXPECT_EQ(run("bad.asm"), 255);

    // No symbol, address, end or open file of the earlier runs survives.
    write_file("two.asm", "jmp a\n[a hlt\nnop\n");
    EXPECT_EQ(run("two.asm"), 0);
    EXPECT_EQ(console_double_output(),
              "Stack machine assembler ?     0: jmp a \n    3: hlt \n    4: nop \n"
              "\nSymbol table\n    3:                    a\n\n-pass2-\n");
    EXPECT_EQ(read_file("two.hx"), "0 48 3 \n3 65 \n4 64 \n");
    EXPECT_FALSE(file_exists("two.ps1"));
}

}  // namespace
