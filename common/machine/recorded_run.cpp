#include "machine/recorded_run.hpp"

#include <algorithm>

namespace {

// Instructions a run goes between its tests of the interrupt.
constexpr std::uint64_t RUN_STRETCH = std::uint64_t{1} << 22;

// The word at a and a+1 (low first), wrapping at the end of memory.
std::uint16_t word_at(const Machine& m, unsigned a) {
    return static_cast<std::uint16_t>(m.memory[a % MEMORY_SIZE] | m.memory[(a + 1u) % MEMORY_SIZE]
                                                                      << 8);
}

// A watched byte or word's value.
std::uint16_t watched_value(const Machine& m, const Mark& mark) {
    return mark.width == 2 ? word_at(m, mark.address) : m.memory[mark.address];
}

// Whether mark fires after the step from `before` (its watched value and the
// data that step read) to `after`; conditions and counts aside.
bool fires(const Mark& mark, const Machine& after, std::uint16_t value_before,
           const std::uint16_t* reads, unsigned read_count) {
    switch (mark.kind) {
        case MarkKind::BREAK:
        case MarkKind::TBREAK: return after.PC == mark.address;
        case MarkKind::WATCH: return watched_value(after, mark) != value_before;
        case MarkKind::RWATCH:
            return std::find(reads, reads + read_count, mark.address) != reads + read_count;
    }
    return false;
}

MotionReport ending(RunEnd end) {
    MotionReport r;
    r.end = end;
    return r;
}

MotionReport refusal(RunEnd end, bool at_start) {
    MotionReport r = ending(end);
    r.refused = true;
    r.at_start = at_start;
    return r;
}

}  // namespace

unsigned data_reads(const Machine& m, std::uint16_t (&out)[4]) {
    if (m.PC + 2u >= static_cast<unsigned>(MEMORY_SIZE)) return 0;
    const OpcodeEntry& row = OpcodeTable[m.memory[m.PC % MEMORY_SIZE]];
    unsigned w = word_at(m, m.PC + 1u);
    unsigned n = 0;
    auto add = [&](unsigned a, unsigned count) {
        for (unsigned k = 0; k < count; ++k) {
            if (a + k < static_cast<unsigned>(MEMORY_SIZE))
                out[n++] = static_cast<std::uint16_t>(a + k);
        }
    };
    if (!row.reads_pointer()) {
        add(w, row.read_width());
        return n;
    }
    add(w, 2);
    if (row.reads_through_pointer() && w + 1 < static_cast<unsigned>(MEMORY_SIZE))
        add(word_at(m, w), row.read_width());
    return n;
}

RecordedRun::RecordedRun(std::size_t history_budget, std::uint64_t grain)
    : history_(history_budget, grain) {}

void RecordedRun::load(const Machine& start, const WrittenSet& loaded, const WrittenSet& code,
                       FindingKinds looked_for, bool subroutine_case) {
    *start_ = start;
    loaded_ = loaded;
    code_ = code;
    looked_for_ = looked_for;
    case_call_.reset();
    if (subroutine_case) case_call_ = OpenCall{CASE_RETURN_ADDRESS, start.SP};
    restart();
}

void RecordedRun::open_case_call(FindingMonitor& monitor) const {
    if (case_call_)
        monitor.open_outside_call(start_->PC, case_call_->return_address, case_call_->sp_after);
}

void RecordedRun::restart() {
    judge_ = Judge::NOW;
    report_ = {};
    last_start_at_ = ~std::uint64_t{0};
    machine_ = *start_;
    history_.begin(machine_);
    FindingKinds shown = log_.shown;
    log_.begin(loaded_, code_, looked_for_);
    log_.shown = shown;
    log_.monitor->set_blocks(blocks_);
    open_case_call(*log_.monitor);
    breaks_marked_ = false;
    stories_.clear();
    keep_story();
    standing_ = RunEnd::LIMIT;
    keys_ = 0;
    key_came_ = false;
    io.port0.clear();
    refresh_watches();
}

void RecordedRun::note_ending(const RunOutcome& outcome) {
    bool ended = outcome.end == RunEnd::HALTED || outcome.end == RunEnd::STOPPED;
    standing_ = ended ? outcome.end : RunEnd::LIMIT;
    if (outcome.stop) stop_ = *outcome.stop;
}

const TraceStart& RecordedRun::last_start() const {
    std::uint64_t now = history_.step();
    if (last_start_at_ != now && now > 0) {
        history_.rebuild(*trace_scratch_, now - 1);
        last_start_ = trace_start(*trace_scratch_);
        last_start_at_ = now;
    }
    return last_start_;
}

