// Checks every examples/*.asm against its own expect block with the
// checker, then runs it through the assembler and the simulator, as a user
// would with the name piped in, and checks that the simulator shows the same
// port 0 output and statistics as the checker's run. Adding an example is
// adding one file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "opcode_table.hpp"
#include "run_program.hpp"
#include "simulator_output.hpp"

namespace {

std::vector<std::string> example_files() {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR, error)) {
        if (entry.path().extension() == ".asm") files.push_back(entry.path().filename());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string test_name(const testing::TestParamInfo<std::string>& info) {
    std::string name;
    for (char c : info.param.substr(0, info.param.rfind('.'))) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

std::string base_name(const std::string& file) { return file.substr(0, file.find('.')); }

// The mnemonics used as instructions in a source: every word outside
// comments that names an instruction, label definitions excluded.
std::set<std::string> mnemonics_in(const std::string& source) {
    std::set<std::string> found;
    std::istringstream lines(source);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line.substr(0, line.find(';')));
        std::string word;
        while (words >> word) {
            if (word[0] == '[') continue;
            std::transform(word.begin(), word.end(), word.begin(),
                           [](unsigned char c) { return std::tolower(c); });
            if (find_mnemonic(word.c_str()) != nullptr) found.insert(word);
        }
    }
    return found;
}

// Whether one of the case's expectations starts with key.
bool expects(const nlohmann::json& test, const std::string& key) {
    for (const auto& line : test["expectations"]) {
        if (line.get<std::string>().rfind(key + " ", 0) == 0) return true;
    }
    return false;
}

}  // namespace

class ExampleProgram : public testing::TestWithParam<std::string> {};

TEST_P(ExampleProgram, RunsAsItsExpectBlockSays) {
    const std::string file = GetParam();
    const std::string source = read_file(std::string(EXAMPLES_DIR) + "/" + file);
    TempDir dir;
    write_file(dir.file(file), source);

    RunResult checked = run_program(CHECKER_PATH, {"--json", file}, "", dir.path);
    ASSERT_EQ(checked.exit_status, 0) << checked.output;
    const nlohmann::json test = nlohmann::json::parse(checked.output)["files"][0]["cases"][0];
    EXPECT_TRUE(test["passed"].get<bool>()) << test["failures"];
    EXPECT_TRUE(expects(test, "out")) << file << " has no '; expect: out' line";
    EXPECT_TRUE(expects(test, "instructions")) << file << " has no '; expect: instructions N' line";
    EXPECT_TRUE(expects(test, "clocks")) << file << " has no '; expect: clocks N' line";
    const nlohmann::json& facts = test["run"];
    ASSERT_EQ(facts["outcome"], "halted");

    const std::string base = base_name(file);
    RunResult assembled = run_program(assembler_path(), file + "\n", dir.path);
    ASSERT_EQ(assembled.exit_status, 0) << assembled.output;
    ASSERT_TRUE(file_exists(dir.file(base + ".hx"))) << assembled.output;
    EXPECT_FALSE(file_exists(dir.file(base + ".ps1")));
    EXPECT_EQ(assembled.output.find("ERROR"), std::string::npos) << assembled.output;

    RunResult run = run_program(simulator_path(), base + ".hx\n", dir.path);
    EXPECT_EQ(run.exit_status, 0) << run.output;
    EXPECT_NE(run.output.find("\n-HALT-\n"), std::string::npos) << "the run did not end with hlt";
    const RunReport report = parse_simulator_output(run.output);
    EXPECT_TRUE(report.problems.empty()) << "display with unequal numbers: " << report.problems[0];
    EXPECT_EQ(nlohmann::json(report.port0_values), facts["out"]) << "port 0 output";
    EXPECT_EQ(report.instructions, facts["instructions"].get<long long>()) << "No. instruction";
    EXPECT_EQ(report.clocks, facts["clocks"].get<long long>()) << "No. clock";
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleProgram, testing::ValuesIn(example_files()), test_name);

TEST(ExampleSet, ShowsEveryInstructionAtLeastOnce) {
    const std::vector<std::string> files = example_files();
    EXPECT_GE(files.size(), 8u);
    std::set<std::string> used;
    for (const std::string& file : files) {
        used.merge(mnemonics_in(read_file(std::string(EXAMPLES_DIR) + "/" + file)));
    }
    int defined = 0;
    for (const OpcodeEntry& entry : OpcodeTable) {
        if (entry.mnemonic[0] == '\0') continue;
        ++defined;
        EXPECT_TRUE(used.count(entry.mnemonic)) << entry.mnemonic << " appears in no example";
    }
    EXPECT_EQ(defined, 56);
}
