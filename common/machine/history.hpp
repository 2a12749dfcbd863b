// The history of a run, for going back to any earlier instruction of it
// however long the run: copies of the machine (snapshots) at some steps, and
// re-execution from the nearest one before the step asked for.
//
// A step is one instruction begun: after n steps without a stop the
// machine's instruction count is n (modulo 2^32); a stop is the last step of
// its run. The machine takes nothing from outside that could differ between
// two runs from the same state (in 1 discards its key, a port holds what out
// wrote), so a snapshot and the program decide every later step.
//
// Snapshots are taken every HISTORY_GRAIN steps of new ground and thinned as
// the run grows: one HISTORY_GRAIN apart over the last `density` grains, then
// twice as far apart over the `density` grains before, and so on, so that
// the steps near the end are cheap to reach and the whole run is reachable.
// When they exceed the budget the density halves: memory stays within
// budget snapshots (about 16.7 KB each) however long the run.
#pragma once

#include <algorithm>
#include <array>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "machine/fast_run.hpp"
#include "machine/headless.hpp"
#include "machine/machine.hpp"
#include "machine/run_end.hpp"

class FindingMonitor;
class History;

// The replay cursor: replays the recorded run from the state after step
// `from` (rebuilt into `m`), as the run went: a change by hand at a step
// replaces the state its instruction left, applied when the replay goes on
// from that step (settle, next). Between next and the following settle the
// machine shows the state the instruction left, as the run's stops and
// findings judged it. Everything outside the history's own run that goes
// over recorded steps again goes through here.
class Replay {
public:
    Replay(const History& history, Machine& m, std::uint64_t from);
    // From `reached`, the state the run had made at step `from` before any
    // change by hand there (the start of the run for step 0).
    Replay(const History& history, Machine& m, std::uint64_t from, const Machine& reached);
    std::uint64_t step() const { return step_; }
    Machine& machine() { return m_; }
    // The state the next instruction starts from (a change by hand at
    // step() applied).
    Machine& settle();
    // Runs the next instruction: returns the stop it made, if it did (the
    // step then counts, as in the history).
    std::optional<Stop> next(HeadlessIo& io);
    // Steps on to step `to` (at most recorded()): before(m) sees the state
    // each instruction starts from, after(m) the state it left and returns
    // whether to go on. Returns the stop that ended it early, if one did.
    template <class Before, class After>
    std::optional<Stop> forward(std::uint64_t to, Before&& before, After&& after);
    // Runs on to step `to` (at most recorded()) with `monitor` looking at
    // every instruction; changed(reached, state) hears each change by hand
    // on the way, up to and including one at `to`, before the machine
    // takes it.
    void forward_monitored(std::uint64_t to, FindingMonitor& monitor,
                           const std::function<void(const Machine&, const Machine&)>& changed);

private:
    const History& history_;
    Machine& m_;
    std::uint64_t step_;
    bool settled_ = true;
};

// What a long search of the history (History::last_stop) is told and tells:
// an interrupt flag it polls between pieces of at most SEARCH_PIECE steps
// (set from outside: a signal handler, a Stop button), and a report of its
// progress after each piece; `interrupted` says it gave up.
struct SearchControl {
    const volatile std::sig_atomic_t* interrupt = nullptr;
    std::function<void(std::uint64_t searched, std::uint64_t total)> progress;
    bool interrupted = false;
};
constexpr std::uint64_t SEARCH_PIECE = std::uint64_t{1} << 22;

// 131,072 steps: going back replays at most that many near the end (about
// a millisecond); a grain of 16,384 made the debugger's continue a fifth
// slower, copying the machine eight times as often.
constexpr std::uint64_t HISTORY_GRAIN = std::uint64_t{1} << 17;

// What a stretch of the run between two snapshots may have done: a bit per
// memory byte where an instruction began or where PC stood after one of its
// steps (`began`), and one per byte it may have written (`written`).
struct StretchSummary {
    static constexpr std::size_t WORDS = MEMORY_SIZE / 64;
    std::array<std::uint64_t, WORDS> began{};
    std::array<std::uint64_t, WORDS> written{};

    static bool has(const std::array<std::uint64_t, WORDS>& bits, unsigned a) {
        return (bits[a / 64] >> (a % 64) & 1) != 0;
    }
    void add(const StretchSummary& other);
};

class History {
public:
    // At most `budget` snapshots (at least 64), taken every `grain` steps
    // (a power of two; tests take small ones).
    explicit History(std::size_t budget = 2048, std::uint64_t grain = HISTORY_GRAIN);

    // Forgets the run; `start` is the state at step 0.
    void begin(const Machine& start);

    // The step the run's machine is at, and the furthest step recorded.
    std::uint64_t step() const { return step_; }
    std::uint64_t recorded() const { return recorded_; }
    // Port 0 values the run wrote up to step().
    std::uint64_t outputs() const { return outputs_; }
    std::size_t snapshot_count() const { return snapshots_.size(); }

    // How the run stands at step(): LIMIT while it can go on; at the last
    // recorded step of a run that halted or stopped, that ending.
    RunOutcome standing() const;

