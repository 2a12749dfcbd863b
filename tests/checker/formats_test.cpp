// The checker's reports for grading sites and pipelines, driven through the
// real program on the manual's sort assignment: every document is read back
// by a parser of its kind and its counts and scores must add up.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "run_program.hpp"

namespace {

// alice.asm sorts; bob.asm has js where alice has jns; the last case's name
// holds bytes no XML document may hold as they are.
struct SortAssignment {
    TempDir dir;
    SortAssignment() {
        std::string sort = read_file(std::string(EXAMPLES_DIR) + "/sort.asm");
        write_file(dir.file("alice.asm"), sort);
        std::string bob = sort;
        bob.replace(bob.find("jns inorder"), 11, "js inorder");
        write_file(dir.file("bob.asm"), bob);
        write_file(dir.file("broken.asm"), "ldi -1\nhlt\n");
        std::filesystem::create_directories(dir.file("lee, ann"));
        write_file(dir.file("lee, ann/mine.asm"), sort);
        write_file(dir.file("sort.cases"),
                   "case given\n  mem data = 3 9 17 28 42 64 100 200\n  points 1\n"
                   "case reversed\n  set data = 8 7 6 5 4 3 2 1\n  mem data = 1 2 3 4 5 6 7 8\n"
                   "  points 2\n"
                   "case zero last\n  set data+7 = 0\n  mem data = 0 3 9 17 42 64 100 200\n"
                   "case secret\n  visibility hidden\n  out 3\n  points 4\n"
                   "case odd \x01\xff<&\"]]>\n  out 3 9 17 28 42 64 100 200\n");
    }
    RunResult check(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"--cases", "sort.cases"});
        return run_program(CHECKER_PATH, arguments, "", dir.path);
    }
};

nlohmann::json parsed(const RunResult& run) { return nlohmann::json::parse(run.output); }

}  // namespace

TEST(CheckerFormats, ResultsDocumentsForOneSubmissionAddUp) {
    SortAssignment a;
    // name, score, max; a case without points counts 1.
    struct Want {
        std::string source;
        long long score;
        long long max;
        std::string secret;  // the hidden case's first line
        std::string output;  // what a student sees at once: the visible cases
    };
    for (const Want& want : {Want{"alice.asm", 5, 9, "expected out 3, got 3 9 17 28 42 64 100 200",
                                  "alice.asm: 4 passed, 0 failed, points 5/5"},
                             Want{"bob.asm", 0, 9, "expected out 3, got 200 100 64 42 28 17 9 3",
                                  "bob.asm: 0 passed, 4 failed, points 0/5"}}) {
        RunResult run = a.check({"--format", "gradescope", want.source});
        nlohmann::json doc = parsed(run);
        long long score = 0, max = 0;
        for (const auto& test : doc["tests"]) {
            score += test["score"].get<long long>();
            max += test["max_score"].get<long long>();
            EXPECT_EQ(test["status"] == "passed", test["score"] == test["max_score"]);
        }
        EXPECT_EQ(doc["score"], want.score) << run.output;
        EXPECT_EQ(doc["output"], want.output);
        EXPECT_EQ(score, want.score);
        EXPECT_EQ(doc["max_score"], want.max);
        EXPECT_EQ(max, want.max);
        ASSERT_EQ(doc["tests"].size(), 5u);
        // The site hides the details; the document carries them and the visibility.
        EXPECT_EQ(doc["tests"][3]["visibility"], "hidden");
        EXPECT_EQ(doc["tests"][3]["output"].get<std::string>().substr(0, want.secret.size() + 1),
                  want.secret + "\n");
        EXPECT_EQ(doc["tests"][0]["visibility"], "visible");

        run = a.check({"--format", "prairielearn", want.source});
        doc = parsed(run);
        double points = 0, max_points = 0;
        for (const auto& test : doc["tests"]) {
            points += test["points"].get<double>();
            max_points += test["max_points"].get<double>();
        }
        EXPECT_TRUE(doc["gradable"].get<bool>());
        EXPECT_NEAR(doc["score"].get<double>(), points / max_points, 1e-9) << run.output;
        EXPECT_NEAR(doc["score"].get<double>(), double(want.score) / double(want.max), 1e-9);
        // A student's view: no details of the hidden case.
        EXPECT_EQ(doc["tests"][3]["message"], "failed");
        EXPECT_EQ(doc["tests"][3]["output"], "");
    }
    nlohmann::json missing = parsed(a.check({"--format", "prairielearn", "gone.asm"}));
    EXPECT_FALSE(missing["gradable"].get<bool>());
    EXPECT_EQ(missing["message"], "cannot read gone.asm");
    EXPECT_EQ(missing["format_errors"], nlohmann::json::array({"cannot read gone.asm"}));
    RunResult two = a.check({"--format", "gradescope", "alice.asm", "bob.asm"});
    EXPECT_EQ(two.exit_status, 2);
    EXPECT_EQ(two.errors.substr(0, 59),
              "checker: this format describes one submission; 2 were given");
}

