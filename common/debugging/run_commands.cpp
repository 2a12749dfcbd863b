#include "run_commands.hpp"

#include "command_print.hpp"
#include "commands.hpp"
#include "findings_view.hpp"
#include "memory_view.hpp"
#include "stack_view.hpp"

namespace {

// A motion, the interrupt cleared first; a forward one refused at the end of
// the run says so.
MotionReport move(Session& s, MotionOrder order, const StepVisitor& seen = {}) {
    interrupt_requested = 0;
    MotionReport r = s.run.move(order, seen);
    if (r.refused && order.motion < Motion::TO_STEP) {
        say(*s.out, r.end == RunEnd::HALTED ? "the program has halted: back or run"
                    : s.run.case_returned() ? "the case has returned: back or run"
                                            : "the program has stopped: back or run");
    }
    return r;
}

// A search of the history that Ctrl-C ended: the run stands where it was.
bool search_interrupted(const Session& s, const MotionReport& r) {
    if (r.end != RunEnd::INTERRUPTED) return false;
    say(*s.out, "interrupted");
    print_position(s);
    return true;
}

// Inside a routine with a stack comment, while its arguments are where the
// call found them: "in diff (a = 9 from line 2, b = 2 from line 3)". Said
// after a run, forward or back, that stopped there (a mark, a finding,
// Ctrl-C), and after a step that entered it.
void say_arguments_here(Session& s) {
    std::string here = arguments_here(s);
    if (!here.empty()) say(*s.out, "in " + here);
}

void print_arguments_here(Session& s, RunEnd end) {
    if (end == RunEnd::BREAKPOINT || end == RunEnd::WATCHPOINT || end == RunEnd::FINDING ||
        end == RunEnd::INTERRUPTED)
        say_arguments_here(s);
}

}  // namespace

// Step and next show the trace line of each instruction; next, the ret of a
// called subroutine too, then how the stack's depth changed if it did.
void step_lines(Session& s, std::uint64_t n, bool over_calls) {
    MotionReport r =
        move(s, {over_calls ? Motion::NEXT : Motion::STEP, n}, [&s](const StepSeen& seen) {
            print_trace(s);
            unsigned depth = stack_depth(s.run.machine().SP);
            if (seen.returned && depth != seen.depth_before)
                say(*s.out, "returned; " + balance_text(seen.depth_before, depth));
        });
    if (!r.refused && r.end != RunEnd::LIMIT) report_end(s, r.end, r.ran_unseen);
    // A step that ends on a routine's first instruction, called: its arguments.
    std::vector<Frame> frames = s.run.frames();
    if (!r.refused && r.end == RunEnd::LIMIT && !frames.empty() && frames.front().routine &&
        *frames.front().routine == s.run.machine().PC)
        say_arguments_here(s);
}

void finish(Session& s) {
    MotionReport r = move(s, {Motion::FINISH});
    if (r.refused) return;
    report_end(s, r.end, true, r.depth_before_call);
    print_arguments_here(s, r.end);
}

void continue_run(Session& s) {
    MotionReport r = move(s, {Motion::CONTINUE, 0});
    if (r.refused) return;
    report_end(s, r.end, true);
    print_arguments_here(s, r.end);
}

void back(Session& s, std::uint64_t n) {
    MotionReport r = move(s, {Motion::BACK, n});
    if (r.refused) return say(*s.out, "already at the start of the run");
    if (r.at_start) say(*s.out, "went back " + std::to_string(r.from) + " (the start of the run)");
    print_position(s);
}

// Findings are not stopped at on the way, but counted.
void goto_step(Session& s, std::uint64_t target) {
    MotionReport r = move(s, {Motion::TO_STEP, target});
    if (r.end != RunEnd::LIMIT) {
        // Where the run ended is shown with its report, except after hlt.
        report_end(s, r.end, false);
        if (r.end != RunEnd::HALTED) return;
    }
    // Those of the step reached are named by the report of its end.
    if (r.findings_passed > 0) {
        say(*s.out, std::to_string(r.findings_passed) +
                        (r.findings_passed == 1 ? " finding" : " findings") +
                        " on the way (info findings lists them)");
    }
    print_position(s);
}

// The stop gone back to says why, as it did going forward.
void reverse_continue(Session& s) {
    MotionReport back = move(s, {Motion::BACK_CONTINUE});
    if (search_interrupted(s, back)) return;
    if (back.at_start) {
        say(*s.out, "no breakpoint, watchpoint or finding stops earlier: the start of the run");
        return print_position(s);
    }
    unsigned ran = s.run.last_start().pc;
    if (back.end == RunEnd::FINDING) {
        print_findings_here(s);
    } else {
        say(*s.out, stop_line(s, s.run.hit(), ran));
    }
    print_position(s);
    print_arguments_here(s, back.end);
}

void reverse_finish(Session& s) {
    MotionReport r = move(s, {Motion::BACK_FINISH});
    if (search_interrupted(s, r)) return;
    if (r.refused) return say(*s.out, "no subroutine is open here: nothing to go back out of");
    print_position(s);
}

void reverse_next(Session& s, std::uint64_t n) {
    MotionReport r = move(s, {Motion::BACK_NEXT, n});
    if (r.refused) return say(*s.out, "already at the start of the run");
    if (search_interrupted(s, r)) return;
    print_position(s);
}