RunOutcome RecordedRun::run_steps(std::uint64_t count, const FastStops* stops) {
    // The monitored fast loop finds breakpoints in the monitor's marks.
    bool breaks = stops != nullptr && stops->breaks != nullptr;
    if (breaks != breaks_marked_) {
        log_.monitor->mark_breaks(breaks ? break_at_.data() : nullptr);
        breaks_marked_ = breaks;
    }
    // Watched values as the run goes on: a change by hand replaces them.
    FastStops local = stops != nullptr ? *stops : FastStops{};
    std::vector<std::uint8_t> values;
    if (judge_ != Judge::NOW) {
        judge_ = Judge::NOW;
        refresh_watches();
    }
    while (count > 0) {
        std::uint64_t from = history_.step();
        RunOutcome outcome{RunEnd::LIMIT, std::nullopt};
        if (from < history_.recorded()) {
            std::uint64_t limit = std::min(count, history_.recorded() - from);
            if (std::optional<std::uint64_t> next = log_.next_after(from))
                limit = std::min(limit, *next - from);
            outcome = history_.run(machine_, io, limit, stops != nullptr ? &local : nullptr);
            if (history_.changed_at(history_.step()) != nullptr && history_.step() > from) {
                // Marks and findings judge the state the instruction left;
                // the run goes on from the change.
                bool fired = outcome.end == RunEnd::BREAKPOINT || !log_.at(history_.step()).empty();
                count -= history_.step() - from;
                if (fired || count == 0) {
                    Replay before(history_, *before_change_, history_.step() - 1);
                    HeadlessIo quiet;
                    bool finished = before.next(quiet).has_value() || before_change_->IR == OP_HLT;
                    judge_ = finished ? Judge::NONE : Judge::BEFORE_CHANGE;
                    if (outcome.end == RunEnd::BREAKPOINT) return outcome;
                    return {fired ? RunEnd::FINDING : RunEnd::LIMIT, std::nullopt};
                }
                refresh_watches();
                if (stops != nullptr && stops->watch_count > 0) {
                    values.resize(stops->watch_count);
                    for (std::size_t i = 0; i < values.size(); ++i)
                        values[i] = machine_.memory[stops->watched[i]];
                    local.values = values.data();
                }
                continue;
            }
        } else {
            std::size_t known = log_.all().size();
            std::uint64_t keys = io.keys;
            // In grains, so that a stack story is kept at least every two;
            // the `in 1` a key came for alone, then on to the next wait.
            std::uint64_t most = std::min(count, STORY_GRAIN);
            bool waits = waits_for_keys;
            if (key_came_ && at_key_wait(machine_)) {
                most = 1;
                waits = false;
            }
            key_came_ = false;
            standing_ = RunEnd::LIMIT;
            outcome = history_.run(machine_, io, most, stops, log_.monitor.get(), waits);
            keep_story();
            log_.note_steps(known, history_.step());
            keys_ += io.keys - keys;
        }
        std::uint64_t ran = history_.step() - from;
        if (outcome.end == RunEnd::HALTED || outcome.end == RunEnd::STOPPED) {
            note_ending(outcome);
            return outcome;
        }
        if (ran > 0 && !log_.at(history_.step()).empty()) return {RunEnd::FINDING, std::nullopt};
        if (outcome.end == RunEnd::KEY_WAIT) {
            standing_ = RunEnd::KEY_WAIT;
            return outcome;
        }
        // The history also ends a run after a finding of a kind not shown.
        if (outcome.end == RunEnd::BREAKPOINT && stops != nullptr &&
            fast_stop_due(machine_.memory, machine_.PC, local)) {
            return outcome;
        }
        count -= ran;
    }
    return {RunEnd::LIMIT, std::nullopt};
}

RunEnd RecordedRun::step_instruction() {
    last_start_ = trace_start(machine_);
    read_count_ = data_reads(machine_, reads_);
    RunOutcome outcome = run_steps(1, nullptr);
    last_start_at_ = outcome.end == RunEnd::KEY_WAIT ? ~std::uint64_t{0} : history_.step();
    if (show_output) show_output(io.port0);
    return outcome.end;
}

bool RecordedRun::stops_run(Mark& m) {
    const Machine& judged = judge_ == Judge::BEFORE_CHANGE ? *before_change_ : machine_;
    if (m.condition && !m.condition->holds(judged)) return false;
    ++m.hits;
    if (!m.stops_at(m.hits)) return false;
    if (!m.logs) return true;
    if (on_log) on_log(m);
    return false;
}

