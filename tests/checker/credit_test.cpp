// Points with decimals, partial credit over repeated runs and the teacher's
// feedback per case, as every format carries them, driven through the real
// program on the manual's sort assignment.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "run_program.hpp"

namespace {

// carl.asm stops sorting after two passes: right for some arrays of zeros
// and ones only (4 of the 7 runs of "coins" with seed 25).
struct Credit {
    TempDir dir;
    Credit() {
        std::string sort = read_file(std::string(EXAMPLES_DIR) + "/sort.asm");
        write_file(dir.file("alice.asm"), sort);
        std::string carl = sort;
        carl.replace(carl.find("[swapped db 0"), 0, "[passes db 2\n");
        carl.replace(carl.find("        jnz pass\n"), 17,
                     "        jz done\n        ldd passes\n        dec\n        std passes\n"
                     "        jnz pass\n[done    nop\n");
        write_file(dir.file("carl.asm"), carl);
        write_file(dir.file("ref.asm"), sort);
        write_file(dir.file("c.cases"),
                   "case given\n  mem data = 3 9 17 28 42 64 100 200\n  points 1.25\n"
                   "case coins\n  set data = random 8 0..1\n  repeat 7\n  partial\n  points 3\n"
                   "  mem data same 8\n"
                   "case plain\n  set data = random 8 0..1\n  repeat 7\n  points 0.5\n"
                   "  mem data same 8\n");
        write_file(dir.file("m.cases"),
                   "case quiet\n  mem data = 3 9 17 28 42 64 100 200\n  show expected no\n"
                   "  message look at the loop's end\n  out 3 9 17 28 42 64 100 200\n"
                   "case secret\n  visibility hidden\n  mem data = 1\n"
                   "  message sorted from small to large?\n");
    }
    RunResult check(const std::string& format, const std::string& source,
                    const std::string& cases = "c.cases") const {
        return run_program(CHECKER_PATH,
                           {"--cases", cases, "--reference", "ref.asm", "--seed", "25", "--format",
                            format, source},
                           "", dir.path);
    }
};

}  // namespace

TEST(CheckerCredit, DecimalPointsAndPartialCreditInEveryFormat) {
    Credit a;
    // 3 points * 4/7 runs = 1.714...: 1.71; the total 1.71 of 4.75.
    struct Want {
        std::string format;
        std::vector<std::string> present;
    };
    const Want wants[] = {
        {"text",
         {"FAIL carl.asm [coins] (repeat 1 of 7, set data = ", "): 4 of 7 runs passed; expected",
          "0 passed, 3 failed, points 1.71/4.75\n"}},
        {"json", {"\"points\": 1.71,", "\"runs_passed\": 4,", "\"points_possible\": 4.75"}},
        {"gradescope", {"\"score\": 1.71,", "\"output\": \"4 of 7 runs passed\\n", "1.25"}},
        {"prairielearn", {"\"points\": 1.71,", "\"message\": \"4 of 7 runs passed; expected"}},
        {"junit", {"message=\"4 of 7 runs passed; expected"}},
        {"tap", {"message: \"4 of 7 runs passed; expected"}},
        {"csv", {"carl.asm,1.71,4.75,0,3\r\n"}},
    };
    for (const Want& want : wants) {
        RunResult run = a.check(want.format, "carl.asm");
        EXPECT_EQ(run.exit_status, 1) << want.format;
        for (const std::string& text : want.present)
            EXPECT_NE(run.output.find(text), std::string::npos)
                << want.format << ": " << text << "\n"
                << run.output;
        // The share is a partial case's only: "plain" earns nothing.
        EXPECT_EQ(run.output.find("of 7 runs passed", run.output.rfind("plain")), std::string::npos)
            << want.format;
    }
    // The JSON numbers add up; a passing submission earns every point.
    nlohmann::json doc = nlohmann::json::parse(a.check("json", "carl.asm").output);
    const nlohmann::json& cases = doc["files"][0]["cases"];
    EXPECT_EQ(cases[1]["points"].get<double>(), 1.71);
    EXPECT_EQ(cases[1]["runs"], 7);
    EXPECT_EQ(cases[2]["points"], 0);
    EXPECT_FALSE(cases[2].contains("runs_passed"));
    EXPECT_EQ(a.check("csv", "alice.asm").output.substr(49), "alice.asm,4.75,4.75,3,0\r\n");
    // Points are read with at most two decimals.
    for (const char* points : {"1.255", "1.", ".5", "1000000.01", "-1", "1,5"}) {
        write_file(a.dir.file("bad.cases"), std::string("case a\n  points ") + points + "\n");
        RunResult bad =
            run_program(CHECKER_PATH, {"--cases", "bad.cases", "alice.asm"}, "", a.dir.path);
        EXPECT_EQ(bad.exit_status, 2) << points;
        EXPECT_NE(bad.errors.find("line 2: points: expected a number"), std::string::npos)
            << points << bad.errors;
    }
}

TEST(CheckerFeedback, MessagesAndHiddenExpectedValuesInEveryFormat) {
    Credit a;
    // carl fails both cases: "quiet" hides its values, "secret" is hidden.
    const std::string quiet = "out #1 is not what was expected: got 17";
    struct Want {
        std::string format;
        std::vector<std::string> present;
    };
    const Want wants[] = {
        {"text",
         {"FAIL carl.asm [quiet]: " + quiet + "\n  hint: look at the loop's end\n",
          "FAIL carl.asm [secret]\n  hint: sorted from small to large?\n"}},
        {"json", {"\"message\": \"look at the loop's end\"", "sorted from small"}},
        {"gradescope", {"\"output\": \"look at the loop's end\\n" + quiet + "\\n"}},
        {"prairielearn",
         {"\"message\": \"look at the loop's end\"", "\"message\": \"sorted from small"}},
        {"junit", {">look at the loop's end\n" + quiet, ">sorted from small to large?</failure>"}},
        {"tap",
         {"message: \"look at the loop's end\"", "mem data is not what was expected\\x3a got 17",
          "- carl.asm [secret]\n  ---\n  message: \"sorted from small to large?\"\n  ...\n"}},
    };
    for (const Want& want : wants) {
        RunResult run = a.check(want.format, "carl.asm", "m.cases");
        for (const std::string& text : want.present)
            EXPECT_NE(run.output.find(text), std::string::npos)
                << want.format << ": " << text << "\n"
                << run.output;
        // No expected value of "quiet" is named: 3 is its first.
        EXPECT_EQ(run.output.find("= 3"), std::string::npos) << want.format << run.output;
        EXPECT_EQ(run.output.find("out 3 9"), std::string::npos) << want.format;
        // A passing case shows no message.
        RunResult pass = a.check(want.format, "alice.asm", "m.cases");
        EXPECT_EQ(pass.output.find("loop's end"), std::string::npos) << want.format;
    }
    // The teacher sees the expectations; messages are never listed with them.
    RunResult teacher = run_program(
        CHECKER_PATH, {"--cases", "m.cases", "--format", "json", "--show-hidden", "carl.asm"}, "",
        a.dir.path);
    nlohmann::json doc = nlohmann::json::parse(teacher.output);
    EXPECT_EQ(doc["files"][0]["cases"][0]["expectations"],
              nlohmann::json({"mem data = 3 9 17 28 42 64 100 200", "show expected no",
                              "out 3 9 17 28 42 64 100 200"}));
    EXPECT_EQ(doc["files"][0]["cases"][1]["expectations"].size(), 2u);
}
