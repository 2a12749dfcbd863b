#include "machine/recorded_run.hpp"

#include <algorithm>

namespace {

// Instructions a run goes between its tests of the interrupt.
constexpr std::uint64_t RUN_STRETCH = std::uint64_t{1} << 22;

// The marks as the fast loop tests them.
struct Watched {
    std::vector<std::uint16_t> addresses;
    std::vector<std::uint8_t> values;
    FastStops stops;

    Watched(const std::vector<Mark>& marks, const std::uint8_t* breaks) {
        for (const Mark& m : marks) {
            if (m.kind != MarkKind::WATCH) continue;
            addresses.push_back(m.address);
            values.push_back(m.last_value);
        }
        stops = {breaks, addresses.data(), values.data(), addresses.size()};
    }
};

}  // namespace

RecordedRun::RecordedRun(std::size_t history_budget) : history_(history_budget) {}

void RecordedRun::load(const Machine& start, const WrittenSet& loaded, const WrittenSet& code,
                       FindingKinds looked_for) {
    *start_ = start;
    loaded_ = loaded;
    code_ = code;
    looked_for_ = looked_for;
    restart();
}

void RecordedRun::restart() {
    machine_ = *start_;
    history_.begin(machine_);
    FindingKinds shown = log_.shown;
    log_.begin(loaded_, code_, looked_for_);
    log_.shown = shown;
    breaks_marked_ = false;
    standing_ = RunEnd::LIMIT;
    keys_ = 0;
    io.port0.clear();
    refresh_watches();
}

void RecordedRun::note_ending(const RunOutcome& outcome) {
    bool ended = outcome.end == RunEnd::HALTED || outcome.end == RunEnd::STOPPED;
    standing_ = ended ? outcome.end : RunEnd::LIMIT;
    if (outcome.stop) stop_ = *outcome.stop;
}

void RecordedRun::note_last_instruction() {
    if (history_.step() == 0) return;
    history_.rebuild(*scratch_, history_.step() - 1);
    last_start_ = trace_start(*scratch_);
}

RunOutcome RecordedRun::run_steps(std::uint64_t count, const FastStops* stops) {
    // The monitored fast loop finds breakpoints in the monitor's marks.
    bool breaks = stops != nullptr && stops->breaks != nullptr;
    if (breaks != breaks_marked_) {
        log_.monitor->mark_breaks(breaks ? break_at_.data() : nullptr);
        breaks_marked_ = breaks;
    }
    while (count > 0) {
        std::uint64_t from = history_.step();
        RunOutcome outcome{RunEnd::LIMIT, std::nullopt};
        if (from < history_.recorded()) {
            std::uint64_t limit = std::min(count, history_.recorded() - from);
            if (std::optional<std::uint64_t> next = log_.next_after(from))
                limit = std::min(limit, *next - from);
            outcome = history_.run(machine_, io, limit, stops);
        } else {
            std::size_t known = log_.all().size();
            std::uint64_t keys = io.keys;
            outcome = history_.run(machine_, io, count, stops, log_.monitor.get());
            log_.note_steps(known, history_.step());
            keys_ += io.keys - keys;
        }
        std::uint64_t ran = history_.step() - from;
        if (outcome.end == RunEnd::HALTED || outcome.end == RunEnd::STOPPED) {
            note_ending(outcome);
            return outcome;
        }
        if (ran > 0 && !log_.at(history_.step()).empty()) return {RunEnd::FINDING, std::nullopt};
        // The history also ends a run after a finding of a kind not shown.
        if (outcome.end == RunEnd::BREAKPOINT && stops != nullptr &&
            fast_stop_due(machine_.memory, machine_.PC, *stops)) {
            return outcome;
        }
        count -= ran;
    }
    return {RunEnd::LIMIT, std::nullopt};
}

RunEnd RecordedRun::step_instruction() {
    last_start_ = trace_start(machine_);
    RunOutcome outcome = run_steps(1, nullptr);
    if (show_output) show_output(io.port0);
    return outcome.end;
}

bool RecordedRun::stops_run(Mark& m) {
    ++m.hits;
    if (m.hits <= m.ignore) return false;
    return m.condition.empty() || !condition_holds || condition_holds(m, machine_);
}