RunEnd RecordedRun::check_after(bool at_breakpoint) {
    const Machine& judged = judge_ == Judge::BEFORE_CHANGE ? *before_change_ : machine_;
    if (judge_ == Judge::NONE) at_breakpoint = false;
    if (watch_count_ > 0 && judge_ != Judge::NONE) {
        // Every watch that fired takes its new value and counts its hit;
        // the first that stops the run names the stop.
        std::optional<RunHit> stopped;
        for (Mark& m : marks_) {
            if (m.kind == MarkKind::RWATCH) {
                if (!fires(m, judged, 0, reads_, read_count_) || !stops_run(m)) continue;
                if (!stopped) stopped = RunHit{m.id, false, judged.memory[m.address]};
                continue;
            }
            if (m.kind != MarkKind::WATCH) continue;
            std::uint16_t old = m.width == 2
                                    ? static_cast<std::uint16_t>(m.last_value | m.last_high << 8)
                                    : m.last_value;
            std::uint16_t now = watched_value(judged, m);
            if (now == old) continue;
            m.last_value = static_cast<std::uint8_t>(now & 0xFF);
            m.last_high = static_cast<std::uint8_t>(now >> 8);
            if (stops_run(m) && !stopped) stopped = RunHit{m.id, false, old};
        }
        read_count_ = 0;
        if (stopped) {
            hit_ = *stopped;
            return RunEnd::WATCHPOINT;
        }
    }
    read_count_ = 0;
    if (at_breakpoint && judged.PC < MAX_MEMORY && break_at_[judged.PC] != 0) {
        for (Mark& m : marks_) {
            bool data = m.kind == MarkKind::WATCH || m.kind == MarkKind::RWATCH;
            if (data || m.address != judged.PC || !stops_run(m)) continue;
            hit_ = {m.id, m.kind == MarkKind::TBREAK, 0};
            if (hit_.temporary) delete_mark(hit_.id);  // m is gone
            return RunEnd::BREAKPOINT;
        }
    }
    return interrupted();
}

RunEnd RecordedRun::run_to_return(int depth) {
    for (std::uint64_t ran = 1;; ++ran) {
        if (progress && ran % HISTORY_GRAIN == 0) progress(history_.step(), 0);
        std::uint8_t op = machine_.memory[machine_.PC % MEMORY_SIZE];
        RunEnd end = step_instruction();
        if (ends_run_forward(end)) return end;
        if (OpcodeTable[op].flow == Flow::CALL) ++depth;
        if (OpcodeTable[op].flow == Flow::RETURN && --depth == 0) return RunEnd::RETURNED;
        RunEnd after = check_after(true);
        if (after != RunEnd::LIMIT) return after;
        if (end == RunEnd::FINDING) return end;
    }
}

std::vector<std::uint16_t> RecordedRun::read_watched() const {
    std::vector<std::uint16_t> read;
    for (const Mark& m : marks_)
        if (m.kind == MarkKind::RWATCH) read.push_back(m.address);
    return read;
}

void RecordedRun::record_ahead(std::uint64_t count) {
    std::uint64_t from = history_.step();
    std::size_t shown = io.port0.size();
    run_steps(count, nullptr);
    go_to(from);
    io.port0.resize(shown);
}

bool RecordedRun::pass_quiet(std::uint64_t limit, const FastStops& stops,
                             std::span<const std::uint16_t> read) {
    std::uint64_t from = history_.step();
    // A finding or a change by hand is met by the run itself.
    std::uint64_t to = std::min(limit, history_.recorded());
    if (std::optional<std::uint64_t> next = log_.next_after(from)) to = std::min(to, *next - 1);
    if (std::optional<std::uint64_t> next = history_.next_change_after(from))
        to = std::min(to, *next - 1);
    std::uint64_t quiet = history_.quiet_until(from, to, stops, read);
    if (quiet <= from) return false;
    go_to(quiet);
    return true;
}

std::optional<std::uint64_t> RecordedRun::first_read(std::uint64_t from, std::uint64_t to,
                                                     std::span<const std::uint16_t> read) {
    std::uint16_t reads[4];
    unsigned read_count = 0;
    // A grain at a time, passing over those whose summaries show no read.
    for (std::uint64_t at = from; at < to;) {
        // At the interrupt: the next instruction alone, after which the run
        // ends (stepping one alone is right whatever it reads).
        if (interrupt != nullptr && *interrupt != 0) return at + 1;
        std::uint64_t end = std::min(to, at + HISTORY_GRAIN);
        if (std::none_of(read.begin(), read.end(),
                         [&](std::uint16_t a) { return history_.may_read(at, end, a); })) {
            at = end;
            continue;
        }
        Replay replay(history_, *scratch_, at);
        std::optional<std::uint64_t> found;
        replay.forward(
            end, [&](const Machine& state) { read_count = data_reads(state, reads); },
            [&](const Machine&) {
                for (unsigned k = 0; k < read_count; ++k) {
                    if (std::find(read.begin(), read.end(), reads[k]) != read.end()) {
                        found = replay.step();
                        return false;
                    }
                }
                return true;
            });
        if (found) return found;
        at = end;
    }
    return std::nullopt;
}

