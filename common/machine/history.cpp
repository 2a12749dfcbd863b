#include "machine/history.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "machine/findings.hpp"
#include "machine/trace.hpp"

namespace {

// The Io of a run done again: port 0 values are counted, not kept.
struct CountingIo {
    std::uint64_t port0 = 0;
    void show_port0(unsigned) { ++port0; }
    void wait_key() {}
    void halt() {}
};

struct Advance {
    std::uint64_t steps = 0;
    RunEnd end = RunEnd::LIMIT;
    std::optional<Stop> stop;
};

// Runs m at most `count` steps: the fast loop up to each instruction it
// leaves to step(), that one with step() (and `monitor`'s look before it).
// BREAKPOINT when `stops` fired or the monitor noted a finding; KEY_WAIT,
// with `key_waits`, before an `in 1` (which the fast loop leaves to step()).
template <class Io>
Advance advance(Machine& m, Io& io, std::uint64_t count, const FastStops* stops,
                FindingMonitor* monitor = nullptr, RunMarks* marks = nullptr,
                bool key_waits = false) {
    // Pieces bounded so that a long run still checks its stops between them.
    constexpr std::uint64_t PIECE = std::uint64_t{1} << 30;
    Advance a;
    std::uint64_t start = m.instruction_count;
    std::optional<Stop> stop = stop_of([&] {
        while (a.steps < count) {
            std::uint64_t piece = std::min(count - a.steps, PIECE);
            start = m.instruction_count;
            std::size_t known = monitor != nullptr ? monitor->findings().size() : 0;
            // A state changed by hand beyond the program area runs nothing
            // fast: step() below stops it.
            bool fast = m.PC < MAX_MEMORY;
            if (fast && monitor != nullptr) {
                run_fast(m, start + piece, stops != nullptr ? *stops : FastStops{}, *monitor,
                         marks);
            } else if (fast && stops != nullptr) {
                run_fast(m, start + piece, *stops);
            } else if (fast) {
                run_fast(m, start + piece);
            }
            std::uint64_t ran = m.instruction_count - start;
            a.steps += ran;
            if (ran > 0 && ((stops != nullptr && fast_stop_due(m.memory, m.PC, *stops)) ||
                            (monitor != nullptr && monitor->findings().size() != known))) {
                a.end = RunEnd::BREAKPOINT;
                break;
            }
            if (a.steps == count || ran == piece) continue;
            if (key_waits && at_key_wait(m)) {
                a.end = RunEnd::KEY_WAIT;
                break;
            }
            start = m.instruction_count;
            bool noted = monitor != nullptr && monitor->before(m);
            if (monitor != nullptr && marks != nullptr)
                note_instruction(*marks, OpcodeTable[m.memory[m.PC % MEMORY_SIZE]], m);
            step(m, io);
            ++a.steps;
            if (m.IR == OP_HLT) {
                a.end = RunEnd::HALTED;
                break;
            }
            if (noted || (stops != nullptr && fast_stop_due(m.memory, m.PC, *stops))) {
                a.end = RunEnd::BREAKPOINT;
                break;
            }
        }
    });
    if (stop) {
        a.steps += instructions_begun(m, start, *stop);
        a.end = RunEnd::STOPPED;
        a.stop = stop;
    }
    return a;
}

// Snapshots this far from the end of the run are kept `spacing` steps apart.
std::uint64_t spacing(std::uint64_t distance, std::uint64_t density, std::uint64_t grain) {
    return grain << std::bit_width(distance / (density * grain));
}

}  // namespace

History::History(std::size_t budget, std::uint64_t grain)
    : budget_(std::max<std::size_t>(budget, 64)), grain_(grain), density_(budget_ / 8) {}

void History::begin(const Machine& start) {
    for (Snapshot& s : snapshots_) spare_.push_back(std::move(s.machine));
    snapshots_.clear();
    step_ = recorded_ = outputs_ = 0;
    ending_.reset();
    marks_->clear();
    marked_whole_ = true;
    rewritten_.clear();
    density_ = budget_ / 8;
    taken_since_thinning_ = 0;
    take_snapshot(start);
}

