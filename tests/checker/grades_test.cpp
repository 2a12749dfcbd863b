// One score in every format, hidden points kept from a total a student can
// see, and random bytes nobody can shop for: driven through the real
// program on the manual's sort assignment.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "run_program.hpp"

namespace {

// alice sorts, bob sorts backwards, carl stops after two passes (partial
// credit on random zeros and ones), broken does not assemble. Cases with
// points, without, partial and hidden. Bob's sort never ends: each case's
// limit keeps his runs short (the sanitizer build runs them too).
struct Class {
    TempDir dir;
    std::vector<std::string> names = {"alice.asm", "bob.asm", "carl.asm", "broken.asm"};
    Class() {
        std::string sort = read_file(std::string(EXAMPLES_DIR) + "/sort.asm");
        write_file(dir.file("alice.asm"), sort);
        std::string bob = sort;
        bob.replace(bob.find("jns inorder"), 11, "js inorder");
        write_file(dir.file("bob.asm"), bob);
        std::string carl = sort;
        carl.replace(carl.find("[swapped db 0"), 0, "[passes db 2\n");
        carl.replace(carl.find("        jnz pass\n"), 17,
                     "        jz done\n        ldd passes\n        dec\n        std passes\n"
                     "        jnz pass\n[done    nop\n");
        write_file(dir.file("carl.asm"), carl);
        write_file(dir.file("broken.asm"), "ldi -1\nhlt\n");
        write_file(dir.file("c.cases"),
                   "case given\n  mem data = 3 9 17 28 42 64 100 200\n  points 2\n  limit 100000\n"
                   "case reversed\n  set data = 8 7 6 5 4 3 2 1\n  mem data = 1 2 3 4 5 6 7 8\n"
                   "  limit 100000\n"
                   "case coins\n  set data = random 8 0..1\n  repeat 9\n  partial\n  points 3\n"
                   "  mem data same 8\n  limit 100000\n"
                   "case secret\n  visibility after_due_date\n  out 3 9 17 28 42 64 100 200\n  "
                   "points 1.5\n"
                   "  limit 100000\n");
        write_file(dir.file("ref.asm"), sort);
    }
    RunResult check(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"--cases", "c.cases", "--reference", "ref.asm"});
        return run_program(CHECKER_PATH, arguments, "", dir.path);
    }
    RunResult all(const std::string& format) const {
        std::vector<std::string> arguments = {"--format", format};
        arguments.insert(arguments.end(), names.begin(), names.end());
        return check(arguments);
    }
};

// "P/T" of every "NAME: points P/T" (text) or "# NAME: points P/T" (TAP) line.
std::map<std::string, std::string> points_lines(const std::string& text, const char* prefix) {
    std::map<std::string, std::string> totals;
    std::regex line(std::string("(^|\n)") + prefix + "([^\n:]+): points ([0-9.]+/[0-9.]+)");
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it)
        totals[(*it)[2]] = (*it)[3];
    return totals;
}

std::string number(const nlohmann::json& value) {
    std::string text = value.dump();  // 1.71, 4, 4.5
    return text;
}

}  // namespace

TEST(CheckerGrades, EveryFormatGivesEachSubmissionTheSameTotal) {
    Class a;
    // The JSON report's totals are the standard; every case carries its
    // points as counted, a case without "points" one point.
    nlohmann::json json = nlohmann::json::parse(a.all("json").output);
    std::map<std::string, std::string> want;
    for (const auto& f : json["files"]) {
        double earned = 0, possible = 0;
        for (const auto& c : f["cases"]) {
            earned += c["points"].get<double>();
            possible += c["points_possible"].get<double>();
            if (!c["passed"].get<bool>()) {
                EXPECT_LT(c["points"], c["points_possible"]);
            }
        }
        EXPECT_NEAR(earned, f["points"].get<double>(), 1e-9);
        EXPECT_NEAR(possible, f["points_possible"].get<double>(), 1e-9);
        want[f["file"]] = number(f["points"]) + "/" + number(f["points_possible"]);
    }
    // Cases of carl's partial run earn a share: not all, not nothing.
    EXPECT_EQ(want.size(), 4u);
    EXPECT_EQ(want["alice.asm"], "7.5/7.5");
    EXPECT_EQ(want["broken.asm"], "0/7.5");
    EXPECT_NE(want["carl.asm"].substr(0, 2), "0/");
    EXPECT_NE(want["carl.asm"], "7.5/7.5");

    EXPECT_EQ(points_lines(a.all("text").output, ""), want);
    EXPECT_EQ(points_lines(a.all("tap").output, "# "), want);

    std::map<std::string, std::string> csv, junit;
    std::string rows = a.all("csv").output;
    std::regex row("\n([^,\r]+),([0-9.]+),([0-9.]+),");
    for (std::sregex_iterator it(rows.begin(), rows.end(), row), end; it != end; ++it)
        csv[(*it)[1]] = std::string((*it)[2]) + "/" + std::string((*it)[3]);
    EXPECT_EQ(csv, want);
    std::string xml = a.all("junit").output;
    std::regex suite(
        "<testsuite name=\"([^\"]+)\"[^>]*>\\s*<properties>\\s*<property name=\"points\" "
        "value=\"([0-9.]+)\"/>\\s*<property name=\"points_possible\" value=\"([0-9.]+)\"/>");
    for (std::sregex_iterator it(xml.begin(), xml.end(), suite), end; it != end; ++it)
        junit[(*it)[1]] = std::string((*it)[2]) + "/" + std::string((*it)[3]);
    EXPECT_EQ(junit, want);

    for (const std::string& name : a.names) {
        nlohmann::json gs = nlohmann::json::parse(a.check({"--format", "gradescope", name}).output);
        EXPECT_EQ(number(gs["score"]) + "/" + number(gs["max_score"]), want[name]);
        nlohmann::json pl =
            nlohmann::json::parse(a.check({"--format", "prairielearn", name}).output);
        double earned = std::stod(want[name]);
        double possible = std::stod(want[name].substr(want[name].find('/') + 1));
        EXPECT_NEAR(pl["score"].get<double>(), earned / possible, 1e-9) << name;
    }
}

