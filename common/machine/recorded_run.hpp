// One recorded run of a program, the one every front end steps (the
// debugger, the debug adapter, the web page): the machine, its history, the
// findings by step, the breakpoint and watch marks, where the run stands,
// and the operations on it. Every motion a front end offers goes through
// move(), which decides its rules and returns one MotionReport; the front
// end words the report.
//
// Recorded ground (up to history().recorded()) is replayed without the
// finding monitor, and a replay stops at the findings the log holds for it,
// as a breakpoint does; new ground is run with the monitor looking.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "machine/condition.hpp"
#include "machine/finding_log.hpp"
#include "machine/headless.hpp"
#include "machine/history.hpp"
#include "machine/loader.hpp"
#include "machine/run_end.hpp"
#include "machine/stack_story.hpp"
#include "machine/trace.hpp"

enum class MarkKind : std::uint8_t { BREAK, TBREAK, WATCH, RWATCH };

// A breakpoint (BREAK, TBREAK: PC reached the address), a watch (WATCH:
// the byte, or with width 2 the word, at the address changed) or a read
// watch (RWATCH: an instruction read the byte as data; see data_reads). A
// mark fires; a firing whose condition holds is a hit; the run stops at a
// hit once the hits pass `ignore`: every hit after, every `every`th hit
// counted from the first that stops, or with `once` that first one alone.
struct Mark {
    int id;
    MarkKind kind;
    std::uint16_t address;
    std::uint8_t last_value = 0;  // a watched byte as last seen
    std::optional<Condition> condition;
    std::uint64_t hits = 0;      // firings whose condition held
    std::uint64_t ignore = 0;    // hits that do not stop a run
    std::uint8_t width = 1;      // WATCH: 1 byte or 2 (a word, low byte first)
    std::uint8_t last_high = 0;  // the second watched byte as last seen
    std::uint64_t every = 1;     // of the hits past ignore, every Nth stops (1: each)
    bool once = false;           // only the first hit past ignore stops
    // A logpoint: a hit that would stop a run is told to RecordedRun::on_log
    // instead, and the run goes on; going back passes it too.
    bool logs = false;

    // Whether the hit numbered `hit` (from 1, from the start of counting) stops a run.
    bool stops_at(std::uint64_t hit) const {
        if (hit <= ignore) return false;
        return once ? hit == ignore + 1 : (hit - ignore - 1) % every == 0;
    }
    bool counted() const { return ignore > 0 || every > 1 || once; }
    bool plain() const { return !condition && !counted() && kind != MarkKind::RWATCH; }
};

// The marks as the fast loop tests them: the breakpoints given and every
// watch at the value it last saw (a word watch is its two bytes).
struct Watched {
    std::vector<std::uint16_t> addresses;
    std::vector<std::uint8_t> values;
    FastStops stops;

    Watched(const std::vector<Mark>& marks, const std::uint8_t* breaks) {
        for (const Mark& m : marks) {
            if (m.kind != MarkKind::WATCH) continue;
            addresses.push_back(m.address);
            values.push_back(m.last_value);
            if (m.width == 2) {
                addresses.push_back(static_cast<std::uint16_t>((m.address + 1u) % MEMORY_SIZE));
                values.push_back(m.last_high);
            }
        }
        stops = {breaks, addresses.data(), values.data(), addresses.size()};
    }
};

// What ended the last run forward, for its report.
struct RunHit {
    int id = 0;                   // the mark that ended it
    bool temporary = false;       // that mark was a TBREAK (and is gone)
    std::uint16_t old_value = 0;  // a watched byte (or word) before the change
};

// The motions a front end asks of the run (see RecordedRun::move).
enum class Motion : std::uint8_t {
    STEP,           // `count` instructions
    NEXT,           // `count` instructions, a call run to its return as one
    FINISH,         // until the innermost open call returns
    CONTINUE,       // until a mark, a finding or the end; at most `count` when not 0
    TO_STEP,        // to the state after `count` instructions, marks and findings aside
    BACK,           // `count` instructions back
    BACK_NEXT,      // `count` instructions back at this call depth
    BACK_FINISH,    // back to before the call of the innermost open subroutine
    BACK_CONTINUE,  // back to the last step a run forward would have stopped after
};