RunEnd RecordedRun::run_forward(std::uint64_t most, bool marks) {
    // Read watches: the fast loops cannot see reads, so new ground is
    // recorded ahead without the marks, and only the instructions that
    // read a watched byte run alone.
    std::vector<std::uint16_t> read = marks ? read_watched() : std::vector<std::uint16_t>{};
    std::uint64_t left = most;
    for (;;) {
        std::uint64_t stretch = most == 0 ? RUN_STRETCH : std::min(left, RUN_STRETCH);
        std::uint64_t from = history_.step();
        // Rebuilt each stretch: a watch that fired has a new value.
        Watched watched(marks_, break_at_.data());
        if (!read.empty() && from == history_.recorded()) record_ahead(stretch);
        RunOutcome outcome{RunEnd::LIMIT, std::nullopt};
        std::optional<std::uint64_t> reader;
        if (marks && pass_quiet(from + stretch, watched.stops, read)) {
            // Whole stretches where no mark fires, passed over at once.
        } else if (!read.empty() && from == history_.recorded()) {
            reader = from + 1;  // what recording ahead could not pass
        } else {
            if (!read.empty())
                reader = first_read(from, std::min(history_.recorded(), from + stretch), read);
            std::uint64_t count = reader ? *reader - 1 - from : stretch;
            if (count > 0) outcome = run_steps(count, marks ? &watched.stops : nullptr);
        }
        if (show_output) show_output(io.port0);
        if (progress) progress(history_.step(), 0);
        RunEnd end = ends_run_forward(outcome.end) ? outcome.end
                     : marks                       ? check_after(true)
                                                   : interrupted();
        if (end == RunEnd::LIMIT && outcome.end == RunEnd::FINDING) end = RunEnd::FINDING;
        if (end != RunEnd::LIMIT) return end;
        if (reader && history_.step() + 1 == *reader) {
            // The instruction that reads, alone, so that the watch judges its reads.
            RunEnd stepped = step_instruction();
            if (ends_run_forward(stepped)) return stepped;
            if (RunEnd after = check_after(true); after != RunEnd::LIMIT) return after;
            if (stepped == RunEnd::FINDING) return stepped;
        }
        if (most != 0 && (left -= std::min(left, history_.step() - from)) == 0) return end;
    }
}

RunEnd RecordedRun::interrupted() {
    if (interrupt == nullptr || *interrupt == 0) return RunEnd::LIMIT;
    *interrupt = 0;
    return RunEnd::INTERRUPTED;
}

RunEnd RecordedRun::run_to(std::uint64_t target) {
    go_to(target);
    std::size_t shown = io.port0.size();
    // Marks aside: the watches take the values where it ends.
    struct Refresh {
        RecordedRun& run;
        ~Refresh() { run.refresh_watches(); }
    } refresh{*this};
    while (history_.step() < target) {
        std::uint64_t stretch = std::min(target - history_.step(), RUN_STRETCH);
        RunOutcome outcome = run_steps(stretch, nullptr);
        io.port0.resize(shown);
        if (progress) progress(history_.step(), target);
        if (ends_run_forward(outcome.end)) return outcome.end;
        if (RunEnd end = interrupted(); end != RunEnd::LIMIT) return end;
    }
    return RunEnd::LIMIT;
}

void RecordedRun::go_to(std::uint64_t target) {
    judge_ = Judge::NOW;
    key_came_ = false;
    history_.go_to(machine_, target);
    note_ending(history_.standing());
    io.port0.resize(std::min<std::size_t>(io.port0.size(), history_.outputs()));
    refresh_watches();
}