TEST(CheckerFormats, BatchReportsParseAndCount) {
    SortAssignment a;
    const std::vector<std::string> sources = {"alice.asm", "bob.asm", "broken.asm", "lee, ann/"};

    // JUnit: read back by Python's XML parser where it is installed.
    std::vector<std::string> args = {"--format", "junit"};
    args.insert(args.end(), sources.begin(), sources.end());
    RunResult junit = a.check(args);
    EXPECT_EQ(junit.exit_status, 1);
    write_file(a.dir.file("junit.xml"), junit.output);
    if (file_exists("/usr/bin/python3")) {
        RunResult read = run_program(
            "/usr/bin/python3",
            {"-c",
             "import xml.etree.ElementTree as E\n"
             "r = E.parse('junit.xml').getroot()\n"
             "print(r.get('tests'), r.get('failures'), r.get('errors'))\n"
             "for s in r:\n"
             "    print(s.get('name'), s.get('tests'), s.get('failures'), s.get('errors'),\n"
             "          len(s.findall('testcase')), len(s.findall('testcase/failure')),\n"
             "          len(s.findall('testcase/error')))\n"
             "print(ascii(r[0].findall('testcase')[4].get('name')))\n"},
            "", a.dir.path);
        EXPECT_EQ(read.output,
                  "20 7 5\n"
                  "alice.asm 5 1 0 5 1 0\n"
                  "bob.asm 5 5 0 5 5 0\n"
                  "broken.asm 5 0 5 5 0 5\n"
                  "lee, ann 5 1 0 5 1 0\n"
                  "'odd \\u2401\\xff<&\"]]>'\n")
            << read.errors << junit.output;
    }

    // TAP: Debian's harness knows version 13, the same stream otherwise.
    args[1] = "tap";
    RunResult tap = a.check(args);
    EXPECT_EQ(tap.output.substr(0, 24), "TAP version 14\n1..20\nok ");
    EXPECT_NE(tap.output.find("\nnot ok 9 - bob.asm [secret]\nnot ok 10 - bob.asm [odd "),
              std::string::npos);
    EXPECT_NE(tap.output.find("  presets:\n    - \"set data+7 = 0\"\n"), std::string::npos);
    if (file_exists("/usr/bin/prove")) {
        write_file(a.dir.file("t.tap"), "TAP version 13" + tap.output.substr(14));
        RunResult prove = run_program("/usr/bin/prove", {"-e", "cat", "t.tap"}, "", a.dir.path);
        EXPECT_NE(prove.output.find("Failed 12/20 subtests"), std::string::npos) << prove.output;
        EXPECT_EQ(prove.output.find("Parse errors"), std::string::npos) << prove.output;
    }

    // CSV: one row per submission, a folder named after itself, quoted.
    args[1] = "csv";
    EXPECT_EQ(a.check(args).output,
              "submission,points,points_possible,passed,failed\r\n"
              "alice.asm,5,9,4,1\r\n"
              "bob.asm,0,9,0,5\r\n"
              "broken.asm,0,9,0,5\r\n"
              "\"lee, ann\",5,9,4,1\r\n");
}

