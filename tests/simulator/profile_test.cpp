// The profile of a run (machine/profile.hpp): its totals are the machine's
// counts at every step of every example, its parts add up (addresses, lines,
// subroutines, calls), going back and on gives what a fresh count gives, and
// small programs with calls, recursion, an open call and a stop have the
// costs worked out by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "assemble.hpp"
#include "machine/headless.hpp"
#include "machine/history.hpp"
#include "machine/profile.hpp"
#include "run_program.hpp"

namespace {

struct Loaded {
    AssemblyResult program;
    std::unique_ptr<Machine> start = std::make_unique<Machine>();
};

std::unique_ptr<Loaded> load(const std::string& source) {
    auto loaded = std::make_unique<Loaded>();
    loaded->program = assemble_source(source);
    EXPECT_TRUE(loaded->program.ok) << loaded->program.error_message;
    reset_and_load(*loaded->start, loaded->program.image);
    return loaded;
}

std::uint64_t clocks_of(std::initializer_list<std::uint8_t> opcodes) {
    std::uint64_t sum = 0;
    for (std::uint8_t op : opcodes) sum += OpcodeTable[op].clocks;
    return sum;
}

const ProfileFunction* function_at(const std::vector<ProfileFunction>& functions,
                                   std::uint16_t entry) {
    for (const ProfileFunction& f : functions)
        if (f.entry == entry) return &f;
    return nullptr;
}

// Everything a profile tells, for comparing two of them.
void expect_same(const Profile& a, const Profile& b) {
    EXPECT_EQ(a.step(), b.step());
    EXPECT_EQ(a.total(), b.total());
    EXPECT_EQ(a.by_address(), b.by_address());
    std::vector<ProfileCall> ca = a.calls();
    std::vector<ProfileCall> cb = b.calls();
    ASSERT_EQ(ca.size(), cb.size());
    for (std::size_t i = 0; i < ca.size(); ++i) {
        EXPECT_EQ(ca[i].site, cb[i].site);
        EXPECT_EQ(ca[i].callee, cb[i].callee);
        EXPECT_EQ(ca[i].calls, cb[i].calls);
        EXPECT_EQ(ca[i].inclusive, cb[i].inclusive);
    }
    std::vector<ProfileFunction> fa = a.functions();
    std::vector<ProfileFunction> fb = b.functions();
    ASSERT_EQ(fa.size(), fb.size());
    for (std::size_t i = 0; i < fa.size(); ++i) {
        EXPECT_EQ(fa[i].entry, fb[i].entry);
        EXPECT_EQ(fa[i].self, fb[i].self);
        EXPECT_EQ(fa[i].inclusive, fb[i].inclusive);
    }
}

// The parts of a profile add up to its totals: per address, per line (none
// outside the source), per subroutine; and a subroutine that does not call
// itself costs its own instructions plus the calls it makes.
void expect_parts_add_up(const Profile& p, const AssemblyResult& program) {
    ProfileCost sum;
    for (const ProfileCost& c : p.by_address()) sum += c;
    EXPECT_EQ(sum, p.total());
    int line_count = static_cast<int>(program.lines.starts.size());
    std::vector<ProfileCost> lines = p.by_line(program.source_line_of_address, line_count);
    EXPECT_EQ(lines[0], ProfileCost{}) << "costs outside the source";
    sum = {};
    for (const ProfileCost& c : lines) sum += c;
    EXPECT_EQ(sum, p.total());
    for (std::size_t a = 0; a < MAX_MEMORY; ++a) {
        if (p.by_address()[a].instructions > 0) {
            EXPECT_TRUE(program.code[a]) << a;
        }
    }
    std::vector<ProfileFunction> functions = p.functions();
    ASSERT_FALSE(functions.empty());
    EXPECT_EQ(functions[0].entry, PROFILE_TOP_LEVEL);
    EXPECT_EQ(functions[0].inclusive, p.total());
    sum = {};
    for (const ProfileFunction& f : functions) sum += f.self;
    EXPECT_EQ(sum, p.total());
    for (const ProfileFunction& f : functions) {
        ProfileCost inclusive = f.self;
        bool recursive = false;
        for (const ProfileCall& c : p.calls()) {
            if (c.caller != f.entry) continue;
            inclusive += c.inclusive;
            recursive = recursive || c.callee == f.entry;
        }
        if (!recursive) {
            EXPECT_EQ(inclusive, f.inclusive) << f.entry;
        }
    }
}

TEST(Profile, TotalsAreTheMachinesCountsOnEveryExample) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() != ".asm") continue;
        ++examples;
        SCOPED_TRACE(entry.path().filename().string());
        std::unique_ptr<Loaded> l = load(read_file(entry.path().string()));
        auto run = std::make_unique<Machine>(*l->start);
        HeadlessIo io;
        RunOutcome outcome = run_headless(*run, io, 10'000'000);
        ASSERT_EQ(outcome.end, RunEnd::HALTED);

        Profile p(*l->start);
        p.count_to(UINT64_MAX);
        EXPECT_TRUE(p.ended());
        EXPECT_EQ(p.step(), run->instruction_count);
        EXPECT_EQ(p.total(), (ProfileCost{run->instruction_count, run->clock_count}));
        expect_parts_add_up(p, l->program);

        // At steps along the run, going back and on: the history's machine
        // there has the profile's counts, and every part adds up.
        History history;
        auto m = std::make_unique<Machine>(*l->start);
        history.begin(*m);
        history.run(*m, io, UINT64_MAX);
        std::uint64_t last = history.recorded();
        for (std::uint64_t t : {last / 2, std::uint64_t{1}, last - 1, last / 3, last}) {
            history.go_to(*m, t);
            p.count_to(t);
            EXPECT_EQ(p.total(), (ProfileCost{m->instruction_count, m->clock_count})) << t;
            expect_parts_add_up(p, l->program);
        }
    }
    EXPECT_GE(examples, 10);
}

