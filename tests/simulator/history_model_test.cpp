// The model test of time travel (history_model.hpp): a few hundred random
// command sequences on every example and on programs with nested and
// recursive calls, code that rewrites itself and a machine stop.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "assemble.hpp"
#include "history_model.hpp"
#include "run_program.hpp"

namespace {

TEST(HistoryModel, RandomCommandSequencesAgreeWithAPlainRun) {
    std::vector<std::pair<std::string, std::string>> programs(std::begin(history_model::PROGRAMS),
                                                              std::end(history_model::PROGRAMS));
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() == ".asm")
            programs.emplace_back(entry.path().filename().string(),
                                  read_file(entry.path().string()));
    }
    std::mt19937 random(38);
    int sequences = 0;
    for (const auto& [name, source] : programs) {
        AssemblyResult program = assemble_source(source);
        ASSERT_TRUE(program.ok) << name << ": " << program.error_message;
        auto start = std::make_unique<Machine>();
        reset_and_load(*start, program.image);
        std::uint16_t spot = history_model::written_byte(*start);
        for (int k = 0; k < 24; ++k, ++sequences) {
            history_model::Model model(*start, program.written, program.code, spot);
            std::string wrong = model.drive(
                [&](unsigned n) { return n == 0 ? 0u : static_cast<unsigned>(random() % n); }, 30);
            ASSERT_EQ(wrong, "") << name << ", sequence " << k;
        }
    }
    EXPECT_GE(sequences, 300);
}

}  // namespace