TEST(CheckerFormats, HiddenCasesFoldersAndTheWallClock) {
    SortAssignment a;
    write_file(a.dir.file("spin.cases"), "case spins\n  limit 999999999999\n");
    write_file(a.dir.file("spin.asm"), "[spin jmp spin\n");
    std::filesystem::create_directories(a.dir.file("two"));
    write_file(a.dir.file("two/a.asm"), "hlt\n");
    write_file(a.dir.file("two/b.asm"), "hlt\n");
    std::filesystem::create_directories(a.dir.file("none"));
    struct Run {
        std::vector<std::string> arguments;
        std::string output;
    };
    const Run runs[] = {
        {{"--cases", "sort.cases", "bob.asm"},
         "FAIL bob.asm [given]: expected mem data = 3, got 200\n  try: debugger bob.asm\n"
         "FAIL bob.asm [reversed] (set data = 8 7 6 5 4 3 2 1): expected mem data = 1, got 8\n"
         "  try: debugger --set 'data = 8 7 6 5 4 3 2 1' bob.asm\n"
         "FAIL bob.asm [zero last] (set data+7 = 0): expected mem data = 0, got 200\n"
         "  try: debugger --set 'data+7 = 0' bob.asm\n"
         "FAIL bob.asm [secret]\n"
         "FAIL bob.asm [odd \\x01\\xFF<&\"]]>]: expected out 3 9 17 28 42 64 100 200, got 200 "
         "100 64 42 28 17 9 3\n  try: debugger bob.asm\n"
         "0 passed, 5 failed, points 0/9\n"},
        {{"--show-hidden", "--cases", "sort.cases", "--json", "--format", "text", "lee, ann///"},
         "PASS lee, ann [given]\n"
         "PASS lee, ann [reversed]\n"
         "PASS lee, ann [zero last]\n"
         "FAIL lee, ann [secret]: expected out 3, got 3 9 17 28 42 64 100 200\n"
         "PASS lee, ann [odd \\x01\\xFF<&\"]]>]\n"
         "4 passed, 1 failed, points 5/9\n"},
        {{"--cases", "spin.cases", "--timeout", "1", "spin.asm", "two", "none/"},
         "FAIL spin.asm [spins]: did not halt within 1 second\n"},
        {{"--cases", "spin.cases", "--source", "b.asm", "--timeout", "1", "two", "none/"},
         "PASS two [spins]\nFAIL none [spins]: no b.asm in the folder none\n"
         "case spins: 1 of 2 passed\n1 passed"},
    };
    for (const Run& run : runs) {
        RunResult result = run_program(CHECKER_PATH, run.arguments, "", a.dir.path);
        EXPECT_EQ(result.output.substr(0, run.output.size()), run.output) << run.arguments.back();
    }
    RunResult folders =
        run_program(CHECKER_PATH, {"--cases", "spin.cases", "two", "none/"}, "", a.dir.path);
    EXPECT_EQ(folders.output,
              "FAIL two [spins]: several .asm files in the folder two (a.asm, b.asm); --source "
              "names the one to check\n"
              "FAIL none [spins]: no .asm file in the folder none\n"
              "case spins: 0 of 2 passed\n0 passed, 2 failed\n");
}