TEST(CheckerGrades, HiddenPointsStayOutOfWhatAStudentSees) {
    Class a;
    // After the due date: the total is shown no earlier; each test names its own.
    RunResult due = a.check({"--seed", "5", "--format", "gradescope", "alice.asm"});
    nlohmann::json doc = nlohmann::json::parse(due.output);
    EXPECT_EQ(doc["visibility"], "after_due_date");
    EXPECT_EQ(doc["tests"][0]["visibility"], "visible");
    EXPECT_EQ(doc["output"], "alice.asm: 3 passed, 0 failed, points 6/6");
    EXPECT_EQ(due.errors, "");

    // A case never shown: the total waits for publication, and a warning says
    // that its points are still in it.
    write_file(a.dir.file("h.cases"),
               "case given\n  mem data = 3\ncase secret\n"
               "  visibility hidden\n  out 3\n  points 4\n");
    RunResult hidden = run_program(
        CHECKER_PATH, {"--cases", "h.cases", "--seed", "5", "--format", "gradescope", "bob.asm"},
        "", a.dir.path);
    doc = nlohmann::json::parse(hidden.output);
    EXPECT_EQ(doc["visibility"], "after_published");
    EXPECT_EQ(doc["tests"][1]["visibility"], "hidden");
    EXPECT_EQ(hidden.errors,
              "checker: warning: the points of hidden case 'secret' are in the total score, "
              "which students see once grades are published; give it 'points 0' or "
              "'visibility after_published' to say so\n");
    // Nothing hidden: no visibility of the whole, as before.
    write_file(a.dir.file("v.cases"), "case given\n  mem data = 3\n");
    doc = nlohmann::json::parse(
        run_program(CHECKER_PATH, {"--cases", "v.cases", "--format", "gradescope", "bob.asm"}, "",
                    a.dir.path)
            .output);
    EXPECT_FALSE(doc.contains("visibility"));
}

