// A model test of the recorded run: random command sequences (step, back,
// goto, continue, finish, reverse continue with breakpoints and watches, set
// of bytes, SP and PC, run) drive a RecordedRun, and after every command the
// position, the state, the port 0 count, the findings, the open calls and
// the trace line of the last step must equal those of a plain step-by-step
// run from the start that applies the same changes at the same steps.
// Shared by the test suite (a few hundred sequences) and the fuzz target.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "machine/findings.hpp"
#include "machine/headless.hpp"
#include "machine/recorded_run.hpp"
#include "machine/trace.hpp"

namespace history_model {

// How far ahead a continue or finish may go: beyond, the command is passed
// over (a program that never stops).
constexpr std::uint64_t REACH = 20000;
constexpr unsigned WATCH_SPOTS = 2;

struct Change {
    std::uint64_t step;
    int what;  // 0 a byte, 1 SP, 2 PC
    std::uint16_t where;
    std::uint16_t value;
};

// What step t did, judged on the state its instruction left (before a
// change made at t): PC there, the candidate watched bytes before and
// after, the flow of the instruction, and whether the run ended with it.
struct Record {
    std::uint16_t pc;
    std::uint8_t before[WATCH_SPOTS];
    std::uint8_t after[WATCH_SPOTS];
    Flow flow;
    bool finished;  // hlt ran or the machine stopped: no mark is judged
    bool ended;     // and no change made there goes on from it
};

// The plain run: step() one instruction at a time with a finding monitor,
// the changes applied at their steps.
class Reference {
public:
    Reference(const Machine& start, const WrittenSet& loaded, const WrittenSet& code,
              const std::uint16_t (&spots)[WATCH_SPOTS])
        : start_(std::make_unique<Machine>(start)), loaded_(loaded), code_(code), spots_(spots) {}

    void forget(const std::vector<Change>& changes) {
        changes_ = changes;
        records.clear();
        at_ = ~std::uint64_t{0};
    }
    // The run at step t (or at its end, when it ended before): returns the
    // step reached.
    std::uint64_t to(std::uint64_t t) {
        if (at_ > t) restart();
        while (at_ < t && !over_) advance();
        return at_;
    }
    // Records up to step t (fewer when the run ends first).
    void record_to(std::uint64_t t) {
        if (records.size() >= t || (!records.empty() && records.back().ended)) return;
        to(records.size());
        while (records.size() < t && !over_) advance();
    }
    const Machine& machine() const { return *m_; }
    std::uint64_t outputs() const { return outputs_; }
    const FindingMonitor& monitor() const { return *monitor_; }
    std::vector<Record> records;  // records[t - 1] for step t

private:
    void restart() {
        m_ = std::make_unique<Machine>(*start_);
        monitor_ = std::make_unique<FindingMonitor>(loaded_, code_, ALL_FINDING_KINDS);
        at_ = 0;
        outputs_ = 0;
        over_ = false;
        apply(0);
    }
    void apply(std::uint64_t t) {
        for (const Change& c : changes_) {
            if (c.step != t) continue;
            over_ = false;
            if (c.what == 0) {
                if (m_->memory[c.where] != c.value) monitor_->mark_written(c.where, 1);
                m_->memory[c.where] = static_cast<std::uint8_t>(c.value);
            } else if (c.what == 1) {
                m_->SP = c.value;
            } else {
                m_->PC = c.value;
            }
        }
    }
    void advance() {
        Record r{};
        for (unsigned i = 0; i < WATCH_SPOTS; ++i) r.before[i] = m_->memory[spots_[i]];
        r.flow = OpcodeTable[m_->memory[m_->PC % MEMORY_SIZE]].flow;
        HeadlessIo io;
        RunOutcome outcome = run_headless(*m_, io, 1, *monitor_);
        outputs_ += io.port0.size();
        ++at_;
        r.finished = r.ended = outcome.end == RunEnd::HALTED || outcome.end == RunEnd::STOPPED;
        over_ = r.ended;
        r.pc = m_->PC;
        for (unsigned i = 0; i < WATCH_SPOTS; ++i) r.after[i] = m_->memory[spots_[i]];
        if (records.size() == at_ - 1) records.push_back(r);
        apply(at_);  // a change where the run ended goes on from it
        if (!over_) records[at_ - 1].ended = false;
    }

