// What a hostile class cannot do to a grading: names that would steer the
// teacher's terminal or a spreadsheet, two folders of one name, links out of
// a folder, sources past the size limit, the number of threads, and counts
// past 2^32.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "assemble.hpp"
#include "check.hpp"
#include "report.hpp"
#include "run_program.hpp"

namespace {

const char* const WRITES_3 = "ldi 3\nout 0\nhlt\n";

std::vector<std::string> lines_of(const std::string& text, const std::string& end_of_line = "\n") {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find(end_of_line, at)) != std::string::npos;
         at = end + end_of_line.size())
        lines.push_back(text.substr(at, end - at));
    return lines;
}

}  // namespace

TEST(CheckerNames, AreDataInEveryFormat) {
    TempDir dir;
    write_file(dir.file("a.cases"), "case a\n  out 3\n");
    struct Name {
        std::string folder;  // under the class folder
        std::string text;    // in the text report
        std::string csv;     // the CSV field: as in the text, formula-safe
    };
    const Name names[] = {
        {"sec1/alice", "sec1/alice", "sec1/alice"},
        {"sec2/alice", "sec2/alice", "sec2/alice"},
        {"zz\rPASS alice [given]\x1b[K", "zz\\rPASS alice [given]\\e[K",
         "zz\\rPASS alice [given]\\e[K"},
        {"n\nl\t\x7f", "n\\nl\\t\\x7F", "n\\nl\\t\\x7F"},
        {"\tx", "\\tx", "'\\tx"},
        {"\rx", "\\rx", "'\\rx"},
        {"-23-rf", "-23-rf", "'-23-rf"},
        {"=1+2", "=1+2", "'=1+2"},
        {"+x", "+x", "'+x"},
        {"@sum", "@sum", "'@sum"},
        {"b\xff\xc2\x9b", "b\\xFF\\xC2\\x9B", "b\\xFF\\xC2\\x9B"},
        {"back\\slash", "back\\\\slash", "back\\\\slash"},
    };
    std::vector<std::string> arguments = {"--cases", "a.cases", "--"};
    for (const Name& name : names) {
        std::filesystem::create_directories(dir.file("class/" + name.folder));
        write_file(dir.file("class/" + name.folder + "/sum.asm"), WRITES_3);
        arguments.push_back("class/" + name.folder);
    }
    auto run = [&](const char* format) {
        std::vector<std::string> with = arguments;
        with.insert(with.begin(), {"--format", format});
        RunResult r = run_program(CHECKER_PATH, with, "", dir.path);
        EXPECT_EQ(r.exit_status, 0) << format << r.errors;
        return r.output;
    };
    std::vector<std::string> text = lines_of(run("text")), csv = lines_of(run("csv"), "\r\n");
    std::string tap = run("tap"), junit = run("junit");
    nlohmann::json json = nlohmann::json::parse(run("json"));
    ASSERT_EQ(text.size(), std::size(names) + 2);
    EXPECT_EQ(text[std::size(names)], "case a: " + std::to_string(std::size(names)) + " of " +
                                          std::to_string(std::size(names)) + " passed");
    ASSERT_EQ(csv.size(), std::size(names) + 1);
    std::set<std::string> json_names, classnames;
    for (std::size_t i = 0; i < std::size(names); ++i) {
        EXPECT_EQ(text[i], "PASS " + names[i].text + " [a]");
        for (char c : text[i]) EXPECT_GE(static_cast<unsigned char>(c), 32) << text[i];
        EXPECT_EQ(csv[i + 1], names[i].csv + ",1,1,1,0");
        json_names.insert(json["files"][i]["file"].get<std::string>());
    }
    EXPECT_EQ(json_names.size(), std::size(names));
    EXPECT_EQ(json["files"][0]["file"], "sec1/alice");
    for (std::size_t at = 0; (at = junit.find("classname=\"", at)) != std::string::npos; ++at)
        classnames.insert(junit.substr(at + 11, junit.find('"', at + 11) - at - 11));
    EXPECT_EQ(classnames.size(), std::size(names)) << junit;
    // No TAP line but the line ends holds a control byte.
    for (char c : tap) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 32);
}