TEST(CheckerGrades, RandomBytesDependOnSeedCaseAndStudentOnly) {
    TempDir dir;
    // A run that always fails shows the bytes drawn for its first run.
    const std::string source = "; mine\nhlt\n[data db 0 0 0 0 0 0\n";
    const std::string cases = "case draw\n  set data = random 6 0..255\n  repeat 2\n  out 1\n";
    for (const char* student : {"ana", "ben", "submission"})
        std::filesystem::create_directories(dir.file(student));
    write_file(dir.file("ana/s.asm"), source);
    write_file(dir.file("ben/s.asm"), source);
    write_file(dir.file("seed"), "a teacher's phrase\n");
    auto bytes = [&](const std::string& cases_text, std::vector<std::string> arguments) {
        write_file(dir.file("c.cases"), cases_text);
        arguments.insert(arguments.begin(), {"--cases", "c.cases"});
        RunResult run = run_program(CHECKER_PATH, arguments, "", dir.path);
        std::size_t at = run.output.find("(repeat 1 of 2, set data = ");
        std::size_t end = run.output.find(')', at);
        return at == std::string::npos ? "none: " + run.output : run.output.substr(at, end - at);
    };
    const std::string ana = bytes(cases, {"ana"});
    EXPECT_NE(ana.substr(0, 4), "none");
    EXPECT_NE(ana, bytes(cases, {"ben"}));  // another student, other bytes
    // Comments and spacing of the source, and the case's name, draw nothing new.
    write_file(dir.file("ana/s.asm"), ";  a comment\n  hlt  ; stop\n[data db 0 0 0 0 0 0\n");
    EXPECT_EQ(ana, bytes(cases, {"ana"}));
    EXPECT_EQ(ana,
              bytes("case draw it\n  set data = random 6 0..255\n  repeat 2\n  out 1\n", {"ana"}));
    // The teacher's seed changes them; the same file draws the same again.
    const std::string seeded = bytes(cases, {"--seed-file", "seed", "ana"});
    EXPECT_NE(ana, seeded);
    EXPECT_EQ(seeded, bytes(cases, {"--seed-file", "seed", "ana"}));
    EXPECT_NE(ana, bytes(cases, {"--seed", "77", "ana"}));

    // Under a grading site every folder is "submission": its user ids tell
    // the students apart.
    write_file(dir.file("submission/s.asm"), source);
    auto site = [&](const std::string& id) {
        write_file(dir.file("submission_metadata.json"),
                   "{\"id\": 9, \"users\": [{\"email\": \"x@y\", \"id\": " + id +
                       ", \"name\": \"X\"}], \"assignment\": {\"id\": 4}}");
        write_file(dir.file("c.cases"), cases);
        RunResult run = run_program(CHECKER_PATH,
                                    {"--cases", "c.cases", "--format", "gradescope", "submission"},
                                    "", dir.path);
        return nlohmann::json::parse(run.output)["tests"][0]["output"].get<std::string>() +
               run.errors;
    };
    std::string first = site("101");
    // Its try line names the source inside the folder, never the grader's path.
    EXPECT_NE(first.find("try: debugger --set 'data = "), std::string::npos) << first;
    EXPECT_EQ(first.find("submission/s.asm"), std::string::npos) << first;
    EXPECT_NE(first, site("102"));
    EXPECT_EQ(first, site("101"));
    // The default seed under a platform format is named on standard error.
    EXPECT_NE(first.find("checker: warning: hidden or random cases with the default seed"),
              std::string::npos)
        << first;
    RunResult quiet = run_program(
        CHECKER_PATH,
        {"--cases", "c.cases", "--seed-file", "seed", "--format", "prairielearn", "submission"}, "",
        dir.path);
    EXPECT_EQ(quiet.errors, "");
    RunResult both = run_program(
        CHECKER_PATH, {"--cases", "c.cases", "--seed", "3", "--seed-file", "seed", "ana"}, "",
        dir.path);
    EXPECT_EQ(both.exit_status, 2);
}