struct MotionOrder {
    Motion motion = Motion::STEP;
    std::uint64_t count = 1;
    bool marks = true;  // CONTINUE: off, only findings, a key wait and the end stop it
};

// How a motion ended and where it stands, for a front end to word.
struct MotionReport {
    // LIMIT: it did what was asked; RETURNED: FINISH's call returned;
    // HALTED, STOPPED, FINDING, BREAKPOINT, WATCHPOINT (the mark in hit()),
    // KEY_WAIT, INTERRUPTED (a search or a run, or pause()).
    RunEnd end = RunEnd::LIMIT;
    std::uint64_t step = 0;  // where the run stands after it
    std::uint64_t from = 0;  // where it stood before
    // Went back to the start: BACK asked further, or nothing stops earlier.
    bool at_start = false;
    // Nothing to do: forward at the end of the run (`end` is the standing),
    // back at the start, BACK_FINISH with no call open.
    bool refused = false;
    // The last instruction ran without being shown to the step visitor.
    bool ran_unseen = false;
    // FINISH: the stack's depth before the call that it finishes.
    std::optional<unsigned> depth_before_call;
    // TO_STEP: findings made on the way, those of the step reached aside.
    std::size_t findings_passed = 0;
};

// An instruction a STEP or NEXT motion ran (its start is last_start()):
// `returned` for the ret that closed a call NEXT ran over, with the stack's
// depth before that call.
struct StepSeen {
    bool returned = false;
    unsigned depth_before = 0;
};
using StepVisitor = std::function<void(const StepSeen&)>;

// The data addresses the instruction at m.PC reads (loads and the pointers
// of lda, ldaw, sta, staw; not the stack, not the instruction's own bytes):
// at most 4, into `out`; returns how many.
unsigned data_reads(const Machine& m, std::uint16_t (&out)[4]);

class RecordedRun {
public:
    // The history's budget and grain (see History; tests take small ones).
    explicit RecordedRun(std::size_t history_budget = 2048, std::uint64_t grain = HISTORY_GRAIN);

    // A new run from `start` (a machine as loaded; `loaded` and `code` are
    // the loader's sets); the monitor looks for `looked_for`. Marks stay.
    // A subroutine case (`subroutine_case`) starts at the routine with
    // CASE_RETURN_ADDRESS pushed: that call is open from the start, and the
    // ret to it ends the run (case_returned).
    void load(const Machine& start, const WrittenSet& loaded, const WrittenSet& code,
              FindingKinds looked_for = ALL_FINDING_KINDS, bool subroutine_case = false);
    // The program's data blocks for the monitor (past the end), from the
    // next load or restart on.
    void set_blocks(std::vector<BlockSpan> blocks) { blocks_ = std::move(blocks); }
    // The routine a subroutine case called; nothing for a whole program.
    std::optional<std::uint16_t> case_routine() const {
        if (!case_call_) return std::nullopt;
        return start_->PC;
    }
    // Whether the run ended as its subroutine case does: the routine
    // returned (the standing is STOPPED, as the machine stopped).
    bool case_returned() const {
        return case_call_ && standing_ == RunEnd::STOPPED && returned_from_case(machine_, stop_);
    }
    // Back to the start of the run, forgetting what it recorded.
    void restart();

    Machine& machine() { return machine_; }
    const Machine& machine() const { return machine_; }
    const Machine& start() const { return *start_; }
    // A machine for earlier states rebuilt from the history.
    Machine& scratch() { return *scratch_; }
    const History& history() const { return history_; }
    std::uint64_t step() const { return history_.step(); }
    std::uint64_t recorded() const { return history_.recorded(); }

    // Where the run stands: LIMIT while it can go on, HALTED or STOPPED at
    // the end of the run (only going back or a restart go on from there),
    // KEY_WAIT at an `in 1` that waits for a key (see waits_for_keys).
    RunEnd standing() const { return standing_; }
    const Stop& stop() const { return stop_; }
    // The start of the instruction that led to the current step.
    const TraceStart& last_start() const;
    const RunHit& hit() const { return hit_; }

