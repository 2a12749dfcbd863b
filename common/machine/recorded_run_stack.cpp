// The recorded run's view of the stack: the open calls, the origin of each
// stack byte and the frames at the current step (machine/stack_story.hpp).
#include <algorithm>

#include "machine/recorded_run.hpp"

std::vector<Frame> frames_of(const std::vector<OpenCall>& calls, const Machine& m) {
    std::vector<Frame> frames;
    std::uint16_t position = m.PC;
    for (std::size_t i = calls.size(); i-- > 0;) {
        auto site = static_cast<std::uint16_t>(calls[i].return_address - 3u);
        std::optional<std::uint16_t> routine;
        if (site + 2u < static_cast<unsigned>(MEMORY_SIZE))
            routine = static_cast<std::uint16_t>(m.memory[site + 1u] | m.memory[site + 2u] << 8);
        frames.push_back({position, routine, site});
        position = site;
    }
    frames.push_back({position, std::nullopt, std::nullopt});
    return frames;
}

std::vector<StackEntry> stack_entries(const StackStory& story, const Machine& m, unsigned bytes) {
    std::vector<StackEntry> entries;
    if (m.SP == 0 || m.SP >= STACK_TOP) return entries;
    unsigned end = m.SP + 1u + std::min<unsigned>(bytes, STACK_TOP - m.SP);
    for (unsigned a = m.SP + 1u; a < end; ++a) {
        const OpenCall* call = nullptr;
        if (a + 1u < end) {
            for (const OpenCall& c : story.calls) {
                if (c.sp_after + 1u == a &&
                    (m.memory[a] | m.memory[a + 1u] << 8) == c.return_address)
                    call = &c;
            }
        }
        entries.push_back(
            {static_cast<std::uint16_t>(a), call,
             call != nullptr ? StackOrigins::NONE : story.origins.pushed_by[a - STACK_BOTTOM]});
        if (call != nullptr) ++a;
    }
    return entries;
}

std::optional<OpenCall> RecordedRun::innermost_call() {
    if (history_.step() == history_.recorded()) return log_.monitor->innermost_call();
    std::vector<OpenCall> calls = open_calls();
    if (calls.empty()) return std::nullopt;
    return calls.back();
}

std::vector<OpenCall> RecordedRun::open_calls() {
    if (history_.step() == history_.recorded()) {
        std::span<const OpenCall> calls = log_.monitor->open_calls();
        return {calls.begin(), calls.end()};
    }
    return stack_story().calls;
}

void RecordedRun::keep_story(bool here) {
    std::uint64_t now = history_.step();
    if (here) {
        while (!stories_.empty() && stories_.back().step >= now) stories_.pop_back();
    } else if (!stories_.empty() && now < stories_.back().step + STORY_GRAIN) {
        return;
    }
    auto story = std::make_unique<StackStory>();
    std::span<const OpenCall> calls = log_.monitor->open_calls();
    story->calls.assign(calls.begin(), calls.end());
    story->origins = log_.monitor->stack_origins();
    stories_.push_back({now, std::move(story)});
}

StackStory RecordedRun::stack_story() {
    std::uint64_t now = history_.step();
    if (now == history_.recorded()) {
        StackStory story;
        std::span<const OpenCall> calls = log_.monitor->open_calls();
        story.calls.assign(calls.begin(), calls.end());
        story.origins = log_.monitor->stack_origins();
        return story;
    }
    // From the last kept story at or before here, one instruction at a time.
    auto kept = std::upper_bound(stories_.begin(), stories_.end(), now,
                                 [](std::uint64_t t, const KeptStory& k) { return t < k.step; });
    StackStory story = *std::prev(kept)->story;
    Replay replay(history_, *scratch_, std::prev(kept)->step);
    replay.forward(
        now, [&](const Machine& m) { story.before(m); }, [](const Machine&) { return true; });
    return story;
}

// A subroutine case's call came from outside the program: its frame is the
// outermost, with the routine as its own and no call site.
std::vector<Frame> RecordedRun::frames() {
    std::vector<OpenCall> calls = open_calls();
    std::vector<Frame> frames = frames_of(calls, machine_);
    if (case_call_ && !calls.empty() &&
        calls.front().return_address == case_call_->return_address &&
        calls.front().sp_after == case_call_->sp_after) {
        frames.pop_back();
        frames.back().routine = start_->PC;
        frames.back().call_site.reset();
    }
    return frames;
}
