// The checker: how it reads expectations and cases files, how it escapes
// JSON, and one scripted session per kind of report driving the real
// program, whose output is compared byte for byte.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "cases.hpp"
#include "json_writer.hpp"
#include "run_program.hpp"

namespace {

std::string examples_file(const std::string& name) {
    return read_file(std::string(EXAMPLES_DIR) + "/" + name);
}

RunResult run_checker(const TempDir& dir, const std::vector<std::string>& arguments) {
    return run_program(CHECKER_PATH, arguments, "", dir.path);
}

}  // namespace

TEST(CheckerExpectLines, ReadsTheExamplesFormAndEveryOtherExpectation) {
    TestCase c = source_case(
        "; demo\n"
        "; expect: out 1 2 3\r\n"
        ";expect:out 255\n"
        "        ldi 1   ; expect: out 9 (not at the line start: ignored)\n"
        "; expect: instructions 12\n"
        "; expect: clocks <= 34\n"
        ";  expect: instructions <=5\n"
        "; expect: status 255\n"
        "; expect: stop  Stack underflow  \n"
        "; expect: mem Data+2 = 7 8\n"
        "; expect: set 100 = 0\n"
        "; expect: points 3\n"
        "; expect: limit 50\n"
        // Each of these is a problem of the case, with its line number.
        "; expect: clock 5\n"
        "; expect: out 256\n"
        "; expect: out 4Ah\n"
        "; expect: instructions 1 2\n"
        "; expect: status 1\n"
        "; expect: mem data 7\n"
        "; expect: mem 16384 = 1\n"
        "; expect: set x =\n"
        "; expect: limit 0\n"
        "; expect: stop\n",
        "demo.asm");
    EXPECT_EQ(c.name, "demo.asm");
    EXPECT_EQ(c.out, (std::vector<std::uint8_t>{1, 2, 3, 255}));
    ASSERT_EQ(c.counts.size(), 3u);
    EXPECT_TRUE(c.counts[0].kind == CountKind::INSTRUCTIONS && !c.counts[0].at_most &&
                c.counts[0].value == 12);
    EXPECT_TRUE(c.counts[1].kind == CountKind::CLOCKS && c.counts[1].at_most &&
                c.counts[1].value == 34);
    EXPECT_TRUE(c.counts[2].at_most && c.counts[2].value == 5);
    EXPECT_EQ(c.status, 255);
    EXPECT_EQ(c.stop, "Stack underflow");
    ASSERT_EQ(c.mem.size(), 1u);
    EXPECT_EQ(c.mem[0].where.label, "data");
    EXPECT_EQ(c.mem[0].where.offset, 2);
    EXPECT_EQ(c.mem[0].values, (std::vector<std::uint8_t>{7, 8}));
    ASSERT_EQ(c.presets.size(), 1u);
    EXPECT_EQ(c.presets[0].where.label, "");
    EXPECT_EQ(c.presets[0].where.offset, 100);
    EXPECT_EQ(c.points, 300);
    EXPECT_EQ(c.limit, 50u);
    EXPECT_EQ(c.problems, (std::vector<std::string>{
                              "line 14: clock: unknown expectation 'clock'",
                              "line 15: out: not a byte value: '256'",
                              "line 16: out: not a byte value: '4Ah'",
                              "line 17: instructions: expected N, <= N or <= reference * N",
                              "line 18: status: status is 0 or 255",
                              "line 19: mem: expected LOCATION = VALUE...",
                              "line 20: mem: not an address below 16384: '16384'",
                              "line 21: set: no values after '='",
                              "line 22: limit: expected one number from 1 to 999999999999",
                              "line 23: stop: expected the stop's message",
                          }));

    // Lines are numbered as the assembler numbers them: it reads a
    // 300-character line as two. A source without expectations has
    // nothing to check.
    EXPECT_EQ(source_case(";" + std::string(299, 'x') + "\n; expect: out x\n", "a").problems,
              std::vector<std::string>{"line 3: out: not a byte value: 'x'"});
    EXPECT_EQ(source_case("hlt\n", "b").problems,
              std::vector<std::string>{"nothing to check: no '; expect:' line and no --cases"});
}