void print_last_write(Session& s, std::uint16_t address, bool word) {
    interrupt_requested = 0;
    std::optional<std::uint64_t> t = s.run.last_write(address);
    std::optional<std::uint64_t> high;
    if (word && !s.run.search_interrupted())
        high = s.run.last_write(static_cast<std::uint16_t>(address + 1u));
    if (s.run.search_interrupted()) {
        say(*s.out, "interrupted");
        return print_position(s);
    }
    std::string place = (word ? "word " : "") + data_place(s, address);
    if (!t && !high) return say(*s.out, "nothing changed " + place + " since the start");
    // A word: the later change, and what became of the other byte.
    std::string other;
    bool high_later = high && (!t || *high > *t);
    if (word && t != high) {
        std::optional<std::uint64_t> earlier = high_later ? t : high;
        std::string name = high_later ? "the low byte" : "the high byte";
        other = std::string(" (") + (high_later ? "the high byte" : "the low byte") + "; " +
                (earlier ? name + " by instruction " + std::to_string(*earlier)
                         : "nothing changed " + name + " since the start") +
                ")";
    }
    if (high_later) {
        t = high;
        address = static_cast<std::uint16_t>(address + 1u);
    }
    std::optional<std::uint64_t> same = s.run.last_same_write(address, *t);
    s.run.history().rebuild(s.run.scratch(), *t - 1);
    unsigned pc = s.run.scratch().PC;
    say(*s.out,
        place + " last changed by instruction " + std::to_string(*t) + " at " + with_label(s, pc) +
            other +
            (same ? " (last written by instruction " + std::to_string(*same) + ", the same value)"
                  : ""));
    say(*s.out, s.run.history().trace_line(s.run.scratch(), *t));
    print_source(s, pc);
}

// LOC [if CONDITION], for break, tbreak and rwatch; watch also takes word
// before LOC. The mark is added only when everything parses.
void set_breakpoint(Session& s, const Words& words, MarkKind kind) {
    std::size_t at_word = 1;
    unsigned width = 1;
    if (kind == MarkKind::WATCH && words.size() > 1 && words[1] == "word") {
        width = 2;
        at_word = 2;
    }
    bool conditioned = words.size() > at_word + 1 && words[at_word + 1] == "if";
    if (words.size() < at_word + 1 || (words.size() != at_word + 1 && !conditioned))
        return say(*s.out, words[0] + " takes one location, then if and a condition if any");
    bool data = kind == MarkKind::WATCH || kind == MarkKind::RWATCH;
    unsigned limit = data ? MEMORY_SIZE - width : MAX_MEMORY - 1;
    std::optional<std::uint16_t> at = parse_location(s, words[at_word], limit);
    if (!at) return;
    if (std::string inside = data ? "" : inside_instruction_text(s.program, *at, words[at_word]);
        !inside.empty())
        return say(*s.out, inside);
    std::optional<Condition> condition;
    if (conditioned) {
        std::string text;
        for (std::size_t i = at_word + 2; i < words.size(); ++i)
            text += (text.empty() ? "" : " ") + words[i];
        auto parsed = parse_condition(text, [&](const std::string& loc, std::string& error) {
            if (!s.program.has_source && !(loc[0] >= '0' && loc[0] <= '9')) {
                error = "no labels: " + s.program.file_name + " is object code";
                return std::optional<std::uint16_t>{};
            }
            return resolve_location(
                loc, MEMORY_SIZE - 1,
                [&](std::string_view name) { return find_label(s.program, name); }, error);
        });
        if (const std::string* error = std::get_if<std::string>(&parsed))
            return say(*s.out, *error);
        condition = std::get<Condition>(parsed);
    }
    int id = s.run.add_mark(kind, *at, condition, width);
    std::string text = mark_name(*s.run.find_mark(id)) + " " + std::to_string(id) + " at " +
                       (width == 2 ? "word " : "") + with_label(s, *at);
    if (condition) text += " if " + condition->text;
    say(*s.out, text);
}

void ignore_command(Session& s, const Words& words) {
    std::optional<std::uint64_t> id = words.size() == 3 ? parse_number(words[1]) : std::nullopt;
    std::optional<std::uint64_t> n = words.size() == 3 ? parse_number(words[2]) : std::nullopt;
    if (!id || !n) return say(*s.out, "ignore takes a breakpoint or watchpoint ID and a count");
    Mark* m = *id <= static_cast<std::uint64_t>(s.run.next_mark_id())
                  ? s.run.find_mark(static_cast<int>(*id))
                  : nullptr;
    if (m == nullptr) return say(*s.out, "no breakpoint " + quoted_word(words[1]));
    m->ignore = m->hits + *n;
    if (*n == 0) return say(*s.out, "will stop the next time " + words[1] + " is hit");
    say(*s.out, "will pass " + words[1] + " " + std::to_string(*n) +
                    (*n == 1 ? " time" : " times") + " before it stops");
}

void delete_command(Session& s, const Words& words) {
    if (words.size() == 1) {
        s.run.clear_marks();
        return say(*s.out, "deleted every breakpoint and watchpoint");
    }
    std::optional<std::uint64_t> id = parse_number(words[1]);
    if (!id || *id > static_cast<std::uint64_t>(s.run.next_mark_id()) ||
        !s.run.delete_mark(static_cast<int>(*id))) {
        return say(*s.out, "no breakpoint " + words[1]);
    }
    say(*s.out, "deleted " + words[1]);
}
