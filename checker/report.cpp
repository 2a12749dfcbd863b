#include "report.hpp"

#include <algorithm>
#include <cstdio>

#include "json_writer.hpp"

namespace {

const char* outcome_name(RunEnd end) {
    switch (end) {
        case RunEnd::HALTED: return "halted";
        case RunEnd::STOPPED: return "stopped";
        case RunEnd::LIMIT: return "limit";
        case RunEnd::TIMEOUT: return "timeout";
        case RunEnd::RETURNED: return "returned";
        default: break;
    }
    return "not run";
}

void write_tally(JsonWriter& json, const Score& tally) {
    json.key("passed");
    json.value(tally.passed);
    json.key("failed");
    json.value(tally.failed);
    json.key("points");
    json.raw(points_text(tally.earned));
    json.key("points_possible");
    json.raw(points_text(tally.possible));
}

void write_strings(JsonWriter& json, const char* name, const std::vector<std::string>& texts) {
    json.key(name);
    json.begin_array();
    for (const std::string& text : texts) json.value(text);
    json.end_array();
}

void write_run(JsonWriter& json, const RunFacts& run) {
    json.begin_object();
    json.key("outcome");
    json.value(outcome_name(run.end));
    json.key("status");
    if (run.end == RunEnd::HALTED || run.end == RunEnd::STOPPED) {
        json.value(static_cast<long long>(run.end == RunEnd::HALTED ? 0 : 255));
    } else {
        json.null();
    }
    json.key("stop");
    run.stop ? json.value(stop_text(*run.stop)) : json.null();
    json.key("stop_message");
    run.stop ? json.value(stop_message(*run.stop)) : json.null();
    json.key("stop_pc");
    run.stop ? json.value(static_cast<long long>(run.stop->pc)) : json.null();
    // A run stopped by the time limit has no counts or registers to report:
    // they would differ from one grading to the next.
    bool counted = run.end != RunEnd::TIMEOUT;
    bool ran = counted && run.end != RunEnd::NOT_RUN;
    json.key("instructions");
    counted ? json.value(static_cast<long long>(run.instructions)) : json.null();
    json.key("clocks");
    counted ? json.value(static_cast<long long>(run.clocks)) : json.null();
    json.key("out");
    json.begin_array(true);
    for (std::uint8_t v : run.port0) json.value(static_cast<long long>(v));
    json.end_array();
    json.key("out_more");
    json.value(static_cast<long long>(run.port0_count - run.port0.size()));
    json.key("final_pc");
    ran ? json.value(static_cast<long long>(run.final_pc)) : json.null();
    json.key("final_sp");
    ran ? json.value(static_cast<long long>(run.final_sp)) : json.null();
    write_strings(json, "findings", run.findings);
    json.end_object();
}

void write_case(JsonWriter& json, const CheckedFile& f, const CheckedCase& c, bool show_hidden) {
    bool passed = c.result.passed();
    bool details = shows_details(*c.test, show_hidden);
    long long points = points_possible(*c.test);
    json.begin_object();
    json.key("name");
    json.value(c.test->name);
    json.key("passed");
    json.value(passed);
    write_strings(json, "failures", details ? c.result.failures : std::vector<std::string>{});
    json.key("points");
    json.raw(points_text(points_earned(c)));
    json.key("points_possible");
    json.raw(points_text(points));
    if (c.test->partial) {
        json.key("runs_passed");
        json.value(c.result.runs_passed);
        json.key("runs");
        json.value(c.test->repeat);
    }
    bool listed = details && (c.test->show_expected || show_hidden);
    write_strings(json, "expectations", listed ? c.test->lines : std::vector<std::string>{});
    if (!passed && !c.test->message.empty()) {
        json.key("message");
        json.value(c.test->message);
    }
    if (std::string command = try_command(f, c); !command.empty()) {
        json.key("try");
        json.value(command);
        if (std::string then = try_then(c); !then.empty()) {
            json.key("then");
            json.value(then);
        }
    }
    json.key("run");
    details ? write_run(json, c.result.run) : json.null();
    if (c.test->visibility != Visibility::VISIBLE) {
        json.key("visibility");
        json.value(visibility_name(c.test->visibility));
    }
    json.end_object();
}

}  // namespace

bool shows_details(const TestCase& test, bool show_hidden) {
    return show_hidden || test.visibility == Visibility::VISIBLE;
}

long long points_possible(const TestCase& test) { return test.points.value_or(100); }

long long points_earned(const CheckedCase& c) {
    long long possible = points_possible(*c.test);
    if (c.result.passed()) return possible;
    if (!c.test->partial || c.test->repeat <= 0) return 0;
    // Rounded half up to hundredths; at most 10^8 * 10^5, far inside 64 bits.
    long long k = c.test->repeat;
    return (2 * possible * c.result.runs_passed + k) / (2 * k);
}

