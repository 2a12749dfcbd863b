#include "machine/profile.hpp"

#include <algorithm>
#include <tuple>

#include "machine/fast_run.hpp"
#include "machine/headless.hpp"
#include "machine/history.hpp"

namespace {

// The owner of an address no instruction has run at yet.
constexpr std::uint16_t NO_OWNER = 0xFFFE;

// The Io of a run counted again: out, in and hlt change nothing outside.
struct SilentIo {
    void show_port0(unsigned) {}
    void wait_key() {}
    void halt() {}
};

std::uint32_t shared_key(std::uint16_t function, std::uint16_t address) {
    return static_cast<std::uint32_t>(function) << 16 | address;
}

}  // namespace

Profile::Profile(const Machine& start, const History* changes)
    : changes_(changes),
      start_(std::make_unique<Machine>(start)),
      machine_(std::make_unique<Machine>(start)),
      counts_(std::make_unique<ProfileCounts>()) {
    restart();
}

void Profile::restart() {
    const Machine* changed = changes_ != nullptr ? changes_->changed_at(0) : nullptr;
    *machine_ = changed != nullptr ? *changed : *start_;
    step_ = 0;
    ended_ = false;
    total_ = {};
    by_address_.assign(MAX_MEMORY, ProfileCost{});
    owner_.assign(MAX_MEMORY, NO_OWNER);
    shared_.clear();
    calls_.clear();
    call_index_.clear();
    functions_.clear();
    active_.assign(MAX_MEMORY, 0);
    frames_.clear();
}

void Profile::charge(unsigned pc, const ProfileCost& cost) {
    total_ += cost;
    by_address_[pc] += cost;
    std::uint16_t function = current_function();
    std::uint16_t& owner = owner_[pc];
    if (owner == NO_OWNER) owner = function;
    if (owner != function) shared_[shared_key(function, static_cast<std::uint16_t>(pc))] += cost;
}

void Profile::count_to(std::uint64_t target) {
    if (target < step_) restart();
    while (!ended_ && step_ < target) {
        std::optional<std::uint64_t> change;
        if (changes_ != nullptr) change = changes_->next_change_after(step_);
        count_piece(change ? std::min(*change, target) : target);
        if (!change || step_ != *change) continue;
        // The run went on from the changed state, even after a halt.
        *machine_ = *changes_->changed_at(step_);
        ended_ = false;
    }
}

void Profile::count_piece(std::uint64_t target) {
    SilentIo io;
    Machine& m = *machine_;
    ProfileCounts& counts = *counts_;
    // What the fast loop counted, all of it in the current function.
    auto take_counts = [&] {
        ProfileCost sum;
        for (std::size_t k = 0; k < counts.touched_count; ++k) {
            unsigned a = counts.touched[k];
            ProfileCost cost{counts.instructions[a], counts.clocks[a]};
            charge(a, cost);
            sum += cost;
            counts.instructions[a] = counts.clocks[a] = 0;
        }
        counts.touched_count = 0;
        return sum;
    };
    while (!ended_ && step_ < target) {
        if (m.PC >= static_cast<unsigned>(MAX_MEMORY)) {
            // Only a machine given in that state: every run stops first.
            ended_ = true;
            break;
        }
        // Fast up to the next call or ret, or an instruction the loop leaves.
        ProfileCost before{m.instruction_count, m.clock_count};
        std::optional<Stop> stop =
            stop_of([&] { run_fast(m, before.instructions + (target - step_), counts); });
        ProfileCost counted = take_counts();
        if (stop) {
            step_ += instructions_begun(m, before.instructions, *stop);
            // The instruction that stopped costs what the machine counted for
            // it; one that left the program area is counted already.
            if (stop->kind != StopKind::PC_OVERLOAD)
                charge(stop->pc,
                       ProfileCost{m.instruction_count, m.clock_count} - before - counted);
            ended_ = true;
            break;
        }
        step_ += m.instruction_count - before.instructions;
        if (step_ == target) break;
        // The instruction it left, with step().
        unsigned pc = m.PC;
        before = {m.instruction_count, m.clock_count};
        ++step_;
        bool stopped = stop_of([&] { ::step(m, io); }).has_value();
        charge(pc, ProfileCost{m.instruction_count, m.clock_count} - before);
        if (stopped) {
            ended_ = true;
            break;
        }
        Flow flow = OpcodeTable[m.IR].flow;
        if (flow == Flow::CALL) {
            open_call(static_cast<std::uint16_t>(pc), m.PC);
        } else if (flow == Flow::RETURN && !frames_.empty()) {
            Frame frame = frames_.back();
            frames_.pop_back();
            close_call(frame);
        } else if (flow == Flow::HALT) {
            ended_ = true;
        }
    }
}