std::optional<std::uint64_t> RecordedRun::last_break_before() {
    std::uint64_t now = history_.step();
    hit_ = {};
    if (now <= 1) return std::nullopt;
    std::optional<std::uint64_t> found = log_.last_before(now);
    // Plain marks all at once on the fast path, each other one on its own.
    std::vector<Mark> plain;
    std::vector<std::uint8_t> breaks(MAX_MEMORY);
    for (const Mark& m : marks_) {
        if (!m.plain() || m.logs) continue;
        plain.push_back(m);
        if (m.kind != MarkKind::WATCH) breaks[m.address] = 1;
    }
    Watched watched(plain, breaks.data());
    search_interrupted_ = false;
    std::optional<std::uint64_t> at = search(now - 1, watched.stops);
    if (search_interrupted_) return std::nullopt;
    // Each counted mark stops only at some of its hits, numbered from the
    // start of the run (where a run from the start would stop): `from` is
    // its first such step, `only` its last before now.
    std::vector<std::uint64_t> from(marks_.size(), 1);
    std::vector<std::optional<std::uint64_t>> only(marks_.size());
    for (std::size_t i = 0; i < marks_.size(); ++i) {
        const Mark& m = marks_[i];
        if (m.plain() || m.logs) continue;
        std::uint64_t after = at.value_or(0);
        if (m.counted()) {
            // Hits before the (ignore+1)th from the start never stop a run.
            std::optional<std::uint64_t> first = scan_mark(m, 0, now - 1, true, m.ignore + 1);
            from[i] = first.value_or(now);
            if (!first) continue;
            if (m.once || m.every > 1) {
                // Then every `every`th hit on, or none after the first.
                std::optional<std::uint64_t> last = first;
                while (!m.once && last) {
                    std::optional<std::uint64_t> next = scan_mark(m, *last, now - 1, true, m.every);
                    if (!next) break;
                    last = next;
                }
                if (search_interrupted_) return std::nullopt;
                only[i] = last;
                if (!at || *last > *at) at = last;
                continue;
            }
            after = std::max(after, *first - 1);
        }
        std::optional<std::uint64_t> t;
        if (m.ignore == 0 && m.kind != MarkKind::RWATCH) {
            // A condition alone: tested only where the mark fires, which the
            // history finds as fast as a plain mark's.
            std::vector<std::uint8_t> own(MAX_MEMORY);
            if (m.kind != MarkKind::WATCH) own[m.address] = 1;
            Watched single({m}, own.data());
            t = search(now - 1, single.stops, after,
                       [&m](const Machine& state) { return m.condition->holds(state); });
        } else {
            t = scan_mark(m, after, now - 1, false);
        }
        if (t) at = t;
        if (search_interrupted_) return std::nullopt;
    }
    if (!at || (found && *at <= *found)) return found;
    // The mark a run forward names there: the watches in order, then the
    // breakpoints.
    Replay replay(history_, *scratch_, *at - 1);
    auto before = std::make_unique<Machine>(replay.settle());
    std::uint16_t reads[4];
    unsigned read_count = data_reads(*before, reads);
    HeadlessIo quiet;
    replay.next(quiet);
    for (int pass = 0; pass < 2 && hit_.id == 0; ++pass) {
        for (std::size_t i = 0; i < marks_.size(); ++i) {
            const Mark& m = marks_[i];
            bool data = m.kind == MarkKind::WATCH || m.kind == MarkKind::RWATCH;
            if (m.logs || data != (pass == 0) || *at < from[i] || (only[i] && *at != *only[i]))
                continue;
            std::uint16_t value = watched_value(*before, m);
            if (!fires(m, *scratch_, value, reads, read_count)) continue;
            if (m.condition && !m.condition->holds(*scratch_)) continue;
            hit_ = {m.id, m.kind == MarkKind::TBREAK,
                    m.kind == MarkKind::RWATCH ? watched_value(*scratch_, m) : value};
            break;
        }
    }
    return at;
}

MotionReport RecordedRun::reverse_continue() {
    std::optional<std::uint64_t> found = last_break_before();
    MotionReport r;
    r.step = history_.step();
    if (search_interrupted_) {
        r.end = RunEnd::INTERRUPTED;
        return r;
    }
    // The stop a run forward makes there, named as that run names it.
    RunEnd end = RunEnd::FINDING;
    if (const Mark* mark = find_mark(hit_.id)) {
        bool data = mark->kind == MarkKind::WATCH || mark->kind == MarkKind::RWATCH;
        end = data ? RunEnd::WATCHPOINT : RunEnd::BREAKPOINT;
    }
    go_to(found.value_or(0));
    r.step = history_.step();
    r.at_start = !found;
    r.end = found ? end : RunEnd::LIMIT;
    return r;
}