RunOutcome History::standing() const {
    if (ending_ && step_ == recorded_) return *ending_;
    return {RunEnd::LIMIT, std::nullopt};
}

RunOutcome History::run(Machine& m, HeadlessIo& io, std::uint64_t count, const FastStops* stops,
                        FindingMonitor* monitor, bool key_waits) {
    if (ending_ && step_ == recorded_) return *ending_;
    std::uint64_t left = count;
    while (left > 0) {
        // Pieces end at every grain, where new ground gets its snapshot, and
        // at the next change by hand, which replaces the state reached there.
        std::uint64_t to_grain = grain_ - step_ % grain_;
        std::optional<std::uint64_t> change = next_change_after(step_);
        if (change) to_grain = std::min(to_grain, *change - step_);
        std::size_t shown = io.port0.size();
        Advance a = advance(m, io, std::min(left, to_grain), stops, monitor,
                            summarised ? marks_.get() : nullptr, key_waits);
        // New ground run without the monitor or the marks leaves its stretch
        // unmarked.
        if ((monitor == nullptr || !summarised) && step_ + a.steps > recorded_)
            marked_whole_ = false;
        step_ += a.steps;
        left -= a.steps;
        outputs_ += io.port0.size() - shown;
        recorded_ = std::max(recorded_, step_);
        if (change && step_ == *change) {
            // The run went on from the changed state, even after a halt;
            // the caller's watched values are of the state replaced.
            m = *changed_at(step_);
            return {a.end == RunEnd::BREAKPOINT ? RunEnd::BREAKPOINT : RunEnd::LIMIT, std::nullopt};
        }
        if (a.end == RunEnd::HALTED || a.end == RunEnd::STOPPED) {
            ending_ = RunOutcome{a.end, a.stop};
            return *ending_;
        }
        if (step_ % grain_ == 0 && step_ > snapshots_.back().step) take_snapshot(m);
        if (a.end == RunEnd::BREAKPOINT || a.end == RunEnd::KEY_WAIT) return {a.end, std::nullopt};
    }
    return {RunEnd::LIMIT, std::nullopt};
}

const Machine* History::changed_at(std::uint64_t t) const {
    if (!std::binary_search(rewritten_.begin(), rewritten_.end(), t)) return nullptr;
    return snapshot_before(t).machine.get();  // changed states are never thinned
}

std::optional<std::uint64_t> History::next_change_after(std::uint64_t t) const {
    auto next = std::upper_bound(rewritten_.begin(), rewritten_.end(), t);
    if (next == rewritten_.end()) return std::nullopt;
    return *next;
}

Replay::Replay(const History& history, Machine& m, std::uint64_t from)
    : history_(history), m_(m), step_(std::min(from, history.recorded())) {
    history.rebuild(m, step_);
}

Replay::Replay(const History& history, Machine& m, std::uint64_t from, const Machine& reached)
    : history_(history), m_(m), step_(std::min(from, history.recorded())), settled_(false) {
    m_ = reached;
}

void Replay::forward_monitored(std::uint64_t to, FindingMonitor& monitor,
                               const std::function<void(const Machine&, const Machine&)>& changed) {
    to = std::min(to, history_.recorded());
    HeadlessIo quiet;
    for (;;) {
        if (!settled_) {
            if (const Machine* state = history_.changed_at(step_)) {
                changed(m_, *state);
                m_ = *state;
            }
            settled_ = true;
        }
        if (step_ >= to) return;
        std::uint64_t until = std::min(to, history_.next_change_after(step_).value_or(to));
        run_headless(m_, quiet, until - step_, monitor);
        quiet.port0.clear();
        step_ = until;
        settled_ = false;
    }
}

Machine& Replay::settle() {
    if (!settled_) {
        if (const Machine* changed = history_.changed_at(step_)) m_ = *changed;
        settled_ = true;
    }
    return m_;
}