TEST(CheckerReference, RandomRepeatedRunsAgainstTheReferenceAndOneSubroutine) {
    SortAssignment a;
    // carl.asm stops after two passes: right for some arrays only.
    std::string carl = read_file(a.dir.file("alice.asm"));
    carl.replace(carl.find("[swapped db 0"), 0, "[passes db 2\n");
    carl.replace(carl.find("        jnz pass\n"), 17,
                 "        jz done\n        ldd passes\n        dec\n        std passes\n"
                 "        jnz pass\n[done    nop\n");
    write_file(a.dir.file("carl.asm"), carl);
    // The reference keeps its array elsewhere: labels are each program's own.
    std::string reference = read_file(a.dir.file("alice.asm"));
    reference.replace(reference.find("[swapped db 0"), 0, "[pad db 0\n");
    write_file(a.dir.file("ref.asm"), reference);
    write_file(a.dir.file("random.cases"),
               "case random\n  set data = random 8 0..255\n  repeat 20\n  mem data same 8\n"
               "  out same\n  instructions <= reference * 2\n"
               "case slow\n  instructions <= reference * 1\n  clocks <= reference\n");
    write_file(a.dir.file("call.cases"),
               "case square\n  stack 7\n  call square\n  stack 49\n  mem sqx = 7\n  no findings\n"
               "case cube\n  stack 3 9\n  call cube\n  stack 27 9\n  instructions 15\n"
               "case too deep\n  call square\n  stack 1\n"
               "case halts\n  call next\n"
               "case end\n  stack\n");
    std::string subroutine = std::string(EXAMPLES_DIR) + "/subroutine.asm";
    struct Run {
        std::vector<std::string> arguments;
        std::string output;
        int status;
    };
    const Run runs[] = {
        {{"--cases", "random.cases", "--reference", "ref.asm", "alice.asm", "carl.asm", "bob.asm"},
         "PASS alice.asm [random]\n"
         "PASS alice.asm [slow]\n"
         "FAIL carl.asm [random] (repeat 1 of 20, set data = 42 143 136 88 147 63 132 70): "
         "expected out 42 63 70 88 132 136 143 147, got 42 88 136 63 132 70 143 147\n"
         "  try: debugger --set 'data = 42 143 136 88 147 63 132 70' carl.asm\n"
         "PASS carl.asm [slow]\n"
         "FAIL bob.asm [random] (repeat 1 of 20, set data = 188 48 67 138 42 139 105 52): "
         "expected out 42 48 52 67 105 138 139 188, got 188 139 138 105 67 52 48 42\n"
         "  try: debugger --set 'data = 188 48 67 138 42 139 105 52' bob.asm\n"
         "FAIL bob.asm [slow]: expected instructions <= reference * 1 = 812, got 929\n"
         "  try: debugger bob.asm\n"
         "case random: 1 of 3 passed\ncase slow: 2 of 3 passed\n3 passed, 3 failed\n",
         1},
        // Another seed, other bytes; no reference, a clear line.
        {{"--cases", "random.cases", "--reference", "ref.asm", "--seed", "7", "carl.asm"},
         "FAIL carl.asm [random] (repeat 1 of 20, set data = 201 126 173 71 93 244 88 240): "
         "expected out 71 88 93 126 173 201 240 244, got 126 71 93 173 88 201 240 244\n"
         "  try: debugger --set 'data = 201 126 173 71 93 244 88 240' carl.asm\n"
         "PASS carl.asm [slow]\n1 passed, 1 failed\n",
         1},
        {{"--cases", "random.cases", "alice.asm"},
         "FAIL alice.asm [random] (set data = random 8 0..255): the case compares with a "
         "reference: --reference names none\n"
         "FAIL alice.asm [slow]: the case compares with a reference: --reference names none\n"
         "0 passed, 2 failed\n",
         1},
        {{"--cases", "call.cases", subroutine},
         "PASS subroutine.asm [square]\n"
         "PASS subroutine.asm [cube]\n"
         "FAIL subroutine.asm [too deep] (call square): expected a return from square, got stop "
         "\"Stack underflow\" at PC 46 (square+3)\n"
         "  try: debugger --call square subroutine.asm\n"
         "FAIL subroutine.asm [halts] (call next): expected a return from next, got halt at PC "
         "42 (next+37)\n  try: debugger --call next subroutine.asm\n"
         "PASS subroutine.asm [end]\n"
         "3 passed, 2 failed\n",
         1},
    };
    for (const Run& run : runs) {
        RunResult result = run_program(CHECKER_PATH, run.arguments, "", a.dir.path);
        std::string output = result.output;
        for (std::size_t at; (at = output.find(subroutine)) != std::string::npos;)
            output.replace(at, subroutine.size() - 14, "");
        EXPECT_EQ(output, run.output);
        EXPECT_EQ(result.exit_status, run.status);
    }
    // The bytes follow the submission, not its source: a copy under another
    // name meets other bytes than carl's. A passing run's bytes are never shown.
    write_file(a.dir.file("copy.asm"), carl);
    write_file(a.dir.file("changed.asm"), carl + "; changed\n");
    RunResult text = run_program(CHECKER_PATH,
                                 {"--cases", "random.cases", "--reference", "ref.asm", "carl.asm",
                                  "copy.asm", "changed.asm"},
                                 "", a.dir.path);
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.output.find('\n', at)) != std::string::npos;
         at = end + 1)
        lines.push_back(text.output.substr(at, end - at));
    ASSERT_EQ(lines.size(), 12u) << text.output;
    EXPECT_NE(lines[3].substr(lines[3].find('(')), lines[0].substr(lines[0].find('(')));
    EXPECT_NE(lines[6].substr(lines[6].find('(')), lines[0].substr(lines[0].find('(')));
    RunResult alice = run_program(CHECKER_PATH,
                                  {"--cases", "random.cases", "--reference", "ref.asm", "--format",
                                   "gradescope", "alice.asm"},
                                  "", a.dir.path);
    nlohmann::json passed = nlohmann::json::parse(alice.output);
    std::string details = passed["tests"][0]["output"];
    EXPECT_EQ(details.substr(0, 40), "set data = random 8 0..255\nrun: halted, ");
    EXPECT_NE(details.find(", out (8 values), PC"), std::string::npos) << details;
}