MotionReport RecordedRun::step_motion(std::uint64_t n, bool over_calls, const StepVisitor& seen) {
    MotionReport r;
    for (std::uint64_t i = 0; i < n; ++i) {
        const OpcodeEntry& row = next_instruction(machine_);
        unsigned depth = stack_depth(machine_.SP);
        RunEnd end = step_instruction();
        if (end == RunEnd::STOPPED || end == RunEnd::KEY_WAIT) return ending(end);
        if (seen) seen({});
        if (end == RunEnd::HALTED) return ending(end);
        if (over_calls && row.flow == Flow::CALL && end != RunEnd::FINDING) {
            // A mark where the call lands stops it before its subroutine runs.
            if (RunEnd at = check_after(true); at != RunEnd::LIMIT) return ending(at);
            end = run_to_return(1);
            if (end != RunEnd::RETURNED) {
                r.end = end;
                r.ran_unseen = true;
                return r;
            }
            if (seen) seen({true, depth});
            end = log_.at(history_.step()).empty() ? RunEnd::LIMIT : RunEnd::FINDING;
        }
        if (RunEnd after = check_after(i + 1 < n); after != RunEnd::LIMIT) return ending(after);
        if (end == RunEnd::FINDING) return ending(end);
    }
    return r;
}

MotionReport RecordedRun::back_motion(const MotionOrder& order) {
    MotionReport r;
    std::uint64_t at = history_.step();
    switch (order.motion) {
        case Motion::BACK:
            if (at == 0) return refusal(RunEnd::LIMIT, true);
            r.at_start = order.count > at;
            go_to(r.at_start ? 0 : at - order.count);
            break;
        case Motion::BACK_NEXT:
            if (at == 0) return refusal(RunEnd::LIMIT, true);
            for (std::uint64_t i = 0; i < order.count && (interrupt == nullptr || *interrupt == 0);
                 ++i) {
                std::optional<std::uint64_t> target = previous_step_over_calls();
                if (search_interrupted_) return ending(RunEnd::INTERRUPTED);
                if (!target) break;
                go_to(*target);
            }
            break;
        case Motion::BACK_FINISH: {
            std::optional<std::uint64_t> target = call_step();
            if (search_interrupted_) return ending(RunEnd::INTERRUPTED);
            if (!target) return refusal(RunEnd::LIMIT, false);
            go_to(*target);
            break;
        }
        default: return reverse_continue();
    }
    return r;
}

MotionReport RecordedRun::move(const MotionOrder& order, const StepVisitor& seen) {
    std::uint64_t from = history_.step();
    bool forward = order.motion < Motion::TO_STEP;
    MotionReport r;
    if (forward && !can_go_on(standing_)) {
        r = refusal(standing_, false);
    } else {
        switch (order.motion) {
            case Motion::STEP:
            case Motion::NEXT:
                r = step_motion(order.count, order.motion == Motion::NEXT, seen);
                break;
            case Motion::FINISH: {
                std::optional<OpenCall> call = innermost_call();
                if (call) r.depth_before_call = stack_depth(call->sp_after) - 2u;
                r.end = run_to_return(1);
                r.ran_unseen = true;
                break;
            }
            case Motion::CONTINUE:
                r.end = run_forward(order.count, order.marks);
                r.ran_unseen = true;
                break;
            case Motion::TO_STEP:
                if (order.count <= history_.recorded()) {
                    go_to(order.count);
                } else {
                    r.end = run_to(order.count);
                }
                if (history_.step() > from)
                    r.findings_passed = log_.count_between(from, history_.step() - 1);
                break;
            default: r = back_motion(order); break;
        }
    }
    r.from = from;
    r.step = history_.step();
    report_ = r;
    return r;
}

void RecordedRun::pause() {
    if (can_go_on(standing_)) {
        report_ = ending(RunEnd::INTERRUPTED);
        report_.step = report_.from = history_.step();
    }
}

