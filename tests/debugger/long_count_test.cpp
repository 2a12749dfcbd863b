// Counts past 2^32. A loop of 4.4 billion clocks run by the simulator, whose
// statistics lines keep their 32-bit form, and by the debugger and the
// checker, whose regs, halt line, profile, expectations and reports give the
// true 64-bit figures. The figures are worked
// out from the program: 838,867,207 instructions and 4,404,048,023 clocks.
#include <regex>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "run_program.hpp"

namespace {

constexpr const char* LONG_PROGRAM = R"(        ldi 42
        std early
        ldiw 3200
        stdw outer
[o      ldiw 65535
        stdw cnt
[in     lddw cnt
        decw
        stdw cnt
        jnz in
        lddw outer
        decw
        stdw outer
        jnz o
        ldi 7
        std late
        hlt
[early  db 0
[late   db 0
[outer  dw 0
[cnt    dw 0
)";

// 4 + 3 instructions outside the loops, 2 + 4 per outer pass and 4 per inner
// pass; 16 + 7 clocks outside, 9 + 21 per outer pass and 21 per inner pass.
constexpr unsigned long long OUTER = 3200, INNER = 65535;
constexpr unsigned long long INSTRUCTIONS = 7 + OUTER * (6 + INNER * 4);
constexpr unsigned long long CLOCKS = 23 + OUTER * (30 + INNER * 21);
static_assert(CLOCKS > (1ull << 32) && INSTRUCTIONS == 838867207ull);

bool sanitized() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

TEST(LongCounts, TheDebuggerCountsPast32BitsWhileTheSimulatorKeepsItsLines) {
    if (sanitized()) GTEST_SKIP() << "a billion instructions are too slow under the sanitizers";
    // A few seconds each alone; more on a loaded machine.
    struct Limit {
        int before = std::exchange(run_time_limit, 600);
        ~Limit() { run_time_limit = before; }
    } limit;
    TempDir dir;
    write_file(dir.file("long.asm"), LONG_PROGRAM);
    ASSERT_EQ(run_program(assembler_path(), "long.asm\n", dir.path).exit_status, 0);

    // The simulator: the low 32 bits, printed as they always were. Its
    // spinner writes 1.7 GB over such a run: only the end is kept.
    RunResult sim = run_program(
        "/bin/sh", {"-c", "echo long.hx | '" + simulator_path() + "' | tail -c 300"}, "", dir.path);
    EXPECT_EQ(sim.exit_status, 0);
    char lines[128];
    auto low_clocks = static_cast<unsigned>(CLOCKS & 0xFFFFFFFFu);
    std::snprintf(lines, sizeof lines, "No. instruction = %llu\nNo. clock = %u,CPI = %f\n",
                  INSTRUCTIONS, low_clocks,
                  static_cast<double>(low_clocks) / static_cast<double>(INSTRUCTIONS));
    EXPECT_NE(sim.output.find(lines), std::string::npos)
        << sim.output.substr(sim.output.size() > 200 ? sim.output.size() - 200 : 0);

    // The debugger: regs, the halt line's trace and the profile agree.
    RunResult dbg = run_program(DEBUGGER_PATH,
                                "long.asm\ncontinue\necho =regs\nregs\necho =profile\nprofile\n"
                                "echo =end\n",
                                dir.path);
    EXPECT_EQ(dbg.exit_status, 0);
    std::string regs = echo_section(dbg.output, "regs");
    EXPECT_NE(regs.find("instructions=" + std::to_string(INSTRUCTIONS) +
                        " clocks=" + std::to_string(CLOCKS)),
              std::string::npos)
        << regs;
    EXPECT_NE(dbg.output.find("program halted\n" + std::to_string(INSTRUCTIONS) + " "),
              std::string::npos)
        << dbg.output.substr(0, 2000);
    std::string profile = echo_section(dbg.output, "profile");
    EXPECT_NE(profile.find("profile of the run so far: " + std::to_string(INSTRUCTIONS) +
                           " instructions, " + std::to_string(CLOCKS) + " clocks"),
              std::string::npos)
        << profile;
}

// The checker on the same run: a bound below the true count fails with the
// true count, and the report has the debugger's figures.
TEST(LongCounts, TheCheckerCountsWhatTheDebuggerCounts) {
    if (sanitized()) GTEST_SKIP() << "a billion instructions are too slow under the sanitizers";
    struct Limit {
        int before = std::exchange(run_time_limit, 600);
        ~Limit() { run_time_limit = before; }
    } limit;
    TempDir dir;
    write_file(dir.file("long.asm"), LONG_PROGRAM);
    write_file(dir.file("long.cases"), "case long\n  limit 2000000000\n  clocks <= 1000000000\n");
    RunResult checked = run_program(
        CHECKER_PATH, {"--cases", "long.cases", "--timeout", "600", "--json", "long.asm"}, "",
        dir.path);
    nlohmann::json run = nlohmann::json::parse(checked.output)["files"][0]["cases"][0];
    EXPECT_EQ(run["failures"], nlohmann::json::array({"expected clocks <= 1000000000, got " +
                                                      std::to_string(CLOCKS)}));
    EXPECT_EQ(run["run"]["instructions"], INSTRUCTIONS);
    EXPECT_EQ(run["run"]["clocks"], CLOCKS);
}

}  // namespace