    // Port 0 values the run wrote, in order; the front end takes them. A
    // run calls show_output after each stretch when it is set.
    HeadlessIo io;
    std::function<void(std::vector<std::uint8_t>&)> show_output;
    // Told of each logpoint hit of a run forward, where the run stands at it.
    std::function<void(const Mark&)> on_log;
    // How many `in 1` instructions took a key on new ground. The machine
    // takes nothing from the key today (in 1 discards it), so a replay needs
    // none and never waits.
    std::uint64_t keys_consumed() const { return keys_; }
    // Opted in (the web page), a run on new ground pauses before each
    // `in 1` (KEY_WAIT, also the standing) until the front end says a key
    // came; ground already recorded never waits: going back and forward
    // again, replays and searches pass every `in 1` at once. Off, `in 1`
    // goes on at once everywhere (the debugger, the debug adapter).
    bool waits_for_keys = false;
    // Off (the web page), new ground keeps no summaries of its stretches:
    // the run is faster and searches of the history replay it whole.
    void keep_summaries(bool on) { history_.summarised = on; }
    // A key came: at KEY_WAIT, the next run forward runs the `in 1` it waits
    // at; anywhere else the key is passed over.
    void key_came() { key_came_ = standing_ == RunEnd::KEY_WAIT; }

    // Set from outside (a signal handler, a Stop button); polled between
    // stretches of a run and cleared when it ends one.
    volatile std::sig_atomic_t* interrupt = nullptr;
    // Told how far a search of the history has come (steps searched, and
    // the most it searches), between its pieces; and a run forward (its
    // step, and the step it runs to, 0 when it runs until something stops
    // it).
    std::function<void(std::uint64_t searched, std::uint64_t total)> progress;
    // Whether the last search (last_break_before, call_step, last_write)
    // gave up at the interrupt; it then found nothing.
    bool search_interrupted() const { return search_interrupted_; }

    // ---- findings ----
    const FindingLog& findings() const { return log_; }
    void set_shown(FindingKinds kinds) { log_.shown = kinds; }
    void set_looked_for(FindingKinds kinds) {
        looked_for_ = kinds;
        log_.monitor->set_kinds(kinds);
    }
    // The innermost call open at the current step (the return address and
    // SP of every open call are kept by the monitor); nothing when none is.
    std::optional<OpenCall> innermost_call();
    // Every call open at the current step, outermost first.
    std::vector<OpenCall> open_calls();
    // The open calls and the origin of every stack byte at the current
    // step (a replay of at most 2 * STORY_GRAIN steps off the furthest).
    StackStory stack_story();
    // The frames at the current step, innermost first.
    std::vector<Frame> frames();
    // Steps of new ground between two kept stack stories.
    static constexpr std::uint64_t STORY_GRAIN = std::uint64_t{1} << 20;

    // ---- marks ----
    const std::vector<Mark>& marks() const { return marks_; }  // by ID
    int next_mark_id() const { return next_id_; }
    // Returns the new mark's ID; a watch takes its bytes' value now.
    int add_mark(MarkKind kind, std::uint16_t address,
                 std::optional<Condition> condition = std::nullopt, unsigned width = 1);
    bool delete_mark(int id);
    void clear_marks();
    Mark* find_mark(int id);
    // Per address, 1 where a breakpoint is.
    const std::uint8_t* break_at() const { return break_at_.data(); }

    // ---- motions ----
    // Every motion of a front end. Forward motions are refused at the end
    // of the run. STEP and NEXT stop at a breakpoint between their
    // instructions, not where the last one lands, and tell `seen` of each
    // instruction that ran. Front ends clear the interrupt before.
    MotionReport move(const MotionOrder& order, const StepVisitor& seen = {});
    // The last motion's report (a restart or a change by hand: LIMIT here).
    const MotionReport& report() const { return report_; }
    // The user paused the run between motions (a Stop button): the report
    // says INTERRUPTED where it stands, unless the run has ended.
    void pause();