// A failed case's try line for a name the terminal would act on is in the
// JSON only, with the name as an operand after "--".
TEST(CheckerNames, ATryLineForANameWithControlsIsInTheJson) {
    TempDir dir;
    write_file(dir.file("a.cases"), "case a\n  out 3\n");
    write_file(dir.file("e\x1bx.asm"), "hlt\n");
    RunResult text = run_program(CHECKER_PATH, {"--cases", "a.cases", "e\x1bx.asm"}, "", dir.path);
    EXPECT_EQ(text.output,
              "FAIL e\\ex.asm [a]: expected out 3, got nothing\n  try: the debugger, with the "
              "command in the JSON report (the file's name holds control characters)\n0 passed, 1 "
              "failed\n");
    RunResult json =
        run_program(CHECKER_PATH, {"--json", "--cases", "a.cases", "e\x1bx.asm"}, "", dir.path);
    EXPECT_EQ(nlohmann::json::parse(json.output)["files"][0]["cases"][0]["try"],
              "debugger -- 'e\x1bx.asm'");
}

// Also a FIFO under the source's name, a source named in another case or
// extension, and one folder given twice.
TEST(CheckerInputs, LinksOutOfAFolderAndSourcesPastTheLimit) {
    TempDir dir;
    write_file(dir.file("a.cases"), "case a\n  out 3\n");
    std::filesystem::create_directories(dir.file("ref"));
    write_file(dir.file("ref/sum.asm"), WRITES_3);
    for (const char* folder : {"vic", "bob", "in", "sparse", "ok", "fifo", "cy"})
        std::filesystem::create_directories(dir.file(std::string("subs/") + folder));
    std::filesystem::create_symlink("../../ref/sum.asm", dir.file("subs/vic/sum.asm"));
    std::filesystem::create_symlink(dir.file("ref/sum.asm"), dir.file("subs/bob/sum.asm"));
    write_file(dir.file("subs/in/real.asm"), WRITES_3);
    std::filesystem::create_symlink("real.asm", dir.file("subs/in/sum.asm"));
    write_file(dir.file("subs/ok/sum.asm"), WRITES_3);
    ASSERT_EQ(::mkfifo(dir.file("subs/fifo/sum.asm").c_str(), 0600), 0);
    write_file(dir.file("subs/cy/Sum.asm"), WRITES_3);
    write_file(dir.file("subs/cy/sum.txt"), WRITES_3);
    write_file(dir.file("subs/sparse/sum.asm"), "");
    std::filesystem::resize_file(dir.file("subs/sparse/sum.asm"), 8ull << 30);
    std::filesystem::create_symlink("ref/sum.asm", dir.file("named.asm"));
    // About 400 MB of address space: reading the 8 GiB source would fail.
    // (The sanitizers' shadow memory needs more than that.)
    const std::string limited =
        built_with_sanitizers() ? "exec \"$0\" \"$@\"" : "ulimit -v 400000; exec \"$0\" \"$@\"";
    RunResult r = run_program("/bin/sh",
                              {"-c", limited, CHECKER_PATH, "--cases", "a.cases", "--source",
                               "sum.asm", "subs/vic", "subs/bob", "subs/in", "subs/sparse",
                               "subs/ok", "named.asm", "subs/fifo", "subs/cy", "./subs/ok/"},
                              "", dir.path);
    EXPECT_EQ(r.output,
              "FAIL vic [a]: sum.asm in the folder vic is a link to a file outside it\n"
              "FAIL bob [a]: sum.asm in the folder bob is a link to a file outside it\n"
              "PASS in [a]\n"
              "FAIL sparse [a]: source too large: 8589934592 bytes (the limit is 16 MiB)\n"
              "PASS ok [a]\n"
              "PASS named.asm [a]\n"
              "FAIL fifo [a]: subs/fifo/sum.asm: not a regular file\n"
              "FAIL cy [a]: no sum.asm in the folder cy (it holds Sum.asm, sum.txt)\n"
              "PASS ok [a]\n"
              "case a: 4 of 9 passed\n4 passed, 5 failed\n");
    EXPECT_EQ(r.exit_status, 1);
    // A cases file or reference past the limit ends the checker before anything runs.
    for (const char* option : {"--cases", "--reference"}) {
        std::vector<std::string> arguments = {"--cases", "a.cases", option, "/dev/zero",
                                              "ref/sum.asm"};
        if (std::string(option) == "--cases")
            arguments.erase(arguments.begin(), arguments.begin() + 2);
        r = run_program(CHECKER_PATH, arguments, "", dir.path);
        EXPECT_EQ(r.output, "");
        EXPECT_EQ(r.errors,
                  "checker: /dev/zero: file too large: more than 16777216 bytes (the limit is 16 "
                  "MiB)\n");
        EXPECT_EQ(r.exit_status, 2);
    }
}