    std::unique_ptr<Machine> start_;
    WrittenSet loaded_;
    WrittenSet code_;
    const std::uint16_t (&spots_)[WATCH_SPOTS];
    std::vector<Change> changes_;
    std::unique_ptr<Machine> m_;
    std::unique_ptr<FindingMonitor> monitor_;
    std::uint64_t at_ = ~std::uint64_t{0};
    std::uint64_t outputs_ = 0;
    bool over_ = false;
};

inline const char* const NESTED = R"(; recursion to depth n, a leaf call on the way back
        ldi 6
        std n
        call down
        ldd n
        out 0
        hlt
[down   ldd n
        dec
        std n
        jz back
        call down
        call leaf
[back   ret
[leaf   ldd n
        inc
        std n
        ret
[n      db 0
)";

inline const char* const REWRITING = R"(; rewrites the operand of its own ldi each time round
        ldi 4
        std count
[loop   ldd 13          ; the operand of the ldi at patch
        inc
        std 13
[patch  ldi 7
        out 0
        ldd count
        dec
        std count
        jnz loop
        hlt
[count  db 0
)";

inline const char* const STOPPING = R"(; counts down, then jumps into bytes that are no instruction
        ldi 3
        std k
[again  ldd k
        dec
        std k
        jnz again
        jmp bad
[k      db 0
[bad    db 255
        db 255
)";

// A byte the program writes outside the stack, for a watch and for set.
inline std::uint16_t written_byte(const Machine& start) {
    auto m = std::make_unique<Machine>(start);
    HeadlessIo io;
    for (int i = 0; i < 3000; ++i) {
        if (step_headless(*m, io)) break;
        io.port0.clear();
        for (unsigned a = 0; a < STACK_BOTTOM; ++a)
            if (m->memory[a] != start.memory[a]) return static_cast<std::uint16_t>(a);
    }
    return 0;
}

inline const std::pair<const char*, const char*> PROGRAMS[] = {
    {"nested", NESTED}, {"rewriting", REWRITING}, {"stopping", STOPPING}};

// Drives `commands` commands chosen by pick(n) (a number below n) through a
// recorded run of the program; returns "" or the first disagreement.
class Model {
public:
    Model(const Machine& start, const WrittenSet& loaded, const WrittenSet& code,
          std::uint16_t data_spot)
        : spots_{data_spot, static_cast<std::uint16_t>(STACK_TOP - 1)},
          ref_(start, loaded, code, spots_),
          run_(64, 16) {
        run_.load(start, loaded, code);
        run_.set_shown(0);
        ref_.forget(changes_);
    }

    std::string drive(const std::function<unsigned(unsigned)>& pick, int commands) {
        for (int i = 0; i < commands; ++i) {
            std::string done = command(pick);
            if (std::string wrong = check(); !wrong.empty()) return log_ + done + ": " + wrong;
            log_ += done + "; ";
        }
        return "";
    }

private:
    std::vector<std::uint16_t> breaks_;
    std::vector<bool> watched_ = std::vector<bool>(WATCH_SPOTS);

    // Whether a mark fires at step t (1 and on).
    bool fires(std::uint64_t t) {
        const Record& r = ref_.records[t - 1];
        if (r.finished) return false;
        if (std::find(breaks_.begin(), breaks_.end(), r.pc) != breaks_.end()) return true;
        for (unsigned i = 0; i < WATCH_SPOTS; ++i)
            if (watched_[i] && r.before[i] != r.after[i]) return true;
        return false;
    }
    // Whether the recorded end of the run stands at step s: the run
    // cannot go on.
    bool over_at(std::uint64_t s) {
        ref_.record_to(s);
        return s > 0 && ref_.records.size() >= s && ref_.records[s - 1].ended;
    }
    // The first step after s where the run stops going forward (continue;
    // with `finish`, also where the call open at s returns), within REACH.
    std::optional<std::uint64_t> forward_stop(std::uint64_t s, bool finish) {
        if (over_at(s)) return s;
        ref_.record_to(s + REACH);
        int depth = 1;
        for (std::uint64_t t = s + 1; t <= ref_.records.size(); ++t) {
            const Record& r = ref_.records[t - 1];
            if (r.ended) return t;
            if (finish && r.flow == Flow::CALL) ++depth;
            if (finish && r.flow == Flow::RETURN && --depth == 0) return t;
            if (fires(t)) return t;
        }
        return std::nullopt;
    }

    std::string command(const std::function<unsigned(unsigned)>& pick) {
        std::uint64_t s = run_.step();
        std::uint64_t recorded = run_.recorded();
        switch (pick(11)) {
            case 0: {
                std::uint64_t n = 1 + pick(40);
                run_.move({Motion::TO_STEP, s + n});
                ref_.record_to(s + n);
                expected_ = s + n;
                for (std::uint64_t t = s + 1; t <= s + n; ++t)
                    if (t > ref_.records.size() || ref_.records[t - 1].ended) {
                        expected_ = std::min<std::uint64_t>(t, ref_.records.size());
                        break;
                    }
                if (over_at(s)) expected_ = s;
                return "step " + std::to_string(n);
            }
            case 1: {
                std::uint64_t n = 1 + pick(60);
                expected_ = s > n ? s - n : 0;
                run_.move({Motion::BACK, n});
                return "back " + std::to_string(n);
            }
            case 2: {
                std::uint64_t t = pick(static_cast<unsigned>(recorded + 200));
                run_.move({Motion::TO_STEP, t});
                ref_.record_to(t);
                expected_ = std::min<std::uint64_t>(t, ref_.records.size());
                for (std::uint64_t u = 1; u < expected_; ++u)
                    if (ref_.records[u - 1].ended) expected_ = u;
                return "goto " + std::to_string(t);
            }
            case 3:
            case 4: {
                bool finish = pick(2) == 1;
                std::optional<std::uint64_t> stop = forward_stop(s, finish);
                if (!stop) return "(no stop near)";
                expected_ = *stop;
                run_.move({finish ? Motion::FINISH : Motion::CONTINUE, 0});
                return finish ? "finish" : "continue";
            }
            case 5: {
                ref_.record_to(s);
                expected_ = 0;
                for (std::uint64_t t = s > 1 ? s - 1 : 0; t >= 1; --t) {
                    if (fires(t)) {
                        expected_ = t;
                        break;
                    }
                }
                run_.move({Motion::BACK_CONTINUE});
                return "reverse-continue";
            }
            case 6: {
                if (pick(3) == 0 && !breaks_.empty()) {
                    breaks_.clear();
                    watched_.assign(WATCH_SPOTS, false);
                    run_.clear_marks();
                    expected_ = s;
                    return "delete";
                }
                ref_.record_to(s + 50);
                std::uint16_t pc =
                    ref_.records.empty()
                        ? run_.machine().PC
                        : ref_.records[pick(static_cast<unsigned>(ref_.records.size()))].pc;
                breaks_.push_back(pc);
                run_.add_mark(MarkKind::BREAK, pc);
                expected_ = s;
                return "break " + std::to_string(pc);
            }
            case 7: {
                unsigned i = pick(WATCH_SPOTS);
                if (!watched_[i]) run_.add_mark(MarkKind::WATCH, spots_[i]);
                watched_[i] = true;
                expected_ = s;
                return "watch " + std::to_string(spots_[i]);
            }
            case 8:
            case 9: {
                Machine changed = run_.machine();
                Change c{s, static_cast<int>(pick(3)), 0, 0};
                if (c.what == 0) {
                    c.where = pick(2) == 0 ? spots_[pick(WATCH_SPOTS)]
                                           : static_cast<std::uint16_t>(pick(MEMORY_SIZE));
                    c.value = static_cast<std::uint16_t>(pick(256));
                    changed.memory[c.where] = static_cast<std::uint8_t>(c.value);
                } else if (c.what == 1) {
                    c.value = static_cast<std::uint16_t>(STACK_TOP - pick(64));
                    changed.SP = c.value;
                } else {
                    ref_.record_to(s + 50);
                    c.value =
                        ref_.records.empty()
                            ? changed.PC
                            : ref_.records[pick(static_cast<unsigned>(ref_.records.size()))].pc;
                    changed.PC = c.value;
                }
                run_.change_state(changed);
                while (!changes_.empty() && changes_.back().step > s) changes_.pop_back();
                changes_.push_back(c);
                ref_.forget(changes_);
                expected_ = s;
                return "set " + std::to_string(c.what) + " " + std::to_string(c.where) + " = " +
                       std::to_string(c.value) + " at " + std::to_string(s);
            }
            default: {
                run_.restart();
                changes_.clear();
                ref_.forget(changes_);
                expected_ = 0;
                return "run";
            }
        }
    }

    std::string check() {
        std::uint64_t s = run_.step();
        if (s != expected_)
            return "at step " + std::to_string(s) + ", expected " + std::to_string(expected_);
        if (ref_.to(s) != s) return "the plain run ended before step " + std::to_string(s);
        if (!(run_.machine() == ref_.machine())) return "the state differs";
        if (run_.history().outputs() != ref_.outputs())
            return "port 0 count " + std::to_string(run_.history().outputs()) + ", expected " +
                   std::to_string(ref_.outputs());
        std::size_t findings = 0;
        for (std::uint64_t t : run_.findings().steps) findings += t <= s ? 1 : 0;
        if (findings != ref_.monitor().findings().size())
            return std::to_string(findings) + " findings, expected " +
                   std::to_string(ref_.monitor().findings().size());
        if (run_.open_calls().size() != ref_.monitor().open_calls().size())
            return std::to_string(run_.open_calls().size()) + " open calls, expected " +
                   std::to_string(ref_.monitor().open_calls().size());
        if (s > 0) {
            ref_.to(s - 1);
            auto m = std::make_unique<Machine>(ref_.machine());
            TraceStart start = trace_start(*m);
            HeadlessIo io;
            std::string line;
            if (!step_headless(*m, io)) {
                char text[TRACE_LINE_CAPACITY];
                format_trace_line(text, start, *m);
                line = text;
            }
            std::string got = run_.history().trace_line(run_.scratch(), s);
            if (got != line) return "trace line '" + got + "', expected '" + line + "'";
        }
        return "";
    }

    std::uint16_t spots_[WATCH_SPOTS];
    std::vector<Change> changes_;
    Reference ref_;
    RecordedRun run_;
    std::uint64_t expected_ = 0;
    std::string log_;
};

}  // namespace history_model