std::optional<Stop> Replay::next(HeadlessIo& io) {
    settle();
    std::optional<Stop> stop = step_headless(m_, io);
    io.port0.clear();
    ++step_;
    settled_ = false;
    return stop;
}

const History::Snapshot& History::snapshot_before(std::uint64_t target) const {
    auto after = std::upper_bound(snapshots_.begin(), snapshots_.end(), target,
                                  [](std::uint64_t t, const Snapshot& s) { return t < s.step; });
    return *(after - 1);  // the first snapshot is at step 0
}

void History::go_to(Machine& m, std::uint64_t target) {
    target = std::min(target, recorded_);
    const Snapshot& s = snapshot_before(target);
    // Forward from where the machine is, unless a snapshot is nearer.
    if (target < step_ || step_ < s.step) {
        m = *s.machine;
        step_ = s.step;
        outputs_ = s.outputs;
    }
    CountingIo io;
    step_ += advance(m, io, target - step_, nullptr).steps;
    outputs_ += io.port0;
}

std::uint64_t History::rebuild(Machine& scratch, std::uint64_t target) const {
    target = std::min(target, recorded_);
    const Snapshot& s = snapshot_before(target);
    scratch = *s.machine;
    CountingIo io;
    advance(scratch, io, target - s.step, nullptr);
    return s.outputs + io.port0;
}

namespace {

// Whether `stops` may fire in the stretch summarised: a breakpoint's
// instruction began there or a watched byte may have been written.
bool stretch_may_stop(const StretchSummary& summary, const FastStops& stops) {
    if (stops.breaks != nullptr) {
        for (std::size_t k = 0; k < StretchSummary::WORDS; ++k) {
            for (std::uint64_t bits = summary.began[k]; bits != 0; bits &= bits - 1) {
                std::size_t a = k * 64 + static_cast<std::size_t>(std::countr_zero(bits));
                if (a < MAX_MEMORY && stops.breaks[a] != 0) return true;
            }
        }
    }
    for (std::size_t k = 0; k < stops.watch_count; ++k)
        if (StretchSummary::has(summary.written, stops.watched[k] % MEMORY_SIZE)) return true;
    return false;
}

bool stretch_may_read(const Machine& start, const StretchSummary& summary, unsigned address);

}  // namespace

std::optional<std::uint64_t> History::last_stop(
    Machine& scratch, std::uint64_t last, const FastStops& stops, SearchControl* control,
    std::uint64_t after, const std::function<bool(const Machine&)>& holds) const {
    last = std::min(last, recorded_);
    if (last <= after) return std::nullopt;
    std::uint64_t searched = 0;
    FastStops local = stops;
    std::vector<std::uint8_t> values(stops.watch_count);
    local.values = values.data();
    auto refresh = [&] {
        for (std::size_t i = 0; i < stops.watch_count; ++i)
            values[i] = scratch.memory[stops.watched[i]];
    };
    auto may_stop = [&](const StretchSummary& summary) { return stretch_may_stop(summary, stops); };
    // Stretch i covers the steps after snapshot i up to the next snapshot.
    auto i = static_cast<std::size_t>(&snapshot_before(last - 1) - snapshots_.data());
    for (;; --i) {
        std::uint64_t at = snapshots_[i].step;
        std::uint64_t end =
            i + 1 < snapshots_.size() ? std::min(snapshots_[i + 1].step, last) : last;
        if (end <= after) return std::nullopt;
        if (snapshots_[i].summary && !may_stop(*snapshots_[i].summary)) {
            searched += end - at;
            if (i == 0) return std::nullopt;
            continue;
        }
        scratch = *snapshots_[i].machine;
        refresh();
        std::optional<std::uint64_t> found;
        CountingIo io;
        while (at < end) {
            std::uint64_t piece = control != nullptr ? std::min(end - at, SEARCH_PIECE) : end - at;
            Advance a = advance(scratch, io, piece, &local);
            at += a.steps;
            searched += a.steps;
            if (control != nullptr) {
                if (control->interrupt != nullptr && *control->interrupt != 0) {
                    control->interrupted = true;
                    return std::nullopt;
                }
                if (control->progress) control->progress(searched, last);
            }
            if (a.end == RunEnd::LIMIT && a.steps == piece && at < end) continue;
            if (a.end != RunEnd::BREAKPOINT) break;
            if (at > after && (!holds || holds(scratch))) found = at;
            refresh();
        }
        if (found || i == 0) return found;
    }
}

