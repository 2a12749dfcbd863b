// What a teacher reads of a whole class: both out sequences of a failure,
// the per-case summary in text, JSON and CSV, and copies found between
// submissions, byte for byte.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iostream>
#include <regex>
#include <string>
#include <vector>

#include "out_check.hpp"
#include "run_program.hpp"

namespace {

std::vector<std::uint8_t> count_to(int n, int from = 1) {
    std::vector<std::uint8_t> values;
    for (int v = from; v < from + n; ++v) values.push_back(static_cast<std::uint8_t>(v));
    return values;
}

}  // namespace

TEST(CheckerClass, OutFailureShowsBothSequencesOrTheDifferenceInContext) {
    std::vector<std::uint8_t> twenty = count_to(20);
    std::vector<std::uint8_t> twenty_changed = twenty;
    twenty_changed[9] = 99;
    struct Row {
        std::vector<std::uint8_t> want, got;
        bool show_expected;
        std::string line;
    };
    const Row rows[] = {
        {{72, 69, 76, 76, 79},
         {72, 69, 76, 79},
         true,
         "expected out 72 69 76 76 79, got 72 69 76 79"},
        {{72, 69}, {}, true, "expected out 72 69, got nothing"},
        {{}, {7}, true, "expected out nothing, got 7"},
        {{72, 69, 76}, {72, 69, 76}, true, ""},
        {count_to(16), count_to(16, 2), true,
         "expected out 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16, "
         "got 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17"},
        // 17 values are too many to show whole.
        {count_to(16), count_to(17), true,
         "expected 16 out values, got 17 (#17 = 17); expected ... 14 15 16, got ... 14 15 16 17"},
        {twenty, twenty_changed, true,
         "expected out #10 = 10, got 99; expected ... 7 8 9 10 11 12 13 ..., "
         "got ... 7 8 9 99 11 12 13 ..."},
        {twenty, count_to(12), true,
         "expected out #13 = 13, got only 12 values; expected ... 10 11 12 13 14 15 16 ..., "
         "got ... 10 11 12"},
        {twenty, count_to(20, 5), true,
         "expected out #1 = 1, got 5; expected 1 2 3 4 ..., got 5 6 7 8 ..."},
        {twenty, count_to(30), true,
         "expected 20 out values, got 30 (#21 = 21); expected ... 18 19 20, got ... 18 19 20 21 "
         "22 23 24 ..."},
        // Without the expected values: the first difference only, rewritten
        // later as "out #4 is not what was expected: got 79".
        {{72, 69, 76, 76, 79}, {72, 69, 76, 79}, false, "expected out #4 = 76, got 79"},
        {twenty, twenty_changed, false, "expected out #10 = 10, got 99"},
    };
    for (const Row& row : rows) {
        OutSeen seen;
        seen.want = &row.want;
        for (std::uint8_t v : row.got) seen.see(v);
        EXPECT_EQ(out_failure(seen, row.show_expected), row.line);
    }
}

