// The profile of a run (machine/profile.hpp) on small programs worked out by
// hand: calls, an open call, recursion and stops; its totals are the
// machine's counts, its parts add up, and going back and on gives what a
// fresh count gives. (The examples are checked through the debugger.)
#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

#include "assemble.hpp"
#include "machine/headless.hpp"
#include "machine/profile.hpp"

namespace {

constexpr const char* CALLS =  // twice at 9 calls one at 19 from 12
    "        ldi 2\n        call twice\n        call twice\n        hlt\n"
    "[twice  stdw r\n        call one\n        lddw r\n        ret\n"
    "[one    ret\n[r      dw 0\n";
constexpr const char* RECURSION =  // down at 4 calls itself from 14 until n is 0
    "        call down\n        hlt\n"
    "[down   ldd n\n        dec\n        std n\n        jz done\n        call down\n"
    "[done   ret\n[n      db 3\n";

using Function = std::tuple<std::uint16_t, std::uint64_t, std::uint64_t, std::uint64_t>;
using Call = std::tuple<std::uint16_t, std::uint16_t, std::uint64_t, std::uint64_t>;
constexpr std::uint16_t TOP = PROFILE_TOP_LEVEL;

struct Case {
    const char* source;
    std::uint64_t steps;
    std::uint64_t instructions;
    std::vector<Function> functions;  // entry, calls, own and inclusive instructions
    std::vector<Call> calls;          // site, callee, calls, inclusive instructions
};

TEST(Profile, CountsWorkedOutByHand) {
    const Case cases[] = {
        {CALLS,
         100,
         14,
         {{TOP, 0, 4, 14}, {9, 2, 8, 10}, {19, 2, 2, 2}},
         {{2, 9, 1, 5}, {5, 9, 1, 5}, {12, 19, 2, 2}}},
        // Inside the first call to one: both calls open, counted up to now.
        {CALLS,
         4,
         4,
         {{TOP, 0, 2, 4}, {9, 1, 2, 2}, {19, 1, 0, 0}},
         {{2, 9, 1, 2}, {12, 19, 1, 0}}},
        // The outermost call counts once: 11 and 5 for the inner two.
        {RECURSION, 100, 19, {{TOP, 0, 2, 19}, {4, 3, 17, 17}}, {{0, 4, 1, 17}, {14, 4, 2, 16}}},
        // A division by zero is not counted; a PC overload is (ldi 0 run
        // through zeroed memory up to its end).
        {"        ldi 0\n        ldi 1\n        div\n        hlt\n", 100, 2, {{TOP, 0, 2, 2}}, {}},
        {"        jmp 12000\n", 1000, 145, {{TOP, 0, 145, 145}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " to " + std::to_string(c.steps));
        AssemblyResult program = assemble_source(c.source);
        auto start = std::make_unique<Machine>();
        reset_and_load(*start, program.image);
        auto run = std::make_unique<Machine>(*start);
        HeadlessIo io;
        run_headless(*run, io, c.steps);
        Profile p(*start);
        p.count_to(c.steps);
        EXPECT_EQ(p.total(), (ProfileCost{run->instruction_count, run->clock_count}));
        EXPECT_EQ(p.total().instructions, c.instructions);
        std::vector<Function> functions;
        ProfileCost own;
        for (const ProfileFunction& f : p.functions()) {
            functions.emplace_back(f.entry, f.calls, f.self.instructions, f.inclusive.instructions);
            own += f.self;
        }
        EXPECT_EQ(functions, c.functions);
        EXPECT_EQ(own, p.total());
        ProfileCost by_address;
        for (const ProfileCost& cost : p.by_address()) by_address += cost;
        EXPECT_EQ(by_address, p.total());
        std::vector<Call> calls;
        for (const ProfileCall& call : p.calls())
            calls.emplace_back(call.site, call.callee, call.calls, call.inclusive.instructions);
        EXPECT_EQ(calls, c.calls);
    }
}

TEST(Profile, BackAndOnGiveWhatAFreshCountGives) {
    AssemblyResult program = assemble_source(CALLS);
    auto start = std::make_unique<Machine>();
    reset_and_load(*start, program.image);
    Profile p(*start);
    for (std::uint64_t t : {14u, 4u, 7u, 3u, 100u}) {
        Profile fresh(*start);
        fresh.count_to(t);
        p.count_to(t);
        EXPECT_EQ(p.step(), fresh.step());
        EXPECT_EQ(p.by_address(), fresh.by_address()) << t;
        ASSERT_EQ(p.calls().size(), fresh.calls().size()) << t;
        for (std::size_t i = 0; i < p.calls().size(); ++i)
            EXPECT_EQ(p.calls()[i].inclusive, fresh.calls()[i].inclusive) << t;
    }
}

}  // namespace