TEST(CheckerGrades, RosterCsvAndGradebooksReadBackByPythonsCsv) {
    Class a;
    // Folders named as a platform exports them: one starts with '-', one
    // with a TAB, one holds ESC; eve has no submission, and bob is not on
    // the roster.
    const std::string tab = "\tcat", esc = "d\x1b[2Jan";
    for (const std::string& folder : {std::string("-23-rf"), tab, esc, std::string("bob")}) {
        std::filesystem::create_directories(a.dir.file(folder));
        write_file(a.dir.file(folder + "/sort.asm"),
                   read_file(a.dir.file(folder == "bob" ? "bob.asm" : "alice.asm")));
    }
    write_file(a.dir.file("roster.csv"),
               "folder,id,name\r\n-23-rf,=0042,\"Rf, Ann\"\r\n\tcat,007,Cat\r\n" + esc +
                   ",0099,Dan\r\neve,0100,Eve\r\n");
    auto grade = [&](const std::string& format) {
        return a.check({"--seed", "3", "--source", "sort.asm", "--roster", "roster.csv", "--format",
                        format, "--", "-23-rf", tab, esc, "bob"});
    };
    RunResult csv = grade("csv");
    EXPECT_EQ(csv.errors,
              "checker: roster: no submission from eve (0100)\n"
              "checker: roster: bob is not on the roster\n");
    write_file(a.dir.file("out.csv"), csv.output);
    write_file(a.dir.file("canvas.csv"), grade("canvas").output);
    write_file(a.dir.file("moodle.csv"), grade("moodle").output);
    if (!file_exists("/usr/bin/python3")) {
        std::printf("SKIPPED: python3 is not installed\n");
        return;
    }
    RunResult read =
        run_program("/usr/bin/python3",
                    {"-c",
                     "import csv\n"
                     "for name in ('out.csv', 'canvas.csv', 'moodle.csv'):\n"
                     "    for row in csv.DictReader(open(name, newline='', encoding='utf-8')):\n"
                     "        print(name, sorted(row.items()))\n"},
                    "", a.dir.path);
    EXPECT_EQ(
        read.output,
        "out.csv [('failed', '0'), ('name', 'Rf, Ann'), ('passed', '4'), ('points', '7.5'), "
        "('points_possible', '7.5'), ('student_id', '=0042'), ('submission', \"'-23-rf\")]\n"
        "out.csv [('failed', '0'), ('name', 'Cat'), ('passed', '4'), ('points', '7.5'), "
        "('points_possible', '7.5'), ('student_id', '007'), ('submission', \"'\\\\tcat\")]\n"
        "out.csv [('failed', '0'), ('name', 'Dan'), ('passed', '4'), ('points', '7.5'), "
        "('points_possible', '7.5'), ('student_id', '0099'), ('submission', 'd\\\\e[2Jan')]\n"
        "out.csv [('failed', '4'), ('name', ''), ('passed', '0'), ('points', '0'), "
        "('points_possible', '7.5'), ('student_id', ''), ('submission', 'bob')]\n"
        "canvas.csv [('ID', ''), ('SIS Login ID', ''), ('SIS User ID', ''), ('Section', ''), "
        "('Student', 'Points Possible'), ('c', '7.5')]\n"
        "canvas.csv [('ID', '=0042'), ('SIS Login ID', ''), ('SIS User ID', ''), ('Section', ''), "
        "('Student', 'Rf, Ann'), ('c', '7.5')]\n"
        "canvas.csv [('ID', '007'), ('SIS Login ID', ''), ('SIS User ID', ''), ('Section', ''), "
        "('Student', 'Cat'), ('c', '7.5')]\n"
        "canvas.csv [('ID', '0099'), ('SIS Login ID', ''), ('SIS User ID', ''), ('Section', ''), "
        "('Student', 'Dan'), ('c', '7.5')]\n"
        "moodle.csv [('Full name', 'Rf, Ann'), ('ID number', '=0042'), ('c', '7.5')]\n"
        "moodle.csv [('Full name', 'Cat'), ('ID number', '007'), ('c', '7.5')]\n"
        "moodle.csv [('Full name', 'Dan'), ('ID number', '0099'), ('c', '7.5')]\n")
        << read.errors;
    // A gradebook needs the roster.
    EXPECT_EQ(a.check({"--format", "canvas", "alice.asm"}).exit_status, 2);
}

// The teacher's week: a feedback file per student, and a mended cases file
// compared with the grades given before.
TEST(CheckerGrades, FeedbackFilesAndARegradeAgainstTheEarlierReport) {
    Class a;
    RunResult graded = a.check({"--seed", "5", "--feedback-dir", "fb", "alice.asm", "bob.asm"});
    EXPECT_EQ(graded.exit_status, 1) << graded.errors;
    EXPECT_EQ(read_file(a.dir.file("fb/alice.asm.txt")),
              a.check({"--seed", "5", "alice.asm"}).output);
    // bob's own report: the hidden case as a bare FAIL, no line of alice's.
    std::string bob = read_file(a.dir.file("fb/bob.asm.txt"));
    EXPECT_NE(bob.find("FAIL bob.asm [secret]\n"), std::string::npos) << bob;
    EXPECT_EQ(bob.find("alice"), std::string::npos) << bob;

    write_file(a.dir.file("old.json"),
               a.check({"--seed", "5", "--json", "alice.asm", "bob.asm", "carl.asm"}).output);
    RunResult same =
        a.check({"--seed", "5", "--compare", "old.json", "alice.asm", "bob.asm", "carl.asm"});
    EXPECT_EQ(same.output, "no submission changed\n");
    EXPECT_EQ(same.exit_status, 0);
    // The mended file: reversed gives points, coins is gone, a case is new.
    std::string cases = read_file(a.dir.file("c.cases"));
    cases.replace(cases.find("case coins"), cases.find("case secret") - cases.find("case coins"),
                  "case ends\n  out 3 9 17 28 42 64 100 200\n  limit 100000\n");
    cases.replace(cases.find("  limit 100000\ncase ends"), 0, "  points 4\n");
    write_file(a.dir.file("c.cases"), cases);
    RunResult changed = a.check({"--seed", "5", "--compare", "old.json", "alice.asm", "bob.asm"});
    EXPECT_EQ(
        changed.output,
        "alice.asm: points 8.5/8.5, was 7.5/7.5; reversed points 4, was 1, ends is new (passes), "
        "coins is gone\n"
        "bob.asm: points 0/8.5, was 0/7.5; ends is new (fails), coins is gone\n"
        "carl.asm: in the earlier report only (points 1.33/7.5)\n"
        "3 of 3 submissions changed\n");
    EXPECT_EQ(changed.exit_status, 1);
}
