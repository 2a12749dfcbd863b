// The profile of a run: for every instruction address, how many
// instructions ran there and the clocks they cost, and the calls between
// subroutines (per call instruction and target: how often, and what the
// calls cost with everything they called).
//
// A Profile counts by running the program again from its start on a machine
// of its own, with the fast loop counting per address between calls and
// returns and step() for each call and ret: no run loop pays anything for it
// unless a profile is asked for. Since a run takes nothing from outside
// that could differ the second time (see history.hpp), the run counted is
// the run the debugger or the page stepped through, and "the run so far" is
// the first n steps of it: count_to(n) goes on from the steps already
// counted, or starts over when n is before them (after going back).
//
// Calls: a call instruction opens a call (the subroutine is its target),
// the next ret closes the innermost open one, as the machine's own
// next/finish count them; a routine that pops its return address and
// pushes it back before ret is therefore one call. An instruction's cost
// belongs to the subroutine of the innermost open call (the call
// instruction itself to the caller, the ret to the callee), or to the top
// level when no call is open. jmp and jmr neither open nor close a call.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "machine/fast_run.hpp"
#include "machine/machine.hpp"

class History;

struct ProfileCost {
    std::uint64_t instructions = 0;
    std::uint64_t clocks = 0;

    ProfileCost& operator+=(const ProfileCost& other) {
        instructions += other.instructions;
        clocks += other.clocks;
        return *this;
    }
    ProfileCost operator-(const ProfileCost& other) const {
        return {instructions - other.instructions, clocks - other.clocks};
    }
    bool operator==(const ProfileCost&) const = default;
};

// Stands for the top level where a subroutine's entry address goes: no call
// reaches it (a call there stops the run before it opens).
constexpr std::uint16_t PROFILE_TOP_LEVEL = 0xFFFF;

// The calls one call instruction made to one target from one subroutine.
struct ProfileCall {
    std::uint16_t caller;  // the subroutine it was made in, or PROFILE_TOP_LEVEL
    std::uint16_t site;    // the call instruction's address
    std::uint16_t callee;  // the target: the called subroutine's entry
    std::uint64_t calls = 0;
    // From after the call instruction up to and including its ret; for a
    // call still open, up to now.
    ProfileCost inclusive;
    // The part of `inclusive` from the calls made while the callee was not
    // already open (a recursive call is inside one of those): over all the
    // calls into a subroutine these add up to its inclusive cost, as a
    // callgrind reader adds them.
    ProfileCost outermost;
};

struct ProfileFunction {
    std::uint16_t entry;  // PROFILE_TOP_LEVEL for the top level
    std::uint64_t calls = 0;
    // What ran while it was the innermost open call.
    ProfileCost self;
    // Everything from its outermost calls (a recursive call is inside one)
    // to their returns, or to now for one still open, what it called
    // included; the top level's is the whole run.
    ProfileCost inclusive;
};

// What ran at one address inside one subroutine.
struct ProfileSelfCost {
    std::uint16_t function;  // entry, or PROFILE_TOP_LEVEL
    std::uint16_t address;
    ProfileCost cost;
};

class Profile {
public:
    // `start` is the run's state at step 0 (the machine as loaded).
    // With `changes`, the run's history: the states it changed by hand
    // replace those reached at their steps, so the run counted is the
    // changed one.
    explicit Profile(const Machine& start, const History* changes = nullptr);

    // Counts the run's first `target` steps (all of them when the run
    // halts or stops before). A step is one instruction begun, as in
    // History: a stop is the last step of its run, and costs what the
    // machine counted for it (usually nothing).
    void count_to(std::uint64_t target);

    std::uint64_t step() const { return step_; }
    // Whether the run halted or stopped at step().
    bool ended() const { return ended_; }
    // The instructions and clocks counted: the machine's counts after
    // step() steps (which wrap at 2^32).
    ProfileCost total() const { return total_; }

    // MAX_MEMORY entries, one per address.
    const std::vector<ProfileCost>& by_address() const { return by_address_; }
    // Sums by source line: entry n for line n (1 to line_count), entry 0
    // for addresses outside the source (line 0 or above line_count).
    std::vector<ProfileCost> by_line(std::span<const std::int32_t> line_of_address,
                                     int line_count) const;

    // The top level first, then the subroutines by entry address.
    std::vector<ProfileFunction> functions() const;
    // By caller, site and callee; open calls included.
    std::vector<ProfileCall> calls() const;
    // By function, then address; only costs that are not zero.
    std::vector<ProfileSelfCost> self_costs() const;

private:
    struct Frame {
        std::size_t call;  // index into calls_
        ProfileCost at;    // total_ when it opened
        std::uint16_t callee;
    };
    static constexpr std::size_t MAX_FRAMES = std::size_t{1} << 16;

    void restart();
    // Counts up to `target` without meeting a change by hand.
    void count_piece(std::uint64_t target);
    const History* changes_;
    // Charges the cost of what ran at pc to it and to the current function.
    void charge(unsigned pc, const ProfileCost& cost);
    void open_call(std::uint16_t site, std::uint16_t callee);
    void close_call(const Frame& frame);
    std::uint16_t current_function() const {
        return frames_.empty() ? PROFILE_TOP_LEVEL : frames_.back().callee;
    }

    std::unique_ptr<Machine> start_;
    std::unique_ptr<Machine> machine_;       // at step_
    std::unique_ptr<ProfileCounts> counts_;  // the fast loop's, zero between count_to's pieces
    std::uint64_t step_ = 0;
    bool ended_ = false;
    ProfileCost total_;
    std::vector<ProfileCost> by_address_;
    // Each address's costs belong to the first function seen running it;
    // those of any other function running it are kept apart here, by
    // (function << 16 | address).
    std::vector<std::uint16_t> owner_;
    std::map<std::uint32_t, ProfileCost> shared_;
    std::vector<ProfileCall> calls_;
    std::map<std::uint64_t, std::size_t> call_index_;     // (caller, site, callee) -> calls_
    std::map<std::uint16_t, ProfileFunction> functions_;  // subroutines: calls, closed inclusive
    std::vector<std::uint32_t> active_;                   // open calls per entry address
    std::deque<Frame> frames_;                            // open calls, innermost last
};