// Runs that take about half their time limit, and one that never ends: the
// limit counts the processor time of each run, so any number of threads
// gives the same report.
TEST(CheckerTime, OneThreadAndManyGiveOneReportNearTheTimeout) {
    if (built_with_sanitizers()) GTEST_SKIP() << "the runs are timed for an optimized build";
    TempDir dir;
    write_file(dir.file("slow.cases"), "case slow\n  limit 1000000000\n  mem late = 7\n");
    const std::string slow =
        "ldiw 60\nstdw outer\n[o ldiw 65535\nstdw cnt\n[in lddw cnt\ndecw\nstdw cnt\njnz in\n"
        "lddw outer\ndecw\nstdw outer\njnz o\nldi 7\nstd late\nhlt\n[late db 0\n[outer dw 0\n"
        "[cnt dw 0\n";
    std::vector<std::string> arguments = {"--cases", "slow.cases", "--timeout",
                                          "1",       "--format",   "json"};
    for (int i = 0; i < 4; ++i) {
        write_file(dir.file(std::to_string(i) + ".asm"), slow);
        arguments.push_back(std::to_string(i) + ".asm");
    }
    write_file(dir.file("spin.asm"), "[spin jmp spin\n");
    arguments.push_back("spin.asm");
    std::vector<std::string> one = arguments, many = arguments;
    one.insert(one.end(), {"-j", "1"});
    many.insert(many.end(), {"-j", "64"});
    RunResult serial = run_program(CHECKER_PATH, one, "", dir.path);
    RunResult parallel = run_program(CHECKER_PATH, many, "", dir.path);
    EXPECT_EQ(serial.output, parallel.output);
    nlohmann::json report = nlohmann::json::parse(parallel.output);
    EXPECT_EQ(report["passed"], 4);
    nlohmann::json spin = report["files"][4]["cases"][0];
    EXPECT_EQ(spin["failures"], nlohmann::json::array({"did not halt within 1 second"}));
    EXPECT_EQ(spin["run"]["outcome"], "timeout");
    EXPECT_TRUE(spin["run"]["instructions"].is_null());
}

// The counts start near 2^32, as if an earlier run had counted that far:
// every expectation, the limit and the reports see the true counts.
TEST(CheckerCounts, ArePastTwoToThe32) {
    const AssemblyResult program = assemble_source("ldi 3\n[l dec\njnz l\nhlt\n");
    auto check = [&](const std::string& lines, const RunLimits& limits) {
        TestCase test;
        for (std::size_t at = 0, end; (end = lines.find('\n', at)) != std::string::npos;
             at = end + 1)
            EXPECT_EQ(add_expectation(test, lines.substr(at, end - at)), "");
        return check_case(program, test, limits, &program);
    };
    const RunFacts alone = check("out\n", {}).run;
    RunLimits late;
    late.instructions_before = (1ull << 32) - 3;
    late.clocks_before = (1ull << 32) - 10;
    const std::uint64_t instructions = late.instructions_before + alone.instructions;
    const std::uint64_t clocks = late.clocks_before + alone.clocks;
    CaseResult result = check("instructions " + std::to_string(instructions) + "\nclocks " +
                                  std::to_string(clocks) + "\nclocks <= reference\n",
                              late);
    EXPECT_EQ(result.failures, std::vector<std::string>{});
    EXPECT_EQ(result.run.clocks, clocks);
    result = check("clocks <= 4294967295\nlimit 4\n", late);
    ASSERT_EQ(result.failures.size(), 2u);
    EXPECT_EQ(result.failures[0],
              "did not halt within 4 instructions; the last ran at PC 2 (l), line 2: [l dec");
    EXPECT_EQ(result.failures[1].substr(0, 46), "expected clocks <= 4294967295, got 4294967302");
    result = check("clocks <= 4294967295\ninstructions <= reference * 3\n", late);
    EXPECT_EQ(result.failures, (std::vector<std::string>{"expected clocks <= 4294967295, got " +
                                                         std::to_string(clocks)}));
    TestCase faster;
    add_expectation(faster, "instructions <= reference * 3");
    CheckedFile file{"late.asm", "", "", {}, "late.asm", "late.asm"};
    file.cases.push_back({"late.asm", &faster, check_case(program, faster, late, &program)});
    nlohmann::json json = nlohmann::json::parse(json_report({file}));
    EXPECT_EQ(json["files"][0]["cases"][0]["run"]["instructions"], instructions);
    EXPECT_EQ(json["files"][0]["cases"][0]["run"]["clocks"], clocks);
    EXPECT_NE(text_report({file}).find("PASS late.asm"), std::string::npos);
}