constexpr const char* CALLS =
    "        ldi 2\n"
    "        call twice\n"
    "        call twice\n"
    "        hlt\n"
    "[twice  stdw r\n"
    "        call one\n"
    "        lddw r\n"
    "        ret\n"
    "[one    ret\n"
    "[r      dw 0\n";

TEST(Profile, CallsAndSubroutinesAsWorkedOutByHand) {
    std::unique_ptr<Loaded> l = load(CALLS);
    Profile p(*l->start);
    p.count_to(1000);
    std::uint64_t twice_self = clocks_of({OP_STDW, OP_CALL, OP_LDDW, OP_RET});
    std::uint64_t one_self = clocks_of({OP_RET});
    std::uint64_t top_self = clocks_of({OP_LDI, OP_CALL, OP_CALL, OP_HLT});
    EXPECT_EQ(p.total(), (ProfileCost{14, top_self + 2 * (twice_self + one_self)}));

    std::vector<ProfileFunction> f = p.functions();
    ASSERT_EQ(f.size(), 3u);
    const std::uint16_t twice = 9, one = 19;
    EXPECT_EQ(f[0].self, (ProfileCost{4, top_self}));
    EXPECT_EQ(function_at(f, twice)->calls, 2u);
    EXPECT_EQ(function_at(f, twice)->self, (ProfileCost{8, 2 * twice_self}));
    EXPECT_EQ(function_at(f, twice)->inclusive, (ProfileCost{10, 2 * (twice_self + one_self)}));
    EXPECT_EQ(function_at(f, one)->inclusive, (ProfileCost{2, 2 * one_self}));

    std::vector<ProfileCall> c = p.calls();
    ASSERT_EQ(c.size(), 3u);  // two sites at the top level, one in twice
    EXPECT_EQ(c[0].site, 2);
    EXPECT_EQ(c[0].calls, 1u);
    EXPECT_EQ(c[0].inclusive, (ProfileCost{5, twice_self + one_self}));
    EXPECT_EQ(c[1].site, 5);
    EXPECT_EQ(c[2].caller, twice);
    EXPECT_EQ(c[2].site, 12);
    EXPECT_EQ(c[2].callee, one);
    EXPECT_EQ(c[2].calls, 2u);
    expect_parts_add_up(p, l->program);

    // Inside the first call to one: both calls are open and count up to now.
    p.count_to(4);
    c = p.calls();
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].inclusive, (ProfileCost{2, clocks_of({OP_STDW, OP_CALL})}));
    EXPECT_EQ(c[1].inclusive, ProfileCost{});
    f = p.functions();
    EXPECT_EQ(function_at(f, twice)->inclusive, (ProfileCost{2, clocks_of({OP_STDW, OP_CALL})}));
    expect_parts_add_up(p, l->program);

    // Back and on, and on from a point: what a fresh count gives.
    for (std::uint64_t t : {std::uint64_t{0}, std::uint64_t{7}, std::uint64_t{14}}) {
        Profile fresh(*l->start);
        fresh.count_to(t);
        p.count_to(t);
        expect_same(p, fresh);
    }
}

TEST(Profile, RecursionCountsTheOutermostCallOnce) {
    std::unique_ptr<Loaded> l = load(
        "        call down\n"
        "        hlt\n"
        "[down   ldd n\n"
        "        dec\n"
        "        std n\n"
        "        jz done\n"
        "        call down\n"
        "[done   ret\n"
        "[n      db 3\n");
    Profile p(*l->start);
    p.count_to(1000);
    EXPECT_EQ(p.total().instructions, 19u);
    std::vector<ProfileFunction> f = p.functions();
    const ProfileFunction* down = function_at(f, 4);
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(down->calls, 3u);
    EXPECT_EQ(down->self.instructions, 17u);
    EXPECT_EQ(down->inclusive.instructions, 17u);
    std::vector<ProfileCall> c = p.calls();
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[1].caller, 4);
    EXPECT_EQ(c[1].calls, 2u);
    EXPECT_EQ(c[1].inclusive.instructions, 16u);  // 11 for the second call, 5 for the third
    expect_parts_add_up(p, l->program);
}

TEST(Profile, AStopEndsTheCountWithTheMachinesCounts) {
    // A division by zero is not counted; a PC overload is (after ldi 0 run
    // through zeroed memory up to its end).
    struct Case {
        const char* source;
        std::uint64_t steps;
        std::uint16_t stop_pc;
        std::uint64_t counted_there;
    };
    const Case cases[] = {
        {"        ldi 0\n        ldi 1\n        div\n        hlt\n", 3, 4, 0},
        {"        jmp 12000\n", 145, 12286, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        std::unique_ptr<Loaded> l = load(c.source);
        auto run = std::make_unique<Machine>(*l->start);
        HeadlessIo io;
        ASSERT_EQ(run_headless(*run, io, 1000).end, RunEnd::STOPPED);
        Profile p(*l->start);
        p.count_to(1000);
        EXPECT_TRUE(p.ended());
        EXPECT_EQ(p.step(), c.steps);  // the stop is the last step
        EXPECT_EQ(p.total(), (ProfileCost{run->instruction_count, run->clock_count}));
        EXPECT_EQ(p.by_address()[c.stop_pc].instructions, c.counted_there);
    }
}

}  // namespace