std::optional<std::uint64_t> RecordedRun::scan_mark(const Mark& m, std::uint64_t after,
                                                    std::uint64_t last, bool first,
                                                    std::uint64_t count) {
    // Stretches of a grain, from the last back (or the first on).
    constexpr std::uint64_t STRETCH = HISTORY_GRAIN;
    std::uint64_t stretches = (last - std::min(after, last) + STRETCH - 1) / STRETCH;
    for (std::uint64_t k = 0; k < stretches; ++k) {
        if (interrupt != nullptr && *interrupt != 0) {
            search_interrupted_ = true;
            *interrupt = 0;
            return std::nullopt;
        }
        std::uint64_t index = first ? k : stretches - 1 - k;
        std::uint64_t from = after + index * STRETCH;
        std::uint64_t to = std::min(last, from + STRETCH);
        if (progress) progress(k * STRETCH, last - std::min(after, last));
        // A read watch passes over the stretches that cannot have read it.
        if (m.kind == MarkKind::RWATCH && !history_.may_read(from, to, m.address) &&
            (m.width != 2 || !history_.may_read(from, to, (m.address + 1u) % MEMORY_SIZE)))
            continue;
        Replay replay(history_, *scratch_, from);
        std::optional<std::uint64_t> found;
        std::uint16_t reads[4];
        unsigned read_count = 0;
        std::uint16_t value = 0;
        bool counted_out = false;
        replay.forward(
            to,
            [&](const Machine& state) {
                read_count = data_reads(state, reads);
                value = watched_value(state, m);
            },
            [&](const Machine& state) {
                if (!fires(m, state, value, reads, read_count)) return true;
                if (m.condition && !m.condition->holds(state)) return true;
                found = replay.step();
                counted_out = first && --count == 0;
                return !counted_out;
            });
        if (counted_out || (!first && found)) return found;
    }
    return std::nullopt;
}

std::unique_ptr<FindingMonitor> RecordedRun::monitor_here(FindingKinds kinds) {
    auto monitor = std::make_unique<FindingMonitor>(loaded_, code_, kinds);
    monitor->set_blocks(blocks_);
    open_case_call(*monitor);
    Replay replay(history_, *scratch_, 0, *start_);
    replay.forward_monitored(history_.step(), *monitor,
                             [&](const Machine& reached, const Machine& changed) {
                                 mark_changed(*monitor, reached, changed);
                             });
    return monitor;
}

void RecordedRun::mark_changed(FindingMonitor& monitor, const Machine& reached,
                               const Machine& changed) {
    for (unsigned a = 0; a < MEMORY_SIZE; ++a) {
        if (reached.memory[a] != changed.memory[a]) monitor.mark_written(a, 1);
    }
}

std::uint64_t RecordedRun::change_state(const Machine& changed) {
    judge_ = Judge::NOW;
    std::uint64_t now = history_.step();
    std::uint64_t forgotten = history_.recorded() - now;
    if (forgotten > 0) {
        // The monitor stands at the furthest step: one that has looked at
        // the run up to here takes its place, with the findings made so far.
        log_.monitor = monitor_here(looked_for_);
        while (!log_.steps.empty() && log_.steps.back() > now) log_.steps.pop_back();
        log_.steps.resize(log_.monitor->findings().size(), now);
        breaks_marked_ = false;
    }
    mark_changed(*log_.monitor, machine_, changed);
    machine_ = changed;
    history_.rewrite(machine_);
    standing_ = RunEnd::LIMIT;
    key_came_ = false;
    io.port0.resize(std::min<std::size_t>(io.port0.size(), history_.outputs()));
    refresh_watches();
    // Stack stories from here on follow the changed state.
    keep_story(true);
    report_ = {};
    report_.step = report_.from = now;
    last_start_at_ = ~std::uint64_t{0};
    return forgotten;
}

std::optional<std::uint64_t> RecordedRun::call_step() {
    std::optional<OpenCall> call = innermost_call();
    if (!call) return std::nullopt;
    // The call is the instruction before its return address, run with SP
    // two above where it left it.
    std::vector<std::uint8_t> breaks(MAX_MEMORY);
    unsigned site = call->return_address - instruction_length(OP_CALL);
    if (site >= MAX_MEMORY) return std::nullopt;
    breaks[site] = 1;
    FastStops stops{breaks.data(), nullptr, nullptr, 0};
    std::uint64_t last = history_.step();
    search_interrupted_ = false;
    while (last > 0) {
        std::optional<std::uint64_t> at = search(last, stops);
        if (!at) break;
        history_.rebuild(*scratch_, *at);
        if (stack_depth(scratch_->SP) + 2 == stack_depth(call->sp_after)) return at;
        last = *at - 1;
    }
    // The search looks after steps from 1 on: the start may be the call.
    if (search_interrupted_) return std::nullopt;
    history_.rebuild(*scratch_, 0);
    if (scratch_->PC == site && stack_depth(scratch_->SP) + 2 == stack_depth(call->sp_after))
        return 0;
    return std::nullopt;
}

std::optional<std::uint64_t> RecordedRun::previous_step_over_calls() {
    std::uint64_t now = history_.step();
    if (now == 0) return std::nullopt;
    history_.rebuild(*scratch_, now - 1);
    if (OpcodeTable[scratch_->memory[scratch_->PC % MEMORY_SIZE]].flow != Flow::RETURN)
        return now - 1;
    // A ret: back over the whole call it closed, if it closed one.
    std::uint16_t returned_to = machine_.PC;
    go_to(now - 1);
    std::optional<OpenCall> call = innermost_call();
    std::optional<std::uint64_t> before_call;
    if (call && call->return_address == returned_to) before_call = call_step();
    go_to(now);
    return before_call.value_or(now - 1);
}