namespace {

// Whether an instruction that began in the stretch summarised by `summary`,
// from the state `start`, may have read the byte at `address` as data: its
// operand names it, or a pointer it reads may point at it. Code or a pointer
// written within the stretch may read anything.
bool stretch_may_read(const Machine& start, const StretchSummary& summary, unsigned address) {
    auto written = [&](unsigned a) {
        return a >= static_cast<unsigned>(MEMORY_SIZE) || StretchSummary::has(summary.written, a);
    };
    auto word = [&](unsigned a) { return start.memory[a] | start.memory[a + 1] << 8; };
    for (std::size_t k = 0; k < StretchSummary::WORDS; ++k) {
        for (std::uint64_t bits = summary.began[k]; bits != 0; bits &= bits - 1) {
            unsigned pc =
                static_cast<unsigned>(k * 64 + static_cast<unsigned>(__builtin_ctzll(bits)));
            if (pc + 2 >= static_cast<unsigned>(MEMORY_SIZE)) continue;  // reads nothing
            if (written(pc) || written(pc + 1) || written(pc + 2)) return true;
            const OpcodeEntry& row = OpcodeTable[start.memory[pc]];
            unsigned w = word(pc + 1);
            unsigned at_operand = row.reads_pointer() ? 2 : row.read_width();
            if (address >= w && address < w + at_operand) return true;
            if (!row.reads_through_pointer()) continue;
            if (written(w) || written(w + 1)) return true;
            unsigned p = word(w);
            if (address >= p && address < p + row.read_width()) return true;
        }
    }
    return false;
}

}  // namespace

bool History::may_read(std::uint64_t from, std::uint64_t to, std::uint16_t address) const {
    auto i = static_cast<std::size_t>(&snapshot_before(from) - snapshots_.data());
    for (; i < snapshots_.size() && snapshots_[i].step < to; ++i) {
        const Snapshot& s = snapshots_[i];
        if (!s.summary || stretch_may_read(*s.machine, *s.summary, address)) return true;
    }
    return false;
}

std::uint64_t History::quiet_until(std::uint64_t from, std::uint64_t to, const FastStops& stops,
                                   std::span<const std::uint16_t> read) const {
    to = std::min(to, recorded_);
    std::uint64_t reached = from;
    auto i = static_cast<std::size_t>(&snapshot_before(from) - snapshots_.data());
    for (; i + 1 < snapshots_.size() && snapshots_[i + 1].step <= to; ++i) {
        const Snapshot& s = snapshots_[i];
        if (!s.summary || snapshots_[i + 1].outputs != s.outputs ||
            stretch_may_stop(*s.summary, stops))
            break;
        if (std::any_of(read.begin(), read.end(), [&](std::uint16_t a) {
                return stretch_may_read(*s.machine, *s.summary, a);
            }))
            break;
        reached = snapshots_[i + 1].step;
    }
    return reached;
}

std::string History::trace_line(Machine& scratch, std::uint64_t t) const {
    if (t == 0 || t > recorded_) return "";
    Replay replay(*this, scratch, t - 1);
    TraceStart start = trace_start(replay.settle());
    HeadlessIo io;
    if (replay.next(io)) return "";
    char line[TRACE_LINE_CAPACITY];
    format_trace_line(line, start, scratch);
    return line;
}