    // ---- running forward ----
    // At most `count` steps through the history: HALTED or STOPPED first;
    // FINDING right after an instruction that made a finding of a shown
    // kind; BREAKPOINT when `stops` fired; KEY_WAIT before an `in 1` that
    // waits for a key; else LIMIT. No mark is counted.
    RunOutcome run_steps(std::uint64_t count, const FastStops* stops);
    // One instruction. HALTED, STOPPED, FINDING or LIMIT.
    RunEnd step_instruction();
    // After an instruction: a watched byte that changed, a breakpoint at PC
    // (only when `at_breakpoint`) or the interrupt, as the reason to end a
    // run; LIMIT when none.
    RunEnd check_after(bool at_breakpoint);
    // Runs until the subroutine `depth` calls deep returns (RETURNED), a
    // mark, a finding, the end or the interrupt (next and finish: 1).
    RunEnd run_to_return(int depth);
    // Runs until a mark, a finding, hlt, a stop or the interrupt, on the
    // fast path; with `most`, LIMIT after that many instructions (a
    // breakpoint reached by the last one still stops it); without `marks`,
    // breakpoints and watches aside.
    RunEnd run_forward(std::uint64_t most = 0, bool marks = true);
    // Runs forward, marks and findings aside, until the machine is after
    // step `target`, the run ends or the interrupt; port 0 values written
    // on the way are dropped.
    RunEnd run_to(std::uint64_t target);

    // ---- changing the state ----
    // Replaces the state where the run stands by `changed` (memory, SP or
    // PC set by hand): what was recorded after this step is forgotten, and
    // the run goes on from the changed state, whose changed bytes count as
    // written. Returns how many recorded steps were forgotten.
    std::uint64_t change_state(const Machine& changed);

    // ---- going back ----
    // To the state after `target` steps (at most recorded()), forward or
    // back; the standing is taken from the history.
    void go_to(std::uint64_t target);
    // The latest step before the current one after which a mark or a
    // finding of a shown kind would have stopped a run forward; nothing
    // when none did. A mark with a condition stops only where it holds; one
    // with an ignore count only from the hit after its first `ignore` hits
    // counted from the start of the run (where a run from the start would
    // first stop). The mark found (0 for a finding) is in hit(), its ID
    // and a watch's value before the step.
    std::optional<std::uint64_t> last_break_before();
    // Reverse continue: goes back to last_break_before(), or to the start
    // when nothing stops earlier (LIMIT, at_start). BREAKPOINT or
    // WATCHPOINT with the mark in hit(), FINDING for a finding there;
    // INTERRUPTED when the search was, and the run stays.
    MotionReport reverse_continue();
    // The step before the instruction that made the innermost open call
    // (where a reverse finish goes); nothing when no call is open.
    std::optional<std::uint64_t> call_step();
    // One instruction back at this call depth (reverse next): the step
    // before, or, when the instruction before was a ret that closed a call,
    // the step before that call; nothing at the start.
    std::optional<std::uint64_t> previous_step_over_calls();
    // The last step after `changed` (the last change of the byte at
    // address) up to the current one whose instruction wrote the byte again
    // with the value it held: by its row's store or as one of the bytes it
    // pushed. Nothing when none did, or when more than SAME_WRITE_REACH steps
    // lie between (each is run again with step()).
    static constexpr std::uint64_t SAME_WRITE_REACH = std::uint64_t{1} << 24;
    std::optional<std::uint64_t> last_same_write(std::uint16_t address, std::uint64_t changed);
    // The last step up to the current one that changed the byte at address.
    std::optional<std::uint64_t> last_write(std::uint16_t address);

private:
    void note_ending(const RunOutcome& outcome);
    // A fresh monitor that has looked at the run from its start up to the
    // current step, states changed by hand included (the scratch machine
    // ends there).
    std::unique_ptr<FindingMonitor> monitor_here(FindingKinds kinds);
    // Bytes changed by hand count as written by the run.
    static void mark_changed(FindingMonitor& monitor, const Machine& reached,
                             const Machine& changed);
    // A fresh monitor of a subroutine case is told of the call open at the start.
    void open_case_call(FindingMonitor& monitor) const;
    void count_marks();
    void refresh_watches();
    // A search of the history (History::last_stop) that polls the
    // interrupt and reports progress.
    std::optional<std::uint64_t> search(std::uint64_t last, const FastStops& stops,
                                        std::uint64_t after = 0,
                                        const std::function<bool(const Machine&)>& holds = nullptr);
    // Whether a mark that fired stops the run (it counts the hit; a
    // logpoint's hit is told to on_log and stops nothing).
    bool stops_run(Mark& m);
    // INTERRUPTED, clearing the interrupt, when it is set; else LIMIT.
    RunEnd interrupted();
    // The addresses of the read watches.
    std::vector<std::uint16_t> read_watched() const;
    // Runs `count` steps of new ground without the marks (the run's
    // findings, a key wait or its end cut it), then comes back: so that
    // the stretches' summaries tell where a read watch may fire.
    void record_ahead(std::uint64_t count);
    // Moves forward over whole recorded stretches (up to `limit`) in which
    // no mark fires, no byte of `read` is read and nothing is written to
    // port 0 (History::quiet_until), stopping short of the next finding and
    // change by hand; false when it could not move.
    bool pass_quiet(std::uint64_t limit, const FastStops& stops,
                    std::span<const std::uint16_t> read);
    // The first step in (from, to] (recorded ground) whose instruction
    // reads a byte of `read`, replaying only the grains whose summaries
    // show that one may.
    std::optional<std::uint64_t> first_read(std::uint64_t from, std::uint64_t to,
                                            std::span<const std::uint16_t> read);
    MotionReport step_motion(std::uint64_t n, bool over_calls, const StepVisitor& seen);
    MotionReport back_motion(const MotionOrder& order);
    // The last step in (after, last] where mark m stops a run as a run
    // forward would (its condition holds), searched one instruction at a
    // time; with `first` the first such step instead, counting hits from
    // after `after` up to `count`.
    std::optional<std::uint64_t> scan_mark(const Mark& m, std::uint64_t after, std::uint64_t last,
                                           bool first, std::uint64_t count = 1);