TEST(CheckerCasesFile, NamesCasesAndRefusesWhatItCannotRead) {
    std::string error;
    std::vector<TestCase> cases = read_cases(
        "# comment\n\ncase first one\n  out 1\n; comment\ncase second\r\npoints 2\n", error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(cases.size(), 2u);
    EXPECT_EQ(cases[0].name, "first one");
    EXPECT_EQ(cases[0].out, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(cases[1].name, "second");
    EXPECT_EQ(cases[1].points, 200);

    // A byte order mark is skipped; every stop message as the manual lists
    // them is accepted, in its short and its whole form.
    cases = read_cases(
        "\xEF\xBB\xBF"
        "case s\nstop Stack overflow\nstop Stack underflow\nstop Devide by zero\n"
        "stop unknown machine code\nstop PC overload (PC > MAX_MEMORY)\n"
        "stop ERROR indirect overload (> MAX_MEMORY)\n"
        "stop ERROR address overload (> MEMORY_SIZE)\n"
        "stop -STAW- ERROR address overload (> MEMORY_SIZE)\n"
        "stop -LDA- ERROR indirect overload (> MAX_MEMORY)\n"
        "stop -ERROR- PC overload (PC > MAX_MEMORY)\nstop ERROR Devide by zero\n"
        "mem 16383 = 0\nset Data+16383 = 1 2\n",
        error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(cases.size(), 1u);
    EXPECT_EQ(cases[0].name, "s");
    EXPECT_EQ(cases[0].lines.size(), 13u);

    const std::pair<const char*, const char*> bad[] = {
        {"out 1\n", "line 1: expected 'case NAME' first"},
        {"case a\nout -1\n", "line 2: out: not a byte value: '-1'"},
        {"case\n", "line 1: case: expected a name"},
        {"# nothing\n", "no case in the file"},
        {"case a\npoints many\n",
         "line 2: points: expected a number from 0 to 1000000 with at most two decimals"},
        // Known when the file is read: memory's end, what a label is, the
        // stops there are, one name per case.
        {"case a\nmem 16383 = 0 0\n", "line 2: mem: 16383 reaches past the end of memory"},
        {"case a\nset 16383 = 1 2\n", "line 2: set: 16383 reaches past the end of memory"},
        {"case a\nmem -1 = 0\n", "line 2: mem: not an address or a label: '-1'"},
        {"case a\nmem data+1x = 0\n", "line 2: mem: not an offset: 'data+1x'"},
        {"case a\nset abcdefghijklmnopqrst = 0\n",
         "line 2: set: not an address or a label: 'abcdefghijklmnopqrst'"},
        {"case a\nstop Divide by zero\n", "line 2: stop: no stop has the message 'Divide by zero'"},
        {"case a\nstop -ADD- ERROR address overload (> MEMORY_SIZE)\n",
         "line 2: stop: no stop has the message '-ADD- ERROR address overload (> MEMORY_SIZE)'"},
        {"case a\nout 1\n\ncase b\ncase a\n", "line 5: case: 'a' again (first on line 1)"},
        {"\xEF\xBB\xBF\xEF\xBB\xBF"
         "case a\n",
         "line 1: expected 'case NAME' first"},
    };
    for (const auto& [text, message] : bad) {
        error.clear();
        read_cases(text, error);
        EXPECT_EQ(error, message) << text;
    }
}

TEST(CheckerJson, EscapesOddBytesIntoValidJson) {
    // Quotes, backslashes and control characters escaped; valid UTF-8 kept;
    // a byte outside a valid sequence (lone continuation, overlong form,
    // surrogate, cut-off sequence) written as the code point of its value.
    const std::string odd =
        "q\"b\\n\n\x01\x1f\x7f"
        "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"
        "\x80\xc0\xaf\xed\xa0\x80\xe2\x82";
    EXPECT_EQ(json_string(odd),
              "\"q\\\"b\\\\n\\n\\u0001\\u001f\\u007f\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"
              "\\u0080\\u00c0\\u00af\\u00ed\\u00a0\\u0080\\u00e2\\u0082\"");
    JsonWriter json;
    json.begin_object();
    json.key(odd);
    json.begin_array(true);
    json.value(odd);
    json.value(-1LL);
    json.value(true);
    json.null();
    json.end_array();
    json.end_object();
    nlohmann::json parsed = nlohmann::json::parse(json.text());
    const std::string latin1 = "\xc2\x80\xc3\x80\xc2\xaf\xc3\xad\xc2\xa0\xc2\x80\xc3\xa2\xc2\x82";
    const std::string decoded =
        "q\"b\\n\n\x01\x1f\x7f\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80" + latin1;
    ASSERT_TRUE(parsed.contains(decoded));
    EXPECT_EQ(parsed[decoded], nlohmann::json::array({decoded, -1, true, nullptr}));
}

// One batch over students' files, missing ones among them, and the command
// lines and cases files that are refused before anything runs.
TEST(CheckerProgram, GradesStudentProgramsAndRefusesUsageErrorsAndUnreadableFiles) {
    TempDir dir;
    write_file(dir.file("p.asm"), "hlt\n");
    write_file(dir.file("bad.cases"), "case a\nout x\n");
    write_file(dir.file("sort.asm"), examples_file("sort.asm"));
    // A program that sorts nothing and prints nothing.
    write_file(dir.file("lazy.asm"), "hlt\n[data db 0\n");
    write_file(dir.file("spin.asm"), "; expect: limit 1000\n[spin jmp spin\n");
    write_file(dir.file("loop.asm"),
               "; expect: limit 1003\n; expect: out\n[spin ldi 1\n  out 0\n"
               "  nop\n  jmp spin\n");
    write_file(dir.file("broken.asm"), "; expect: out 1\nldi 1\nout 0\nldi -1\nhlt\n");
    write_file(dir.file("sort.cases"),
               "# three arrays for the sorting assignment\n"
               "case given\n"
               "  mem data = 3 9 17 28 42 64 100 200\n"
               "  instructions <= 1000\n"
               "  points 1\n"
               "case reversed\n"
               "  set data = 8 7 6 5 4 3 2 1\n"
               "  mem data = 1 2 3 4 5 6 7 8\n"
               "  out 1 2 3 4 5 6 7 8\n"
               "  points 2\n"
               "case almost\n"
               "  set data+6 = 0\n"
               "  mem data+7 = 100\n"
               "  points 3\n");
    write_file(dir.file("under.asm"), "; expect: stop Stack underflow\nadd\n");
    // Line ends of a CR alone: one line to the assembler, an expect line to the student.
    write_file(dir.file("cr.asm"), "ldi 3\rout 0\rhlt\r; expect: out 3\r");
    write_file(dir.file("under0.asm"), "; expect: status 0\nadd\n");
    write_file(dir.file("twice.cases"), "\xEF\xBB\xBF# first\ncase a\nout 1\ncase a\n");
    write_file(dir.file("halt.cases"), "\xEF\xBB\xBF  case halts\n");
    std::filesystem::create_directory(dir.file("folder.asm"));
    std::filesystem::create_directory(dir.file("-23-rf"));
    write_file(dir.file("-23-rf/p.asm"), "hlt\n");
    write_file(dir.file("same.cases"), "case a\n  out same\n  out 1\n");
    write_file(dir.file("mem.cases"), "case a\n  mem data+2 = 1 2\n  mem data same 3\n");

    struct Run {
        std::vector<std::string> arguments;
        std::string output;
        int status;
        std::string errors = "";
    };
    const std::string usage =
        "Usage: checker [--format FORMAT] [--cases CASES_FILE] [OPTION]... SOURCE_OR_FOLDER...\n";
    const Run runs[] = {
        {{"--cases", "sort.cases", "sort.asm", "lazy.asm"},
         "PASS sort.asm [given]\n"
         "PASS sort.asm [reversed]\n"
         "FAIL sort.asm [almost] (set data+6 = 0): expected mem data+7 = 100, got 200\n"
         "  try: debugger --set 'data+6 = 0' sort.asm\n"
         "sort.asm: points 3/6\n"
         "FAIL lazy.asm [given]: expected mem data = 3, got 0\n  try: debugger lazy.asm\n"
         "FAIL lazy.asm [reversed] (set data = 8 7 6 5 4 3 2 1): expected out 1 2 3 4 5 6 7 8, "
         "got nothing\n  try: debugger --set 'data = 8 7 6 5 4 3 2 1' lazy.asm\n"
         "FAIL lazy.asm [almost] (set data+6 = 0): expected mem data+7 = 100, got 0\n"
         "  try: debugger --set 'data+6 = 0' lazy.asm\n"
         "lazy.asm: points 0/6\n"
         "case given: 1 of 2 passed\ncase reversed: 1 of 2 passed\ncase almost: 0 of 2 passed\n"
         "2 passed, 4 failed, points 3/12\n",
         1},
        // Unreadable sources fail; the others are graded.
        {{"under.asm", "missing.asm", "under0.asm", "spin.asm", "loop.asm", "broken.asm", "p.asm"},
         "PASS under.asm\n"
         "FAIL missing.asm: cannot read missing.asm\n"
         "FAIL under0.asm: expected status 0, got 255 (stop \"Stack underflow\" at PC 0)\n"
         "  try: debugger under0.asm\n"
         "FAIL spin.asm: did not halt within 1000 instructions; the last ran at PC 0 (spin), "
         "line 2: [spin jmp spin\n  try: debugger spin.asm\n"
         "  then: goto 1000 (where the case stopped: continue would not return)\n"
         "FAIL loop.asm: did not halt within 1003 instructions; the last ran at PC 4 (spin+4), "
         "line 5: nop\n  try: debugger loop.asm\n"
         "  then: goto 1003 (where the case stopped: continue would not return)\n"
         "FAIL broken.asm: assembler error on line 4: Line 4 have syntax error\n"
         "FAIL p.asm: nothing to check: no '; expect:' line and no --cases\n"
         "1 passed, 6 failed\n",
         1},
        {{"--cases", "halt.cases", "p.asm", "missing.asm", "folder.asm"},
         "PASS p.asm [halts]\nFAIL missing.asm [halts]: cannot read missing.asm\n"
         "FAIL folder.asm [halts]: no .asm file in the folder folder.asm\n"
         "case halts: 1 of 3 passed\n1 passed, 2 failed\n",
         1},
        // A folder is graded on the teacher's cases, never on its own lines.
        {{"folder.asm"},
         "",
         2,
         "checker: the folder 'folder.asm' is a submission: --cases names what it is graded "
         "on\n" +
             usage},
        // "--" ends the options before a folder whose name starts with '-'.
        {{"--cases", "halt.cases", "--", "-23-rf"}, "PASS -23-rf [halts]\n1 passed, 0 failed\n", 0},
        {{"--cases", "same.cases", "p.asm"},
         "",
         2,
         "checker: same.cases: line 3: out: 'out same' and 'out V...' in one case: one of them "
         "would be ignored\n"},
        {{"--cases", "mem.cases", "p.asm"},
         "",
         2,
         "checker: mem.cases: line 3: mem: 'same' and '=' for the same bytes in one case: one of "
         "them would be ignored\n"},
        {{"under.asm", "cr.asm"}, "PASS under.asm\nPASS cr.asm\n2 passed, 0 failed\n", 0},
        {{}, "", 2, "checker: no source file\n"},
        {{"--cases"}, "", 2, "checker: option '--cases' needs an argument\n" + usage},
        {{"--verbose", "p.asm"}, "", 2, "checker: unknown option '--verbose'\n" + usage},
        {{"--cases", "bad.cases", "p.asm"},
         "",
         2,
         "checker: bad.cases: line 2: out: not a byte value: 'x'\n"},
        {{"--cases", "twice.cases", "p.asm"},
         "",
         2,
         "checker: twice.cases: line 4: case: 'a' again (first on line 2)\n"},
        {{"--cases", "halt.cases", "--cases", "bad.cases", "p.asm"},
         "",
         2,
         "checker: option '--cases' given twice\n" + usage},
        {{"--cases", ".", "p.asm"}, "", 2, "checker: cannot read .\n"},
    };
    for (const Run& run : runs) {
        RunResult r = run_checker(dir, run.arguments);
        const std::string what = run.arguments.empty() ? "(none)" : run.arguments.back();
        EXPECT_EQ(r.output, run.output) << what;
        EXPECT_EQ(r.exit_status, run.status) << what;
        // Standard error is collected only with arguments.
        if (!run.arguments.empty()) {
            EXPECT_EQ(r.errors, run.errors) << what;
        }
    }
}

TEST(CheckerProgram, WritesOneJsonDocumentWithTheRunsFacts) {
    TempDir dir;
    // A case name full of odd bytes.
    const std::string odd = "\"\\\x01\xff\xc3\xa9";
    write_file(dir.file("div.asm"), "; expect: out 7\nldi 7\nout 0\nldi 0\nldi 1\ndiv\nhlt\n");
    // 13,334 values on port 0 before the limit: the report keeps 10,000,
    // the comparison sees them all.
    write_file(dir.file("talk.asm"), "[talk ldi 7\nout 0\njmp talk\n");
    write_file(dir.file("odd.cases"), "case " + odd + "\nmem nowhere = 1\nstop Stack underflow" +
                                          "\npoints 4\ncase zero\nstop Devide by zero\n"
                                          "case talk\nlimit 40001\nout 7\n");
    RunResult r =
        run_checker(dir, {"--json", "--cases", "odd.cases", "div.asm", "talk.asm", "missing.asm"});
    EXPECT_EQ(r.exit_status, 1);
    nlohmann::json doc = nlohmann::json::parse(r.output);  // throws on invalid JSON
    const std::string shown = "\"\\\x01\xc3\xbf\xc3\xa9";  // 0xff read as U+00FF
    const nlohmann::json& cases = doc["files"][0]["cases"];
    EXPECT_EQ(cases[0]["name"], shown);
    EXPECT_EQ(cases[0]["passed"], false);
    EXPECT_EQ(
        cases[0]["failures"],
        nlohmann::json::array({"expected stop \"Stack underflow\", got stop \"Devide by zero\"",
                               "mem: no label 'nowhere' in the program"}));
    EXPECT_EQ(cases[0]["points"], 0);
    EXPECT_EQ(cases[0]["points_possible"], 4);
    EXPECT_EQ(cases[1]["passed"], true);
    EXPECT_EQ(cases[1]["run"], nlohmann::json::parse(R"({"outcome": "stopped", "status": 255,
                  "stop": "Devide by zero", "stop_message": "\nERROR\nDevide by zero\n",
                  "stop_pc": 8, "instructions": 4, "clocks": 12, "out": [7], "out_more": 0,
                  "final_pc": 8, "final_sp": 16383, "findings": []})"));
    const nlohmann::json& talk = doc["files"][1]["cases"][2];
    EXPECT_EQ(talk["failures"],
              nlohmann::json::array(
                  {"did not halt within 40001 instructions; the last ran at PC 2 "
                   "(talk+2), line 2: out 0",
                   "expected 1 out values, got 13334 (#2 = 7); expected 7, got 7 7 7 7 7 ..."}));
    EXPECT_EQ(talk["run"]["out"].size(), 10'000u);
    EXPECT_EQ(talk["run"]["out_more"], 3334);
    EXPECT_EQ(talk["run"]["final_pc"], 4);
    EXPECT_EQ(talk["run"]["final_sp"], 16383);
    const nlohmann::json& unread = doc["files"][2]["cases"][0];
    EXPECT_EQ(unread["failures"], nlohmann::json::array({"cannot read missing.asm"}));
    EXPECT_EQ(unread["run"]["outcome"], "not run");
    EXPECT_EQ(unread["run"]["final_pc"], nullptr);
    EXPECT_EQ(doc["passed"], 1);
    EXPECT_EQ(doc["failed"], 8);
    // Three files of "points 4" and two cases of one point each.
    EXPECT_EQ(doc["points_possible"], 18);
}

TEST(CheckerProgram, GradesALeakingSolutionDownAndShowsTheFindingsOfAFailedCase) {
    TempDir dir;
    const std::string countdown =
        "        ldi 3\n"
        "        std n\n"
        "[loop   ldd n\n"
        "%s"
        "        out 0\n"
        "        ldd n\n"
        "        dec\n"
        "        std n\n"
        "        ldd n\n"
        "        ldi 0\n"
        "        cmp\n"
        "        jnz loop\n"
        "        hlt\n"
        "[n      db 0\n";
    auto program = [&](const std::string& expect, const std::string& extra) {
        std::string text = expect + countdown;
        text.replace(text.find("%s"), 2, extra);
        return text;
    };
    const std::string expect = "; expect: out 3 2 1\n; expect: stack empty\n; expect: points 2\n";
    write_file(dir.file("good.asm"),
               program(expect + "; expect: no findings\n; expect: sp 16383\n", ""));
    // One copy too many each time round: the output is right, the stack is not.
    write_file(dir.file("leak.asm"), program(expect, "        ldd n\n"));
    write_file(dir.file("worked.asm"),
               "; expect: no findings\n"
               "; expect: status 255\n"
               "        ldi 3\n"
               "        ldi 4\n"
               "        call mult\n"
               "        out 0\n"
               "        hlt\n"
               "[mult   std a\n"
               "        std b\n"
               "        stdw mret\n"
               "        lddw mret\n"
               "        ret\n"
               "[a      db 0\n"
               "[b      db 0\n"
               "[mret   dw 0\n");
    write_file(dir.file("bad.asm"),
               "; expect: no trouble\n; expect: stack full\n; expect: sp x\nhlt\n");
    RunResult r = run_checker(dir, {"good.asm", "leak.asm", "worked.asm", "bad.asm"});
    EXPECT_EQ(
        r.output,
        "PASS good.asm\n"
        "good.asm: points 2/2\n"
        "FAIL leak.asm: expected stack empty, got 3 bytes on the stack (SP 16380); of the 3 "
        "bytes on the stack, 3 were pushed by line 6: [loop   ldd n\n"
        "  try: debugger leak.asm\n"
        "leak.asm: points 0/2\n"
        "FAIL worked.asm: expected no findings, got 2: return mismatch at instruction 8, "
        "PC 0016 (22): ret at line 12 (mult+12) goes to 0304, but the call at line 5 (to mult) "
        "pushed 0007\n"
        "  finding: return mismatch at instruction 8, PC 0016 (22): ret at line 12 (mult+12) goes "
        "to 0304, but the call at line 5 (to mult) pushed 0007\n"
        "  finding: stray PC at instruction 9, PC 0304 (772): execution left the program at 0304 "
        "after the ret at line 12 (mult+12)\n"
        "  try: debugger worked.asm\n"
        "FAIL bad.asm: line 1: no: expected 'no findings'\n"
        "1 passed, 3 failed, points 2/6\n");
    EXPECT_EQ(r.exit_status, 1);

    r = run_checker(dir, {"--json", "worked.asm", "bad.asm"});
    nlohmann::json doc = nlohmann::json::parse(r.output);
    const nlohmann::json& worked = doc["files"][0]["cases"][0];
    EXPECT_EQ(worked["run"]["findings"].size(), 2u);
    EXPECT_EQ(worked["run"]["final_sp"], 16384 - 1 - 4096 + 1);  // the stack filled up: SP 0x3000
    EXPECT_EQ(doc["files"][1]["cases"][0]["failures"],
              nlohmann::json::array({"line 1: no: expected 'no findings'",
                                     "line 2: stack: expected 'stack empty' or stack V...",
                                     "line 3: sp: expected one number from 0 to 16383"}));
}

// "no findings" names the kinds it adds to the default ones; a walk one
// byte past its table passes without them.
TEST(CheckerProgram, NoFindingsTurnsOnTheKindsItNames) {
    TempDir dir;
    const std::string walk =
        "        ldiw t\n"
        "        stdw p\n"
        "[loop   lda p\n"
        "        lddw p\n"
        "        incw\n"
        "        stdw p\n"
        "        ldd p\n"
        "        ldi 10\n"
        "        cmp\n"
        "        jnz loop\n"
        "        hlt\n"
        "[t      db 1\n"
        "        db 2\n"
        "[p      dw 0\n";
    write_file(dir.file("plain.asm"), "; expect: no findings\n" + walk);
    write_file(dir.file("bounds.asm"), "; expect: no findings bounds\n" + walk);
    write_file(dir.file("typo.asm"), "; expect: no findings bonds\n" + walk);
    RunResult r = run_checker(dir, {"plain.asm", "bounds.asm", "typo.asm"});
    EXPECT_EQ(r.output,
              "PASS plain.asm\n"
              "FAIL bounds.asm: expected no findings, got 1: past the end at instruction 19, PC "
              "0006 (6): lda at line 4 (loop) reads 001C (p), 1 past the end of t (2 bytes, line "
              "13)\n"
              "  finding: past the end at instruction 19, PC 0006 (6): lda at line 4 (loop) reads "
              "001C (p), 1 past the end of t (2 bytes, line 13)\n"
              "  try: debugger bounds.asm\n"
              "FAIL typo.asm: line 1: no: no kind of finding is named 'bonds'\n"
              "1 passed, 2 failed\n");
}