RunEnd RecordedRun::check_after(bool at_breakpoint) {
    if (watch_count_ > 0) {
        for (Mark& m : marks_) {
            if (m.kind != MarkKind::WATCH || machine_.memory[m.address] == m.last_value) continue;
            std::uint8_t old = m.last_value;
            m.last_value = machine_.memory[m.address];
            if (!stops_run(m)) continue;
            hit_ = {m.id, false, old};
            return RunEnd::WATCHPOINT;
        }
    }
    if (at_breakpoint && machine_.PC < MAX_MEMORY && break_at_[machine_.PC] != 0) {
        for (Mark& m : marks_) {
            if (m.kind == MarkKind::WATCH || m.address != machine_.PC || !stops_run(m)) continue;
            hit_ = {m.id, m.kind == MarkKind::TBREAK, 0};
            if (hit_.temporary) delete_mark(hit_.id);  // m is gone
            return RunEnd::BREAKPOINT;
        }
    }
    if (interrupt != nullptr && *interrupt != 0) {
        *interrupt = 0;
        return RunEnd::INTERRUPTED;
    }
    return RunEnd::LIMIT;
}

RunEnd RecordedRun::run_to_return(int depth) {
    for (;;) {
        std::uint8_t op = machine_.memory[machine_.PC];
        RunEnd end = step_instruction();
        if (end == RunEnd::HALTED || end == RunEnd::STOPPED) return end;
        if (OpcodeTable[op].flow == Flow::CALL) ++depth;
        if (OpcodeTable[op].flow == Flow::RETURN && --depth == 0) return RunEnd::RETURNED;
        RunEnd after = check_after(true);
        if (after != RunEnd::LIMIT) return after;
        if (end == RunEnd::FINDING) return end;
    }
}

RunEnd RecordedRun::run_forward() {
    for (;;) {
        // Rebuilt each stretch: a watch that fired has a new value.
        Watched watched(marks_, break_at_.data());
        RunOutcome outcome = run_steps(RUN_STRETCH, &watched.stops);
        if (show_output) show_output(io.port0);
        if (progress) progress(history_.step(), 0);
        RunEnd end = outcome.end == RunEnd::HALTED || outcome.end == RunEnd::STOPPED
                         ? outcome.end
                         : check_after(true);
        if (end == RunEnd::LIMIT && outcome.end == RunEnd::FINDING) end = RunEnd::FINDING;
        if (end != RunEnd::LIMIT) {
            note_last_instruction();
            return end;
        }
    }
}

RunEnd RecordedRun::run_to(std::uint64_t target) {
    go_to(target);
    std::size_t shown = io.port0.size();
    while (history_.step() < target) {
        std::uint64_t stretch = std::min(target - history_.step(), RUN_STRETCH);
        RunOutcome outcome = run_steps(stretch, nullptr);
        io.port0.resize(shown);
        if (progress) progress(history_.step(), target);
        if (outcome.end == RunEnd::HALTED || outcome.end == RunEnd::STOPPED) {
            note_last_instruction();
            return outcome.end;
        }
        if (interrupt != nullptr && *interrupt != 0) {
            *interrupt = 0;
            return RunEnd::INTERRUPTED;
        }
    }
    return RunEnd::LIMIT;
}

void RecordedRun::go_to(std::uint64_t target) {
    history_.go_to(machine_, target);
    note_ending(history_.standing());
    io.port0.resize(std::min<std::size_t>(io.port0.size(), history_.outputs()));
    refresh_watches();
}

std::optional<std::uint64_t> RecordedRun::last_break_before() {
    std::uint64_t now = history_.step();
    if (now <= 1) return std::nullopt;
    std::optional<std::uint64_t> found = log_.last_before(now);
    Watched watched(marks_, break_at_.data());
    search_interrupted_ = false;
    std::optional<std::uint64_t> at = search(now - 1, watched.stops);
    if (search_interrupted_) return std::nullopt;
    if (at && (!found || *at > *found)) found = at;
    return found;
}

std::unique_ptr<FindingMonitor> RecordedRun::monitor_here(FindingKinds kinds) {
    auto monitor = std::make_unique<FindingMonitor>(loaded_, code_, kinds);
    *scratch_ = *start_;
    HeadlessIo quiet;
    std::uint64_t at = 0;
    auto changed_by_hand = std::make_unique<Machine>();
    for (std::uint64_t changed : history_.rewritten_steps()) {
        if (changed > history_.step()) break;
        run_headless(*scratch_, quiet, changed - at, *monitor);
        history_.rebuild(*changed_by_hand, changed);
        for (unsigned a = 0; a < MEMORY_SIZE; ++a) {
            if (scratch_->memory[a] != changed_by_hand->memory[a]) monitor->mark_written(a, 1);
        }
        *scratch_ = *changed_by_hand;
        at = changed;
    }
    run_headless(*scratch_, quiet, history_.step() - at, *monitor);
    return monitor;
}