void Profile::open_call(std::uint16_t site, std::uint16_t callee) {
    std::uint16_t caller = current_function();
    std::uint64_t key =
        static_cast<std::uint64_t>(caller) << 32 | static_cast<std::uint64_t>(site) << 16 | callee;
    auto [found, added] = call_index_.try_emplace(key, calls_.size());
    if (added) calls_.push_back(ProfileCall{caller, site, callee, 0, {}, {}});
    ++calls_[found->second].calls;
    ProfileFunction& f =
        functions_.try_emplace(callee, ProfileFunction{callee, 0, {}, {}}).first->second;
    ++f.calls;
    ++active_[callee];
    if (frames_.size() == MAX_FRAMES) {
        // A program that calls without ever returning: the oldest open call
        // is taken as ended here, so that memory stays bounded.
        Frame oldest = frames_.front();
        frames_.pop_front();
        close_call(oldest);
    }
    frames_.push_back(Frame{found->second, total_, callee});
}

void Profile::close_call(const Frame& frame) {
    ProfileCost cost = total_ - frame.at;
    calls_[frame.call].inclusive += cost;
    // Only the outermost call of a subroutine counts for its inclusive cost,
    // so that recursion does not count the same instructions twice.
    if (--active_[frame.callee] == 0) {
        functions_[frame.callee].inclusive += cost;
        calls_[frame.call].outermost += cost;
    }
}

std::vector<ProfileCost> Profile::by_line(std::span<const std::int32_t> line_of_address,
                                          int line_count) const {
    std::vector<ProfileCost> lines(static_cast<std::size_t>(std::max(line_count, 0)) + 1);
    for (std::size_t a = 0; a < by_address_.size(); ++a) {
        std::int32_t line = a < line_of_address.size() ? line_of_address[a] : 0;
        if (line < 0 || line > line_count) line = 0;
        lines[static_cast<std::size_t>(line)] += by_address_[a];
    }
    return lines;
}

std::vector<ProfileFunction> Profile::functions() const {
    std::map<std::uint16_t, ProfileFunction> all = functions_;
    ProfileFunction& top =
        all.try_emplace(PROFILE_TOP_LEVEL, ProfileFunction{PROFILE_TOP_LEVEL, 0, {}, {}})
            .first->second;
    top.inclusive = total_;
    // Open calls: the outermost one of each subroutine counts up to now.
    std::vector<bool> seen(MAX_MEMORY);
    for (const Frame& frame : frames_) {
        if (seen[frame.callee]) continue;
        seen[frame.callee] = true;
        all[frame.callee].inclusive += total_ - frame.at;
    }
    for (const ProfileSelfCost& self : self_costs()) all[self.function].self += self.cost;
    std::vector<ProfileFunction> list;
    list.push_back(all[PROFILE_TOP_LEVEL]);
    for (const auto& [entry, function] : all) {
        if (entry != PROFILE_TOP_LEVEL) list.push_back(function);
    }
    return list;
}

std::vector<ProfileCall> Profile::calls() const {
    std::vector<ProfileCall> list = calls_;
    std::vector<bool> seen(MAX_MEMORY);
    for (const Frame& frame : frames_) {
        list[frame.call].inclusive += total_ - frame.at;
        // Open calls: the outermost one of each subroutine, as in functions().
        if (!seen[frame.callee]) list[frame.call].outermost += total_ - frame.at;
        seen[frame.callee] = true;
    }
    std::sort(list.begin(), list.end(), [](const ProfileCall& a, const ProfileCall& b) {
        auto key = [](const ProfileCall& c) {
            // The top level first.
            return std::tuple(c.caller != PROFILE_TOP_LEVEL, c.caller, c.site, c.callee);
        };
        return key(a) < key(b);
    });
    return list;
}

std::vector<ProfileSelfCost> Profile::self_costs() const {
    // The owner's part of an address is what the other functions left.
    std::vector<ProfileCost> owned = by_address_;
    for (const auto& [key, cost] : shared_) owned[key & 0xFFFFu] = owned[key & 0xFFFFu] - cost;
    std::vector<ProfileSelfCost> list;
    for (std::size_t a = 0; a < owned.size(); ++a) {
        if (owned[a] == ProfileCost{}) continue;
        list.push_back({owner_[a], static_cast<std::uint16_t>(a), owned[a]});
    }
    for (const auto& [key, cost] : shared_) {
        list.push_back(
            {static_cast<std::uint16_t>(key >> 16), static_cast<std::uint16_t>(key), cost});
    }
    std::sort(list.begin(), list.end(), [](const ProfileSelfCost& a, const ProfileSelfCost& b) {
        auto key = [](const ProfileSelfCost& c) {
            return std::tuple(c.function != PROFILE_TOP_LEVEL, c.function, c.address);
        };
        return key(a) < key(b);
    });
    return list;
}
