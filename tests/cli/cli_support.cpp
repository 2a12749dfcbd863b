#include "cli_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>

Files files_in(const std::string& directory) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        files[entry.path().filename()] = read_file(entry.path());
    }
    return files;
}

std::vector<std::string> example_files() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() == ".asm") files.push_back(entry.path().filename());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string example_source(const std::string& example) {
    return read_file(std::string(EXAMPLES_DIR) + "/" + example);
}

std::string base_name(const std::string& file) { return file.substr(0, file.find('.')); }

std::string assemble_example(const std::string& example) {
    TempDir dir;
    write_file(dir.file(example), example_source(example));
    RunResult r = run_program(assembler_path(), example + "\n", dir.path);
    EXPECT_EQ(r.exit_status, 0) << example;
    return read_file(dir.file(base_name(example) + ".hx"));
}

std::string project_version() { return PROJECT_VERSION; }

bool built_from_clone() { return std::filesystem::exists(std::string(SOURCE_DIR) + "/.git"); }
const std::string HELLO = "ldi 72\nout 0\nldi 105\nout 0\nhlt\n";
const std::string HELLO_HX = "0 0 72 \n2 9 0 \n4 0 105 \n6 9 0 \n8 65 \n";

RunResult shell(const TempDir& dir, const std::string& script, const std::string& input) {
    std::string programs = "A='" + assembler_path() + "' S='" + simulator_path() + "' C='" +
                           CHECKER_PATH + "' D='" + DISASSEMBLER_PATH + "' G='" + DEBUGGER_PATH +
                           "' L='" + LANGUAGE_SERVER_PATH + "' P='" + DEBUG_ADAPTER_PATH + "'; ";
    if (!file_exists(dir.file("hello.asm"))) write_file(dir.file("hello.asm"), HELLO);
    if (!file_exists(dir.file("hello.hx"))) write_file(dir.file("hello.hx"), HELLO_HX);
    return run_program("/bin/sh", {"-c", programs + script}, input, dir.path);
}