namespace {

// An independent solution of the sort assignment: print the smallest byte
// left eight times, each time replacing it by 255.
const char* const SMALLEST_FIRST = R"(; print the array from small to large
        ldi 8
        std count
[next   ldiw data
        stdw p
        ldiw data
        stdw m          ; m -> the smallest so far
        ldi 8
        std left
[scan   lda m
        lda p
        cmp             ; S = 1 when *p < *m
        jns keep
        lddw p
        stdw m
[keep   lddw p
        incw
        stdw p
        ldd left
        dec
        std left
        jnz scan
        lda m
        out 0
        ldi 255
        sta m
        ldd count
        dec
        std count
        jnz next
        hlt
[count  db 0
[left   db 0
[p      dw 0
[m      dw 0
[data   db 64
        db 17
        db 200
        db 3
        db 42
        db 9
        db 100
        db 28
)";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

TEST(CheckerClass, SimilarFindsCopiesWhateverTheirLabelsCommentsAndOrder) {
    TempDir dir;
    const std::string sort = read_file(std::string(EXAMPLES_DIR) + "/sort.asm");
    write_file(dir.file("alice.asm"), sort);
    // Labels renamed, comments reworded or gone, case and spacing changed.
    std::string bob =
        replaced(replaced(replaced(sort, "inner", "Walk"), "swapped", "moved"), "; ", ";; note: ");
    write_file(dir.file("bob.asm"), replaced(replaced(bob, "        ", "   "), "ldd", "LDD"));
    // The print loop moved behind the data.
    std::size_t print = sort.find("        ldiw data       ; print");
    std::size_t data = sort.find("[swapped");
    write_file(dir.file("carl.asm"),
               sort.substr(0, print) + sort.substr(data) + "\n" + sort.substr(print, data - print));
    write_file(dir.file("dan.asm"), SMALLEST_FIRST);
    write_file(dir.file("ref.asm"), sort);
    struct Run {
        std::vector<std::string> arguments;
        std::string output;
    };
    const Run runs[] = {
        // dan's own solution shares one short loop only: 7%. Data lines
        // count for nothing, so carl's moved loop is where alice's was.
        {{"--similar", "alice.asm", "bob.asm", "carl.asm", "dan.asm"},
         "cluster 1: alice.asm, bob.asm, carl.asm (100%)\n"
         "100% alice.asm bob.asm: lines 13-60 of alice.asm ~ lines 13-60 of bob.asm\n"
         "100% alice.asm carl.asm: lines 13-60 of alice.asm ~ lines 13-75 of carl.asm\n"
         "100% bob.asm carl.asm: lines 13-60 of bob.asm ~ lines 13-75 of carl.asm\n"
         "4 sources, 3 pairs at or above 50%\n"},
        {{"--similar", "--threshold", "5", "alice.asm", "dan.asm"},
         "cluster 1: alice.asm, dan.asm (7%)\n"
         "7% alice.asm dan.asm: lines 45-51 of alice.asm ~ lines 5-10 of dan.asm\n"
         "2 sources, 1 pair at or above 5%\n"},
        // What the base holds is no copy, and pairs that share nothing make
        // no cluster.
        {{"--similar", "--threshold", "0", "--base", "ref.asm", "alice.asm", "bob.asm", "carl.asm",
          "dan.asm"},
         "0% alice.asm bob.asm\n0% alice.asm carl.asm\n0% alice.asm dan.asm\n"
         "0% bob.asm carl.asm\n0% bob.asm dan.asm\n0% carl.asm dan.asm\n"
         "alice.asm is 100% the base ref.asm\nbob.asm is 100% the base ref.asm\n"
         "carl.asm is 100% the base ref.asm\ndan.asm is 7% the base ref.asm\n"
         "4 sources, 6 pairs at or above 0%\n"},
    };
    for (const Run& run : runs) {
        RunResult result = run_program(CHECKER_PATH, run.arguments, "", dir.path);
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(result.output, run.output);
    }
    // One line over and over matches everywhere: alike, with no run of
    // lines to show, and in far less than the run's time limit (the
    // comparison of every place with every place took minutes).
    std::string nops;
    for (int k = 0; k < 100'000; ++k) nops += "        nop\n";
    write_file(dir.file("nops.asm"), nops);
    write_file(dir.file("fewer.asm"), nops.substr(nops.size() / 3));
    EXPECT_EQ(
        run_program(CHECKER_PATH, {"--similar", "nops.asm", "fewer.asm"}, "", dir.path).output,
        "cluster 1: nops.asm, fewer.asm (100%)\n100% nops.asm fewer.asm\n"
        "2 sources, 1 pair at or above 50%\n");
}

// The copy-detection measurement: copies of the reference with a label
// added, a routine added and a routine moved behind the data, against three
// distinct solutions; every copy pair above 60%, every distinct pair below
// 40%. The figures are printed for the record.
TEST(CheckerClass, SimilarMeasuresCopiesAboveAndDistinctSolutionsBelow) {
    TempDir dir;
    const std::string sort = read_file(std::string(EXAMPLES_DIR) + "/sort.asm");
    write_file(dir.file("ref.asm"), sort);
    // Its first comment has an overlong form, a surrogate and one good character.
    write_file(dir.file("label.asm"),
               replaced(replaced(sort, "        ldd swapped", "[zz ldd swapped"), "bubble sort",
                        "bubble sort \xC0\xAF\xED\xA0\x80 \xC3\xA9"));
    write_file(
        dir.file("routine.asm"),
        replaced(replaced(sort, "        ldiw data       ; print",
                          "        ldi 6\n        std w\n[wait   ldd w\n        dec\n"
                          "        std w\n        jnz wait\n        ldiw data       ; print"),
                 "[swapped db 0", "[w db 0\n[swapped db 0"));
    std::size_t print = sort.find("        ldiw data       ; print");
    std::size_t data = sort.find("[swapped");
    write_file(dir.file("moved.asm"), sort.substr(0, print) + "        jmp show\n" +
                                          sort.substr(data) + "\n[show   nop\n" +
                                          sort.substr(print, data - print));
    write_file(dir.file("dan.asm"), SMALLEST_FIRST);
    for (const char* name : {"selection.asm", "minimum.asm"})
        write_file(dir.file(name), read_file(std::string(COPIES_DIR) + "/" + name));
    const std::vector<std::string> copies = {"ref.asm", "label.asm", "routine.asm", "moved.asm"};
    std::vector<std::string> arguments = {"--similar", "--threshold", "0"};
    arguments.insert(arguments.end(), copies.begin(), copies.end());
    for (const char* name : {"dan.asm", "selection.asm", "minimum.asm"}) arguments.push_back(name);
    RunResult all = run_program(CHECKER_PATH, arguments, "", dir.path);
    std::regex pair_line("(^|\n)([0-9]+)% (\\S+) ([^\\s:]+)");
    int pairs = 0;
    for (std::sregex_iterator it(all.output.begin(), all.output.end(), pair_line), end; it != end;
         ++it, ++pairs) {
        int percent = std::stoi((*it)[2]);
        bool copy = std::count(copies.begin(), copies.end(), (*it)[3]) > 0 &&
                    std::count(copies.begin(), copies.end(), (*it)[4]) > 0;
        std::cout << (copy ? "copy " : "distinct ") << (*it)[3] << " " << (*it)[4] << " " << percent
                  << "%\n";
        if (copy) {
            EXPECT_GT(percent, 60) << (*it)[0];
        } else {
            EXPECT_LT(percent, 40) << (*it)[0];
        }
    }
    EXPECT_EQ(pairs, 21) << all.output;
    // At the default threshold the copies are one cluster.
    arguments.erase(arguments.begin() + 1, arguments.begin() + 3);
    RunResult found = run_program(CHECKER_PATH, arguments, "", dir.path);
    EXPECT_EQ(found.output.substr(0, found.output.find('(')),
              "cluster 1: ref.asm, label.asm, routine.asm, moved.asm ");

    // Anonymised: "submission N" for names, the key in a file of its own.
    arguments.insert(arguments.begin() + 1, {"--anonymise", "key.txt"});
    RunResult hidden = run_program(CHECKER_PATH, arguments, "", dir.path);
    EXPECT_EQ(hidden.output.substr(0, hidden.output.find('(')),
              "cluster 1: submission 1, submission 2, submission 3, submission 4 ");
    EXPECT_EQ(hidden.output.find(".asm"), std::string::npos) << hidden.output;
    EXPECT_EQ(read_file(dir.file("key.txt")).substr(0, 44),
              "submission 1\tref.asm\nsubmission 2\tlabel.asm\n");
    RunResult clash =
        run_program(CHECKER_PATH, {"--similar", "--anonymise", "ref.asm", "ref.asm", "label.asm"},
                    "", dir.path);
    EXPECT_EQ(clash.exit_status, 2);
    EXPECT_EQ(read_file(dir.file("ref.asm")), sort);

    // One HTML page: the cluster, both sources side by side with the
    // shared lines marked, nothing fetched.
    RunResult page = run_program(
        CHECKER_PATH, {"--similar", "--format", "html", "label.asm", "dan.asm", "ref.asm"}, "",
        dir.path);
    EXPECT_EQ(page.output.substr(0, 15), "<!DOCTYPE html>");
    EXPECT_NE(page.output.find("<li>cluster 1: label.asm, ref.asm (92%)</li>"), std::string::npos)
        << page.output.substr(0, 1200);
    EXPECT_NE(page.output.find("<mark>  13 [pass   ldi 0</mark>"), std::string::npos);
    EXPECT_NE(page.output.find("<span>   1 ; sort.asm - bubble sort"), std::string::npos);
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_NE(page.output.find("bubble sort " + replacement + replacement + replacement +
                               replacement + replacement + " \xC3\xA9"),
              std::string::npos);
    for (const char* fetch : {"http", "<script", "src=", "<link"})
        EXPECT_EQ(page.output.find(fetch), std::string::npos) << fetch;
}

TEST(CheckerClass, SummaryPerCaseInTextJsonAndCsvColumns) {
    TempDir dir;
    const std::string sort = read_file(std::string(EXAMPLES_DIR) + "/sort.asm");
    write_file(dir.file("alice.asm"), sort);
    write_file(dir.file("bob.asm"), replaced(sort, "jns", "js"));  // sorts from large to small
    write_file(dir.file("t.cases"),
               "case given\n  mem data = 3 9 17 28 42 64 100 200\n  points 1.5\n"
               "case reversed\n  set data = 8 7 6 5 4 3 2 1\n  out 1 2 3 4 5 6 7 8\n"
               "case a,b\n  mem data = 3\n  points 2\n");
    auto check = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--cases", "t.cases"});
        return run_program(CHECKER_PATH, arguments, "", dir.path);
    };
    EXPECT_EQ(check({"alice.asm", "bob.asm"}).output,
              "PASS alice.asm [given]\nPASS alice.asm [reversed]\nPASS alice.asm [a,b]\n"
              "alice.asm: points 4.5/4.5\n"
              "FAIL bob.asm [given]: expected mem data = 3, got 200\n  try: debugger bob.asm\n"
              "FAIL bob.asm [reversed] (set data = 8 7 6 5 4 3 2 1): expected out 1 2 3 4 5 6 7 8, "
              "got 8 7 6 5 4 3 2 1\n  try: debugger --set 'data = 8 7 6 5 4 3 2 1' bob.asm\n"
              "FAIL bob.asm [a,b]: expected mem data = 3, got 200\n  try: debugger bob.asm\n"
              "bob.asm: points 0/4.5\n"
              "case given: 1 of 2 passed\ncase reversed: 1 of 2 passed\ncase a,b: 1 of 2 passed\n"
              "3 passed, 3 failed, points 4.5/9\n");
    // One submission: no summary, in text or JSON.
    EXPECT_EQ(check({"alice.asm"}).output.find("case "), std::string::npos);
    EXPECT_EQ(check({"--json", "alice.asm"}).output.find("summary"), std::string::npos);
    nlohmann::json json = nlohmann::json::parse(check({"--json", "alice.asm", "bob.asm"}).output);
    EXPECT_EQ(json["summary"], nlohmann::json::parse(R"([{"case": "given", "passed": 1, "of": 2},
        {"case": "reversed", "passed": 1, "of": 2}, {"case": "a,b", "passed": 1, "of": 2}])"));
    EXPECT_EQ(json["passed"], 3);  // the old members stay
    // The five columns stay as they are without the option.
    EXPECT_EQ(check({"--format", "csv", "alice.asm", "bob.asm"}).output,
              "submission,points,points_possible,passed,failed\r\n"
              "alice.asm,4.5,4.5,3,0\r\nbob.asm,0,4.5,0,3\r\n");
    EXPECT_EQ(check({"--format", "csv", "--case-columns", "alice.asm", "bob.asm"}).output,
              "submission,points,points_possible,passed,failed,given,reversed,\"a,b\"\r\n"
              "alice.asm,4.5,4.5,3,0,1.5,1,2\r\nbob.asm,0,4.5,0,3,0,0,0\r\n");
    RunResult refused = check({"--json", "--case-columns", "alice.asm"});
    EXPECT_EQ(refused.exit_status, 2);
    EXPECT_EQ(refused.errors.substr(0, refused.errors.find('\n')),
              "checker: --case-columns needs --format csv and --cases");
}