    // Runs the run's machine m (at step()) at most `count` steps forward,
    // fast where it can, recording as it goes. Ends early at hlt, a stop or,
    // with `stops`, after an instruction that leaves fast_stop_due true
    // (BREAKPOINT: the caller tells which). io gets in, out and hlt. With
    // `monitor`, which the caller keeps in step with the run (it has looked
    // at every step up to step(), so it is given only on new ground), every
    // instruction is shown to it before it runs, and the run also ends
    // (BREAKPOINT) right after one it noted a finding for. With `key_waits`
    // it ends (KEY_WAIT) before an `in 1` (at_key_wait), the first included.
    // It also ends on arriving at a step changed by hand (changed_at), m
    // then the changed state; BREAKPOINT there when `stops` fired on the
    // state the instruction left.
    RunOutcome run(Machine& m, HeadlessIo& io, std::uint64_t count,
                   const FastStops* stops = nullptr, FindingMonitor* monitor = nullptr,
                   bool key_waits = false);
    // Whether new ground keeps each stretch's summary (on by default). Off,
    // the monitored loop notes nothing (a sixth faster in the web page,
    // whose run speed is its own target) and searches replay every stretch.
    bool summarised = true;

    // Moves the run's machine m to the state after `target` steps (at most
    // recorded()), forward or back.
    void go_to(Machine& m, std::uint64_t target);
    // The state after `target` steps (at most recorded()) into `scratch`;
    // the run's machine and step() stay. Returns the port 0 values written
    // up to there.
    std::uint64_t rebuild(Machine& scratch, std::uint64_t target) const;

    // The last step t with 0 < t <= last (last at most recorded()) after
    // which `stops` would have ended a forward run (a watched byte compared
    // with its value after the step before), searched backwards from `last`
    // one stretch between snapshots at a time; nothing when there is none.
    // `stops.values` is ignored: each stretch starts from its snapshot.
    // A stretch recorded with the monitor whose summary shows that no
    // breakpoint's instruction ran in it and no watched byte was written is
    // passed over without running it again.
    // With `control`, it polls the interrupt and reports its progress; when
    // interrupted it says so there and returns nothing. Steps up to `after`
    // are not searched; with `holds`, a stop counts only where it holds on
    // the state after the step (a condition tested at the stops alone).
    std::optional<std::uint64_t> last_stop(
        Machine& scratch, std::uint64_t last, const FastStops& stops,
        SearchControl* control = nullptr, std::uint64_t after = 0,
        const std::function<bool(const Machine&)>& holds = nullptr) const;

    // Whether an instruction of steps (from, to] may have read the byte at
    // `address` as data (as a read watch sees reads), judged from the
    // stretches' summaries and the code at their snapshots; true for a
    // stretch without a summary.
    bool may_read(std::uint64_t from, std::uint64_t to, std::uint16_t address) const;

    // The furthest snapshot's step up to `to` that a forward run from
    // `from` reaches through whole stretches whose summaries show that
    // `stops` cannot fire there (`stops.values` aside: a watched byte not
    // written keeps its value) and no byte of `read` may have been read,
    // and that wrote nothing to port 0; `from` when the stretch it is in
    // may stop. Changes by hand and findings are the caller's to cut `to` at.
    std::uint64_t quiet_until(std::uint64_t from, std::uint64_t to, const FastStops& stops,
                              std::span<const std::uint16_t> read) const;

    // Replaces the state at step() by m (a state changed by hand): the
    // steps recorded after it are forgotten, and the run goes on from m. The
    // changed state stays a snapshot for good, so that every later rebuild
    // starts from it.
    void rewrite(const Machine& m);
    // The steps whose state was changed by hand, in order.
    const std::vector<std::uint64_t>& rewritten_steps() const { return rewritten_; }
    // The state changed by hand at step t, or null when t was not changed.
    // A run that arrives at t goes on from it: the state t's instruction
    // left is replaced, after the stops and findings were judged on it.
    const Machine* changed_at(std::uint64_t t) const;
    // The first step after t changed by hand; nothing when none is.
    std::optional<std::uint64_t> next_change_after(std::uint64_t t) const;

    // The trace line of step t (1 to recorded()), as the simulator's trace
    // writes it; "" for a stop, which has none.
    std::string trace_line(Machine& scratch, std::uint64_t t) const;

private:
    struct Snapshot {
        std::uint64_t step;
        std::uint64_t outputs;
        std::unique_ptr<Machine> machine;
        bool rewritten = false;  // changed by hand: never thinned out
        // The steps after it up to the next snapshot; null: not known (the
        // last stretch, or one not all recorded with a monitor).
        std::unique_ptr<StretchSummary> summary;
    };

    // The last snapshot at or before `target`.
    const Snapshot& snapshot_before(std::uint64_t target) const;
    void take_snapshot(const Machine& m, bool rewritten = false);
    // Closes the stretch from the last snapshot up to m: its summary from
    // the marks, which start again.
    void close_stretch(const Machine& m);
    void thin();

    std::size_t budget_;
    std::uint64_t grain_;
    std::uint64_t density_;
    std::vector<Snapshot> snapshots_;              // by step, the first at step 0
    std::vector<std::unique_ptr<Machine>> spare_;  // thinned out, for reuse
    std::size_t taken_since_thinning_ = 0;
    std::uint64_t step_ = 0;
    std::uint64_t recorded_ = 0;
    std::uint64_t outputs_ = 0;
    std::vector<std::uint64_t> rewritten_;  // the steps changed by hand, in order
    std::optional<RunOutcome> ending_;      // how the run ended at recorded_, if it did
    // Marks of the new ground since the last snapshot; `marked_whole_`
    // while all of it was run with the monitor.
    std::unique_ptr<RunMarks> marks_ = std::make_unique<RunMarks>();
    bool marked_whole_ = true;
};

template <class Before, class After>
std::optional<Stop> Replay::forward(std::uint64_t to, Before&& before, After&& after) {
    HeadlessIo quiet;
    to = std::min(to, history_.recorded());
    while (step_ < to) {
        before(static_cast<const Machine&>(settle()));
        if (std::optional<Stop> stop = next(quiet)) return stop;
        if (!after(static_cast<const Machine&>(m_))) break;
    }
    return std::nullopt;
}