void Score::add(const CheckedCase& c) {
    (c.result.passed() ? passed : failed) += 1;
    any_points = any_points || c.test->points.has_value();
    possible += points_possible(*c.test);
    earned += points_earned(c);
}

void Score::add(const CheckedFile& f) {
    for (const CheckedCase& c : f.cases) add(c);
}

std::string Score::points_text() const {
    return "points " + ::points_text(earned) + "/" + ::points_text(possible);
}

Score score_of(const CheckedFile& f, bool visible_only) {
    Score score;
    for (const CheckedCase& c : f.cases) {
        if (!visible_only || c.test->visibility == Visibility::VISIBLE) score.add(c);
    }
    return score;
}

std::string runs_share(const CheckedCase& c) {
    if (c.result.passed() || !c.test->partial) return "";
    return std::to_string(c.result.runs_passed) + " of " + std::to_string(c.test->repeat) +
           " runs passed";
}

std::string first_failure(const CheckedCase& c) {
    std::string share = runs_share(c);
    const std::string& first = c.result.failures.front();
    return share.empty() ? first : share + "; " + first;
}

std::vector<std::string> preset_lines(const CheckedCase& c) {
    if (!c.result.presets.empty()) return c.result.presets;
    std::vector<std::string> lines;
    for (const MemoryBytes& preset : c.test->presets) lines.push_back(preset.text);
    return lines;
}

std::string presets_text(const CheckedCase& c) {
    std::string text;
    for (const std::string& line : preset_lines(c)) text += (text.empty() ? " (" : ", ") + line;
    return text.empty() ? "" : text + ")";
}

std::string run_facts_text(const RunFacts& run) {
    if (run.end == RunEnd::NOT_RUN) return "not run";
    if (run.end == RunEnd::TIMEOUT) return "stopped at the time limit";
    std::string text = run.end == RunEnd::HALTED     ? "halted"
                       : run.end == RunEnd::LIMIT    ? "stopped at the instruction limit"
                       : run.end == RunEnd::TIMEOUT  ? "stopped at the time limit"
                       : run.end == RunEnd::RETURNED ? "returned"
                                                     : "stopped: " + stop_text(*run.stop);
    text += ", " + std::to_string(run.instructions) + " instructions, " +
            std::to_string(run.clocks) + " clocks, out";
    constexpr std::size_t OUT_SHOWN = 64;
    for (std::size_t k = 0; k < run.port0.size() && k < OUT_SHOWN; ++k) {
        text += ' ';
        text += std::to_string(run.port0[k]);
    }
    if (run.port0_count > OUT_SHOWN)
        text += " ... (" + std::to_string(run.port0_count) + " values)";
    else if (run.port0.empty() && run.port0_count > 0)  // values not shown
        text += " (" + std::to_string(run.port0_count) + " values)";
    if (run.port0_count == 0) text += " nothing";
    return text + ", PC " + std::to_string(run.final_pc) + ", SP " + std::to_string(run.final_sp);
}

namespace {

// A word as a POSIX shell reads it back: as it is when it holds nothing the
// shell would take apart, else in single quotes.
std::string shell_word(const std::string& word) {
    if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUV"
                                                "WXYZ0123456789_./:=+,-@%") == std::string::npos)
        return word;
    std::string quoted = "'";
    // A quote closes the quoted part, stands in double quotes and opens it
    // again: no backslash, which the text report would double.
    for (char c : word) quoted += c == '\'' ? std::string("'\"'\"'") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::string try_command(const CheckedFile& f, const CheckedCase& c, bool in_folder) {
    if (c.result.passed() || c.test->visibility != Visibility::VISIBLE ||
        c.result.run.end == RunEnd::NOT_RUN || f.source.empty() || !c.test->problems.empty())
        return "";
    std::string sets, call, stack;
    for (const std::string& preset : preset_lines(c)) {
        if (preset.rfind("set ", 0) == 0) sets += " --set " + shell_word(preset.substr(4));
        if (preset.rfind("call ", 0) == 0) call = " --call " + shell_word(preset.substr(5));
        if (preset.rfind("stack ", 0) == 0) stack = " --stack " + shell_word(preset.substr(6));
    }
    const std::string& source =
        in_folder && !f.source_in_folder.empty() ? f.source_in_folder : f.source;
    // A name that starts with '-' is no option after "--"; nor is one that
    // the text report cannot show as typed.
    bool operand = source[0] == '-' || terminal_safe(source) != source;
    return "debugger" + sets + call + stack + (operand ? " -- " : " ") + shell_word(source);
}