std::optional<std::uint64_t> RecordedRun::last_write(std::uint16_t address) {
    std::uint8_t value = 0;
    FastStops stops{nullptr, &address, &value, 1};
    search_interrupted_ = false;
    return search(history_.step(), stops);
}

namespace {

// Whether the instruction that just ran (its row, its operand word and the
// word stored there before it ran, and the machine after it) wrote the byte
// at address.
bool wrote_byte(const OpcodeEntry& row, unsigned operand, unsigned pointer, const Machine& after,
                unsigned address) {
    unsigned target = row.stores_through_pointer() ? pointer : operand;
    if (address >= target && address < target + row.store_width()) return true;
    // The bytes it pushed are the top ones after it.
    unsigned top = after.SP == 0 ? STACK_TOP + 1u : after.SP + 1u;
    return row.pushes != 0 && address >= top && address < top + row.pushes;
}

}  // namespace

std::optional<std::uint64_t> RecordedRun::last_same_write(std::uint16_t address,
                                                          std::uint64_t changed) {
    std::uint64_t now = history_.step();
    if (now <= changed || now - changed > SAME_WRITE_REACH) return std::nullopt;
    Replay replay(history_, *scratch_, changed);
    std::optional<std::uint64_t> found;
    const OpcodeEntry* row = nullptr;
    unsigned operand = 0, pointer = 0;
    replay.forward(
        now,
        [&](const Machine& m) {
            row = &OpcodeTable[m.memory[m.PC % MEMORY_SIZE]];
            operand = m.PC + 2u < MEMORY_SIZE ? load_word(m.memory, m.PC + 1u) : 0;
            pointer = operand + 1u < MEMORY_SIZE ? load_word(m.memory, operand) : 0;
        },
        [&](const Machine& m) {
            if (wrote_byte(*row, operand, pointer, m, address)) found = replay.step();
            return true;
        });
    return found;
}

std::optional<std::uint64_t> RecordedRun::search(std::uint64_t last, const FastStops& stops,
                                                 std::uint64_t after,
                                                 const std::function<bool(const Machine&)>& holds) {
    SearchControl control{interrupt, progress, false};
    std::optional<std::uint64_t> found =
        history_.last_stop(*scratch_, last, stops, &control, after, holds);
    if (control.interrupted) {
        search_interrupted_ = true;
        *interrupt = 0;
    }
    return found;
}

void RecordedRun::count_marks() {
    std::fill(break_at_.begin(), break_at_.end(), 0);
    watch_count_ = 0;
    for (const Mark& m : marks_) {
        if (m.kind == MarkKind::WATCH || m.kind == MarkKind::RWATCH) {
            ++watch_count_;
        } else {
            break_at_[m.address] = 1;
        }
    }
    if (breaks_marked_) log_.monitor->mark_breaks(break_at_.data());
}

int RecordedRun::add_mark(MarkKind kind, std::uint16_t address, std::optional<Condition> condition,
                          unsigned width) {
    Mark m{};
    m.id = next_id_++;
    m.kind = kind;
    m.address = address;
    m.condition = std::move(condition);
    m.width = static_cast<std::uint8_t>(width == 2 ? 2 : 1);
    std::uint16_t now = watched_value(machine_, m);
    m.last_value = static_cast<std::uint8_t>(now & 0xFF);
    m.last_high = static_cast<std::uint8_t>(now >> 8);
    marks_.push_back(m);
    count_marks();
    return m.id;
}

Mark* RecordedRun::find_mark(int id) {
    auto found =
        std::find_if(marks_.begin(), marks_.end(), [id](const Mark& m) { return m.id == id; });
    return found == marks_.end() ? nullptr : &*found;
}

bool RecordedRun::delete_mark(int id) {
    Mark* m = find_mark(id);
    if (m == nullptr) return false;
    marks_.erase(marks_.begin() + (m - marks_.data()));
    count_marks();
    return true;
}

void RecordedRun::clear_marks() {
    marks_.clear();
    count_marks();
}

void RecordedRun::refresh_watches() {
    for (Mark& m : marks_) {
        std::uint16_t now = watched_value(machine_, m);
        m.last_value = static_cast<std::uint8_t>(now & 0xFF);
        m.last_high = static_cast<std::uint8_t>(now >> 8);
    }
}