std::optional<OpenCall> RecordedRun::innermost_call() {
    if (history_.step() == history_.recorded()) return log_.monitor->innermost_call();
    // The monitor stands at the furthest step: a fresh one follows the run
    // again from the start up to here.
    return monitor_here(ALL_FINDING_KINDS)->innermost_call();
}

std::vector<OpenCall> RecordedRun::open_calls() {
    auto list = [](const FindingMonitor& m) {
        std::span<const OpenCall> calls = m.open_calls();
        return std::vector<OpenCall>(calls.begin(), calls.end());
    };
    if (history_.step() == history_.recorded()) return list(*log_.monitor);
    return list(*monitor_here(ALL_FINDING_KINDS));
}

std::uint64_t RecordedRun::change_state(const Machine& changed) {
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
    for (unsigned a = 0; a < MEMORY_SIZE; ++a) {
        if (machine_.memory[a] != changed.memory[a]) log_.monitor->mark_written(a, 1);
    }
    machine_ = changed;
    history_.rewrite(machine_);
    standing_ = RunEnd::LIMIT;
    io.port0.resize(std::min<std::size_t>(io.port0.size(), history_.outputs()));
    refresh_watches();
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
    return std::nullopt;
}

std::optional<std::uint64_t> RecordedRun::previous_step_over_calls() {
    std::uint64_t now = history_.step();
    if (now == 0) return std::nullopt;
    history_.rebuild(*scratch_, now - 1);
    if (OpcodeTable[scratch_->memory[scratch_->PC]].flow != Flow::RETURN) return now - 1;
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
    unsigned width = row.store == Store::OPERAND_WORD || row.store == Store::POINTED_WORD ? 2 : 1;
    unsigned target =
        row.store == Store::OPERAND_BYTE || row.store == Store::OPERAND_WORD ? operand : pointer;
    if (row.store != Store::NONE && row.store != Store::PORT && address >= target &&
        address < target + width) {
        return true;
    }
    // The bytes it pushed are the top ones after it.
    unsigned top = after.SP == 0 ? STACK_TOP + 1u : after.SP + 1u;
    return row.pushes != 0 && address >= top && address < top + row.pushes;
}

}  // namespace

std::optional<std::uint64_t> RecordedRun::last_same_write(std::uint16_t address,
                                                          std::uint64_t changed) {
    std::uint64_t now = history_.step();
    if (now <= changed || now - changed > SAME_WRITE_REACH) return std::nullopt;
    history_.rebuild(*scratch_, changed);
    HeadlessIo quiet;
    std::optional<std::uint64_t> found;
    for (std::uint64_t t = changed + 1; t <= now; ++t) {
        Machine& m = *scratch_;
        const OpcodeEntry& row = OpcodeTable[m.memory[m.PC]];
        unsigned operand = m.PC + 2u < MEMORY_SIZE ? load_word(m.memory, m.PC + 1u) : 0;
        unsigned pointer = operand + 1u < MEMORY_SIZE ? load_word(m.memory, operand) : 0;
        if (step_headless(m, quiet)) break;
        quiet.port0.clear();
        if (wrote_byte(row, operand, pointer, m, address)) found = t;
    }
    return found;
}

std::optional<std::uint64_t> RecordedRun::search(std::uint64_t last, const FastStops& stops) {
    SearchControl control{interrupt, progress, false};
    std::optional<std::uint64_t> found = history_.last_stop(*scratch_, last, stops, &control);
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
        if (m.kind == MarkKind::WATCH) {
            ++watch_count_;
        } else {
            break_at_[m.address] = 1;
        }
    }
    if (breaks_marked_) log_.monitor->mark_breaks(break_at_.data());
}

int RecordedRun::add_mark(MarkKind kind, std::uint16_t address, std::string condition) {
    Mark m{next_id_++, kind, address, machine_.memory[address], std::move(condition)};
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
        if (m.kind == MarkKind::WATCH) m.last_value = machine_.memory[m.address];
    }
}