std::string try_then(const CheckedCase& c) {
    const RunFacts& run = c.result.run;
    if (c.result.passed() || (run.end != RunEnd::LIMIT && run.end != RunEnd::TIMEOUT)) return "";
    return "goto " + std::to_string(run.instructions);
}

std::vector<CaseSummary> class_summary(const std::vector<CheckedFile>& files) {
    std::vector<CaseSummary> summary;
    // Without a cases file every submission has a case of its own.
    if (files.size() < 2 || files[0].cases.empty() || files[1].cases.empty() ||
        files[0].cases[0].test != files[1].cases[0].test)
        return summary;
    for (const CheckedCase& c : files[0].cases) summary.push_back({c.test});
    for (const CheckedFile& f : files) {
        for (std::size_t k = 0; k < f.cases.size() && k < summary.size(); ++k) {
            summary[k].of += 1;
            summary[k].passed += f.cases[k].result.passed() ? 1 : 0;
        }
    }
    return summary;
}

std::string summary_line(const std::vector<CheckedFile>& files) {
    Score total;
    for (const CheckedFile& f : files) total.add(f);
    std::string out =
        std::to_string(total.passed) + " passed, " + std::to_string(total.failed) + " failed";
    if (total.any_points) out += ", " + total.points_text();
    return out;
}

std::string text_report(const std::vector<CheckedFile>& files, bool show_hidden, bool in_folder) {
    std::string out;
    for (const CheckedFile& f : files) {
        Score tally;
        for (const CheckedCase& c : f.cases) {
            tally.add(c);
            const std::vector<std::string>& failures = c.result.failures;
            // Names, messages and source lines are the students' bytes: none
            // may reach the terminal as a control.
            if (failures.empty()) {
                out += "PASS " + terminal_safe(c.name) + "\n";
            } else if (!shows_details(*c.test, show_hidden)) {
                out += "FAIL " + terminal_safe(c.name) + "\n";
            } else {
                out += "FAIL " + terminal_safe(c.name + presets_text(c) + ": " + first_failure(c)) +
                       "\n";
                // A failed case shows what the run did wrong on its way.
                for (const std::string& finding : c.result.run.findings)
                    out += "  finding: " + terminal_safe(finding) + "\n";
            }
            if (!failures.empty() && !c.test->message.empty())
                out += "  hint: " + terminal_safe(c.test->message) + "\n";
            // As it is, so that it can be pasted, unless a byte would reach
            // the terminal as a control: such a name is in the JSON report only.
            if (std::string command = try_command(f, c, in_folder); command.empty()) {
            } else if (std::string safe = terminal_safe(command);
                       safe.size() ==
                       command.size() + std::count(command.begin(), command.end(), '\\')) {
                out += "  try: " + command + "\n";
                if (std::string then = try_then(c); !then.empty())
                    out += "  then: " + then +
                           " (where the case stopped: continue would not return)\n";
            } else {
                out +=
                    "  try: the debugger, with the command in the JSON report (the file's name "
                    "holds control characters)\n";
            }
        }
        if (files.size() > 1 && tally.any_points)
            out += terminal_safe(f.file) + ": " + tally.points_text() + "\n";
    }
    for (const CaseSummary& entry : class_summary(files)) {
        out += "case " + terminal_safe(entry.test->name) + ": " + std::to_string(entry.passed) +
               " of " + std::to_string(entry.of) + " passed\n";
    }
    return out + summary_line(files) + "\n";
}

std::string json_report(const std::vector<CheckedFile>& files, bool show_hidden) {
    JsonWriter json;
    Score total;
    json.begin_object();
    json.key("files");
    json.begin_array();
    for (const CheckedFile& f : files) {
        Score tally;
        tally.add(f);
        total.add(f);
        json.begin_object();
        json.key("file");
        json.value(f.file);
        json.key("assembly_error");
        f.assembly_failure.empty() ? json.null() : json.value(f.assembly_failure);
        json.key("cases");
        json.begin_array();
        for (const CheckedCase& c : f.cases) write_case(json, f, c, show_hidden);
        json.end_array();
        write_tally(json, tally);
        json.end_object();
    }
    json.end_array();
    write_tally(json, total);
    std::vector<CaseSummary> summary = class_summary(files);
    if (!summary.empty()) {
        json.key("summary");
        json.begin_array();
        for (const CaseSummary& entry : summary) {
            json.begin_object();
            json.key("case");
            json.value(entry.test->name);
            json.key("passed");
            json.value(entry.passed);
            json.key("of");
            json.value(entry.of);
            json.end_object();
        }
        json.end_array();
    }
    json.end_object();
    return json.text();
}

bool all_passed(const std::vector<CheckedFile>& files) {
    for (const CheckedFile& f : files) {
        for (const CheckedCase& c : f.cases) {
            if (!c.result.passed()) return false;
        }
    }
    return true;
}