TEST(CheckerParallel, FourThreadsReportWhatOneReports) {
    SortAssignment a;
    // 200 submissions: sorting ones, wrong ones, ones that do not assemble,
    // a folder among them; every case with random bytes against a reference.
    std::string sort = read_file(a.dir.file("alice.asm"));
    // The instruction limit, never the wall clock, ends the endless ones, so a
    // loaded machine gives the same report.
    std::vector<std::string> args = {"--cases",   "random.cases", "--reference",
                                     "alice.asm", "--timeout",    "3600"};
    for (int i = 0; i < 200; ++i) {
        std::string source = sort;
        if (i % 4 == 1) source.replace(source.find("jns inorder"), 11, "js inorder");
        if (i % 7 == 2) source += "  frob 1\n";
        std::string number = std::to_string(i);
        if (i % 5 == 3) source.replace(source.find("ldi 7\n"), 5, "ldi " + number.substr(0, 1));
        std::string name = number;
        name += ".asm";
        write_file(a.dir.file(name), source);
        args.push_back(name);
    }
    args.push_back("lee, ann");
    write_file(a.dir.file("random.cases"),
               "case random\n  set data = random 8 0..255\n  repeat 5\n  out same\n  limit 100000\n"
               "case given\n  out 3 9 17 28 42 64 100 200\n  points 2\n  limit 100000\n");
    for (const char* format : {"text", "junit"}) {
        std::vector<std::string> one = args, four = args;
        one.insert(one.end(), {"--format", format, "-j", "1"});
        four.insert(four.end(), {"--format", format, "-j", "4"});
        RunResult serial = run_program(CHECKER_PATH, one, "", a.dir.path);
        RunResult parallel = run_program(CHECKER_PATH, four, "", a.dir.path);
        auto without_times = [](std::string text) {
            for (std::size_t at = 0; (at = text.find(" time=\"", at)) != std::string::npos;)
                text.erase(at, text.find('"', at + 7) + 1 - at);
            return text;
        };
        EXPECT_EQ(serial.exit_status, 1);
        EXPECT_EQ(without_times(parallel.output), without_times(serial.output)) << format;
        EXPECT_GT(serial.output.size(), 10'000u);
        EXPECT_NE(serial.output.find("did not halt within 100000 instructions"), std::string::npos);
    }
}
