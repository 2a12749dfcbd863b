// The grading recipes of the manual's chapter 17, read from the manual and
// run as printed (the platforms' root folders moved into a temporary
// folder), and a TAP stream with a failure of every kind read by a TAP
// harness. Tests that need a tool the system lacks are skipped.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "run_program.hpp"

namespace {

const std::string MANUAL = std::string(EXAMPLES_DIR) + "/../docs/manual.md";

// The fenced blocks of the manual between two headings.
std::vector<std::string> code_blocks(const std::string& from, const std::string& to) {
    std::string text = read_file(MANUAL);
    std::size_t start = text.find("\n" + from);
    text = text.substr(start, text.find("\n" + to, start) - start);
    std::vector<std::string> blocks;
    for (std::size_t at = 0; (at = text.find("\n```", at)) != std::string::npos;) {
        std::size_t body = text.find('\n', at + 1) + 1;
        std::size_t end = text.find("\n```", body);
        blocks.push_back(text.substr(body, end + 1 - body));
        at = end + 4;
    }
    return blocks;
}

std::string block_with(const std::vector<std::string>& blocks, const std::string& mark) {
    for (const std::string& block : blocks) {
        if (block.find(mark) != std::string::npos) return block;
    }
    ADD_FAILURE() << "no block with " << mark;
    return "";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// Runs a shell script with the checker first on the search path.
RunResult shell(const std::string& script, const std::string& directory) {
    std::string bin = std::filesystem::path(CHECKER_PATH).parent_path().string();
    return run_program("/bin/bash", {"-c", "export PATH='" + bin + "':\"$PATH\"\n" + script}, "",
                       directory);
}

bool have(const char* tool) { return file_exists(tool); }

// The manual's sort cases, and one that needs the reference.
std::string sort_cases() {
    return block_with(code_blocks("## 12.", "## 13."), "# sort.cases") + "case same\n  out same\n";
}

std::string broken_sort() {
    std::string bob = read_file(std::string(EXAMPLES_DIR) + "/sort.asm");
    return bob.replace(bob.find("jns inorder"), 11, "js inorder");
}

}  // namespace

TEST(ManualRecipes, GradingSitesAndPipelinesRunAsPrinted) {
    TempDir dir;
    const std::vector<std::string> blocks = code_blocks("## 17.", "## 18.");
    const std::string sort = read_file(std::string(EXAMPLES_DIR) + "/sort.asm");

    // Gradescope: the autograder's folders exist, the results folder too.
    const std::string autograder = dir.file("autograder");
    for (const char* folder : {"source", "submission", "results"})
        std::filesystem::create_directories(autograder + "/" + folder);
    write_file(autograder + "/source/sort.cases", sort_cases());
    write_file(autograder + "/source/reference.asm", sort);
    const std::string run_autograder =
        replaced(block_with(blocks, "# run_autograder"), "/autograder", autograder);
    struct Submission {
        std::string source;  // "" for a link to the reference
        int score;
    };
    for (const Submission& s :
         {Submission{sort, 6}, Submission{broken_sort(), 0}, Submission{"", 0}}) {
        std::filesystem::remove(autograder + "/submission/sort.asm");
        if (s.source.empty()) {
            std::filesystem::create_symlink("../source/reference.asm",
                                            autograder + "/submission/sort.asm");
        } else {
            write_file(autograder + "/submission/sort.asm", s.source);
        }
        RunResult r = shell(run_autograder, dir.path);
        EXPECT_EQ(r.exit_status, 0) << r.errors;
        nlohmann::json results =
            nlohmann::json::parse(read_file(autograder + "/results/results.json"));
        EXPECT_EQ(results["score"], s.score) << results.dump();
        EXPECT_EQ(results["max_score"], 6);
    }

    // PrairieLearn: the results folder is the recipe's to make; "out same"
    // finds the reference.
    const std::string grade = dir.file("grade");
    std::filesystem::create_directories(grade + "/tests");
    std::filesystem::create_directories(grade + "/student");
    write_file(grade + "/tests/sort.cases", sort_cases());
    write_file(grade + "/tests/reference.asm", sort);
    write_file(grade + "/student/sort.asm", sort);
    RunResult r =
        shell(replaced(block_with(blocks, "--format prairielearn"), "/grade", grade), dir.path);
    EXPECT_EQ(r.exit_status, 0) << r.errors;
    nlohmann::json results = nlohmann::json::parse(read_file(grade + "/results/results.json"));
    EXPECT_EQ(results["score"], 1.0) << results.dump();

    // GitLab: each script line as a job runs it; failed cases keep the job
    // green, a mistake in the cases file fails it.
    std::filesystem::create_directories(dir.file("submissions/alice"));
    std::filesystem::create_directories(dir.file("submissions/-bob"));
    write_file(dir.file("submissions/alice/sum.asm"), sort);
    write_file(dir.file("submissions/-bob/sum.asm"), broken_sort());
    std::string pipeline = block_with(blocks, "grade:\n  script:");
    std::vector<std::string> commands;
    for (std::size_t at = 0; (at = pipeline.find("\n    - ", at)) != std::string::npos;) {
        std::size_t end = pipeline.find('\n', at + 1);
        commands.push_back(pipeline.substr(at + 7, end - at - 7));
        at = end;
    }
    ASSERT_EQ(commands.size(), 2u);
    for (const char* cases : {"case given\n  out 3\n", "case given\n  out x\n"}) {
        write_file(dir.file("hw3.cases"), cases);
        bool mistake = std::string(cases).find('x') != std::string::npos;
        for (const std::string& command : commands) {
            r = shell(command, dir.path);
            EXPECT_EQ(r.exit_status == 0, !mistake) << command << r.errors;
        }
        if (!mistake) {
            EXPECT_EQ(read_file(dir.file("grades.csv")),
                      "submission,points,points_possible,passed,failed\r\n"
                      "'-bob,0,1,0,1\r\nalice,0,1,0,1\r\n");
            EXPECT_NE(read_file(dir.file("report.xml")).find("<testsuite name=\"-bob\""),
                      std::string::npos);
        }
    }

    // TAP through the harness, as printed.
    if (!have("/usr/bin/prove")) GTEST_SKIP() << "prove is not installed";
    write_file(dir.file("hw3.cases"), sort_cases());
    r = shell(block_with(blocks, "prove -e cat"), dir.path);
    EXPECT_NE(r.output.find("Failed 5/8 subtests"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Parse errors"), std::string::npos) << r.output;
}

// A failure of every kind, with names full of what YAML and TAP treat
// specially, read by the harness and by a YAML reader.
TEST(ManualRecipes, TapHarnessesReadAFailureOfEveryKind) {
    if (!have("/usr/bin/prove")) GTEST_SKIP() << "prove is not installed";
    TempDir dir;
    write_file(dir.file("sort.asm"), read_file(std::string(EXAMPLES_DIR) + "/sort.asm"));
    write_file(dir.file("broken.asm"), "ldi -1\nhlt\n");
    write_file(dir.file("every.cases"),
               "case out: 1 # not a directive\n  out 1\n"
               "case counts \"q\" 'r'\n  instructions 1\n  clocks <= 1\n"
               "case back\\slash\n  status 255\n"
               "case stop: \n  stop Stack underflow\n"
               "case mem\n  set data = 9 8\n  mem data = 1\n"
               "case labels\n  set n = 5\n"
               "case stack\n  stack empty\n  sp 5\n  stack 1 2\n"
               "case limit\n  limit 3\n"
               "case call\n  call data\n"
               "case random\n  set data = random 8 0..255\n  repeat 2\n  out 255\n"
               "case compare\n  out same\n"
               "case passes\n  no findings\n");
    const std::vector<std::string> sources = {"sort.asm", "broken.asm", "missing.asm"};
    std::vector<std::string> args = {"--cases", "every.cases", "--format", "tap"};
    args.insert(args.end(), sources.begin(), sources.end());
    RunResult tap = run_program(CHECKER_PATH, args, "", dir.path);
    args[3] = "json";
    nlohmann::json json =
        nlohmann::json::parse(run_program(CHECKER_PATH, args, "", dir.path).output);
    long long failed = json["failed"], total = failed + json["passed"].get<long long>();
    ASSERT_EQ(total, 36);
    write_file(dir.file("t.tap"), "TAP version 13" + tap.output.substr(14));
    RunResult prove = run_program("/usr/bin/prove", {"-e", "cat", "t.tap"}, "", dir.path);
    EXPECT_NE(prove.output.find("Failed " + std::to_string(failed) + "/36 subtests"),
              std::string::npos)
        << prove.output;
    EXPECT_EQ(prove.output.find("Parse errors"), std::string::npos) << prove.output;
    // The harness's YAML reader gives back every first failure as the JSON report has it.
    RunResult messages = run_program(
        "/usr/bin/perl",
        {"-MTAP::Parser", "-e",
         "my $p = TAP::Parser->new({source => 't.tap'});"
         "while (my $r = $p->next) { print $r->data->{message}, \"\\n\" if $r->is_yaml }",
         "t.tap"},
        "", dir.path);
    std::string want;
    for (const auto& file : json["files"]) {
        for (const auto& c : file["cases"]) {
            if (!c["passed"].get<bool>()) want += c["failures"][0].get<std::string>() + "\n";
        }
    }
    EXPECT_EQ(messages.output, want);
    // A YAML 1.1 reader takes every block too.
    if (run_program("/usr/bin/python3", {"-c", "import yaml"}, "", dir.path).exit_status != 0)
        return;
    RunResult yaml = run_program(
        "/usr/bin/python3",
        {"-c",
         "import sys, yaml\n"
         "blocks = sys.stdin.read().split('  ---\\n')[1:]\n"
         "print(sum(1 for b in blocks if yaml.safe_load(b.split('  ...\\n')[0])['message']))"},
        tap.output, dir.path);
    EXPECT_EQ(yaml.output, std::to_string(failed) + "\n") << yaml.errors;
}

// The autograder zip, unpacked into a fake /autograder tree: a right sort
// scores full marks, a wrong one none, with the private seed inside.
TEST(ManualRecipes, TheAutograderZipGradesAFakeSubmissionTree) {
    if (!have("/usr/bin/unzip") || !have("/usr/bin/python3"))
        GTEST_SKIP() << "SKIPPED: unzip or python3 missing";
    TempDir dir;
    const std::string sort = read_file(std::string(EXAMPLES_DIR) + "/sort.asm");
    write_file(dir.file("sort.cases"), sort_cases());
    write_file(dir.file("ref.asm"), sort);
    write_file(dir.file("term.seed"), "a phrase of the teacher's\n");
    const std::string script = std::string(EXAMPLES_DIR) + "/../scripts/gradescope-autograder.sh";
    RunResult built =
        run_program("/bin/bash",
                    {script, "--cases", "sort.cases", "--source", "sort.asm", "--reference",
                     "ref.asm", "--seed-file", "term.seed", "--checker", CHECKER_PATH, "ag.zip"},
                    "", dir.path);
    ASSERT_EQ(built.exit_status, 0) << built.errors;
    std::filesystem::create_directories(dir.file("root/source"));
    std::filesystem::create_directories(dir.file("root/submission"));
    ASSERT_EQ(shell("cd root/source && unzip -q ../../ag.zip", dir.path).exit_status, 0);
    for (const auto& [source, score] : {std::pair{sort, 6}, std::pair{broken_sort(), 0}}) {
        write_file(dir.file("root/submission/sort.asm"), source);
        RunResult r = run_program("/usr/bin/env",
                                  {"AUTOGRADER_ROOT=" + dir.file("root"), "/bin/bash",
                                   dir.file("root/source/run_autograder")},
                                  "", dir.path);
        EXPECT_EQ(r.exit_status, 0) << r.errors;
        // No warning of the default seed: the zip carries the teacher's.
        EXPECT_EQ(r.errors, "");
        nlohmann::json results =
            nlohmann::json::parse(read_file(dir.file("root/results/results.json")));
        EXPECT_EQ(results["score"], score) << results.dump();
    }
}