    Machine machine_{};
    std::unique_ptr<Machine> start_ = std::make_unique<Machine>();
    std::unique_ptr<Machine> scratch_ = std::make_unique<Machine>();
    WrittenSet loaded_;
    WrittenSet code_;
    std::vector<BlockSpan> blocks_;
    FindingKinds looked_for_ = ALL_FINDING_KINDS;
    std::optional<OpenCall> case_call_;  // a subroutine case's call, open at the start
    History history_;
    FindingLog log_;
    RunEnd standing_ = RunEnd::LIMIT;
    Stop stop_{};
    mutable TraceStart last_start_{};
    std::unique_ptr<Machine> trace_scratch_ = std::make_unique<Machine>();
    // The step after which last_start_ holds (none: to be rebuilt).
    mutable std::uint64_t last_start_at_ = ~std::uint64_t{0};
    MotionReport report_;
    std::uint16_t reads_[4] = {};  // the data the last instruction stepped read
    unsigned read_count_ = 0;
    RunHit hit_;
    std::uint64_t keys_ = 0;
    bool key_came_ = false;
    std::vector<Mark> marks_;
    int next_id_ = 1;
    std::vector<std::uint8_t> break_at_ = std::vector<std::uint8_t>(MAX_MEMORY);
    std::size_t watch_count_ = 0;
    bool breaks_marked_ = false;  // the monitor's marks hold break_at_
    struct KeptStory {
        std::uint64_t step;
        std::unique_ptr<StackStory> story;
    };
    std::vector<KeptStory> stories_;  // by step; the first at step 0
    // Keeps the monitor's stack story at the current step, STORY_GRAIN
    // after the last, or `here` in any case (after a change of state,
    // forgetting those after it).
    void keep_story(bool here = false);
    bool search_interrupted_ = false;
    // A run that ends on arriving at a step changed by hand judges its
    // marks on the state the instruction left (before_change_), as the run
    // did before the change was made, or none when that instruction halted
    // or stopped the machine; until the next motion.
    enum class Judge : std::uint8_t { NOW, BEFORE_CHANGE, NONE };
    std::unique_ptr<Machine> before_change_ = std::make_unique<Machine>();
    Judge judge_ = Judge::NOW;
};