void History::rewrite(const Machine& m) {
    while (snapshots_.back().step > step_) {
        spare_.push_back(std::move(snapshots_.back().machine));
        snapshots_.pop_back();
    }
    recorded_ = step_;
    ending_.reset();
    while (!rewritten_.empty() && rewritten_.back() >= step_) rewritten_.pop_back();
    rewritten_.push_back(step_);
    if (snapshots_.back().step == step_) {
        *snapshots_.back().machine = m;
        snapshots_.back().rewritten = true;
        snapshots_.back().summary.reset();
        marks_->clear();
        marked_whole_ = true;
    } else {
        // The marks since the last snapshot may be of steps now forgotten
        // and miss none before: the stretch up to here stays unknown.
        marked_whole_ = false;
        take_snapshot(m, true);
    }
}

void History::close_stretch(const Machine& m) {
    if (!snapshots_.empty()) {
        std::unique_ptr<StretchSummary>& summary = snapshots_.back().summary;
        summary.reset();
        if (marked_whole_) {
            summary = std::make_unique<StretchSummary>();
            // Eight bytes of 0 or 1 into eight bits, the first the lowest.
            auto pack = [](const std::uint8_t* bytes) {
                std::uint64_t bits = 0;
                for (unsigned k = 0; k < 8; ++k) {
                    std::uint64_t eight;
                    std::memcpy(&eight, bytes + 8 * k, 8);
                    bits |= ((eight * 0x0102040810204080u) >> 56) << (8 * k);
                }
                return bits;
            };
            // The marks are cleared as they are packed, only where they are
            // set: a stretch marks few of them.
            auto take = [&](std::uint8_t* bytes) {
                std::uint64_t any = 0;
                for (unsigned k = 0; k < 8; ++k) {
                    std::uint64_t eight;
                    std::memcpy(&eight, bytes + 8 * k, 8);
                    any |= eight;
                }
                if (any == 0) return std::uint64_t{0};
                std::uint64_t bits = pack(bytes);
                std::memset(bytes, 0, 64);
                return bits;
            };
            for (std::size_t w = 0; w < StretchSummary::WORDS; ++w) {
                summary->began[w] = take(marks_->began.data() + 64 * w);
                summary->written[w] = take(marks_->written.data() + 64 * w);
            }
            // A breakpoint fires after a step by the PC it leaves.
            unsigned pc = m.PC % MEMORY_SIZE;
            summary->began[pc / 64] |= std::uint64_t{1} << (pc % 64);
            marked_whole_ = true;
            return;
        }
    }
    marks_->clear();
    marked_whole_ = true;
}

void StretchSummary::add(const StretchSummary& other) {
    for (std::size_t w = 0; w < WORDS; ++w) {
        began[w] |= other.began[w];
        written[w] |= other.written[w];
    }
}

void History::take_snapshot(const Machine& m, bool rewritten) {
    close_stretch(m);
    std::unique_ptr<Machine> copy;
    if (spare_.empty()) {
        copy = std::make_unique<Machine>(m);
    } else {
        copy = std::move(spare_.back());
        spare_.pop_back();
        *copy = m;
    }
    snapshots_.push_back(Snapshot{step_, outputs_, std::move(copy), rewritten, nullptr});
    // Thinning looks at every snapshot, so it waits for a few new ones.
    if (++taken_since_thinning_ >= 32 || snapshots_.size() > budget_) thin();
}

void History::thin() {
    taken_since_thinning_ = 0;
    for (;;) {
        std::size_t kept = 0;
        for (Snapshot& s : snapshots_) {
            if (s.rewritten || s.step % spacing(recorded_ - s.step, density_, grain_) == 0) {
                if (&snapshots_[kept] != &s) snapshots_[kept] = std::move(s);
                ++kept;
            } else {
                // Its stretch joins the one before (the first is always kept).
                std::unique_ptr<StretchSummary>& before = snapshots_[kept - 1].summary;
                if (before && s.summary) {
                    before->add(*s.summary);
                } else {
                    before.reset();
                }
                spare_.push_back(std::move(s.machine));
            }
        }
        snapshots_.resize(kept);
        if (snapshots_.size() <= budget_ || density_ <= 2) break;
        density_ /= 2;
    }
    // Beyond the budget nothing is kept for reuse.
    while (snapshots_.size() + spare_.size() > budget_ && !spare_.empty()) spare_.pop_back();
}
