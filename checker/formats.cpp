// The reports grading sites and pipelines read: a results document for one
// submission (two sites' forms), a JUnit XML document, a TAP stream and a
// CSV gradebook. They carry the text report's facts; a case without points
// counts one point in the documents that give scores.
#include <algorithm>
#include <array>
#include <cstdio>

#include "json_writer.hpp"
#include "report.hpp"

namespace {

// "N passed, M failed, points P/T"
std::string score_text(const Score& score) {
    return std::to_string(score.passed) + " passed, " + std::to_string(score.failed) + " failed, " +
           score.points_text();
}

// A case's details, one per line: every difference, the presets, the run's
// facts and, where given, the debugger's command line that replays it.
std::string details_text(const CheckedCase& c, const std::string& command = "") {
    std::string then = try_then(c);
    std::string text = c.result.passed() || c.test->message.empty() ? "" : c.test->message + "\n";
    std::string share = runs_share(c);
    if (!share.empty()) text += share + "\n";
    for (const std::string& failure : c.result.failures) text += failure + "\n";
    for (const std::string& preset : preset_lines(c)) text += preset + "\n";
    text += "run: " + run_facts_text(c.result.run) + "\n";
    if (command.empty()) return text;
    return text + "try: " + command + "\n" + (then.empty() ? "" : "then: " + then + "\n");
}

// When a student may see a total that holds the points of every case.
Visibility total_visibility(const CheckedFile& f) {
    Visibility total = Visibility::VISIBLE;
    for (const CheckedCase& c : f.cases) {
        Visibility v = c.test->visibility;
        if (v == Visibility::HIDDEN || v == Visibility::AFTER_PUBLISHED)
            return Visibility::AFTER_PUBLISHED;
        if (v == Visibility::AFTER_DUE_DATE) total = v;
    }
    return total;
}

std::string gradescope(const CheckedFile& f) {
    Score score = score_of(f);
    JsonWriter json;
    json.begin_object();
    json.key("score");
    json.raw(points_text(score.earned));
    json.key("max_score");
    json.raw(points_text(score.possible));
    // The total holds every case's points, so the site shows it no earlier
    // than the last case; each test names its own visibility below.
    Visibility total = total_visibility(f);
    if (total != Visibility::VISIBLE) {
        json.key("visibility");
        json.value(visibility_name(total));
    }
    // The summary is shown to a student at once, so it counts only the cases
    // a student may see now; the others would be told by their number.
    json.key("output");
    json.value(f.file + ": " + score_text(score_of(f, true)));
    json.key("tests");
    json.begin_array();
    for (const CheckedCase& c : f.cases) {
        // The site itself keeps a case's details from a student until its
        // visibility allows, so they are always written.
        bool ok = c.result.passed();
        json.begin_object();
        json.key("name");
        json.value(c.test->name);
        json.key("score");
        json.raw(points_text(points_earned(c)));
        json.key("max_score");
        json.raw(points_text(points_possible(*c.test)));
        json.key("status");
        json.value(ok ? "passed" : "failed");
        json.key("output");
        json.value(details_text(c, try_command(f, c, true)));
        json.key("visibility");
        json.value(visibility_name(c.test->visibility));
        json.end_object();
    }
    json.end_array();
    json.end_object();
    return json.text();
}

std::string prairielearn(const CheckedFile& f, const ReportOptions& options) {
    Score score = score_of(f);
    JsonWriter json;
    json.begin_object();
    json.key("gradable");
    json.value(f.read_failure.empty());
    json.key("score");
    // A fraction from 0 to 1.
    char fraction[32];
    double value = score.possible > 0
                       ? static_cast<double>(score.earned) / static_cast<double>(score.possible)
                       : (score.failed == 0 ? 1.0 : 0.0);
    std::snprintf(fraction, sizeof fraction, "%.10g", value);
    json.raw(fraction);
    json.key("message");
    json.value(f.read_failure.empty() ? f.file + ": " + score_text(score) : f.read_failure);
    if (!f.read_failure.empty()) {
        json.key("format_errors");
        json.begin_array();
        json.value(f.read_failure);
        json.end_array();
    }
    json.key("output");
    json.value(text_report({f}, options.show_hidden, true));
    json.key("tests");
    json.begin_array();
    for (const CheckedCase& c : f.cases) {
        bool ok = c.result.passed();
        bool details = shows_details(*c.test, options.show_hidden);
        json.begin_object();
        json.key("name");
        json.value(c.test->name);
        json.key("points");
        json.raw(points_text(points_earned(c)));
        json.key("max_points");
        json.raw(points_text(points_possible(*c.test)));
        json.key("message");
        json.value(ok                         ? "passed"
                   : !c.test->message.empty() ? c.test->message
                   : details                  ? first_failure(c)
                                              : "failed");
        json.key("output");
        json.value(details ? details_text(c, try_command(f, c, true)) : "");
        json.end_object();
    }
    json.end_array();
    json.end_object();
    return json.text();
}

// text as XML character data or attribute value, valid for any bytes:
// valid UTF-8 is copied, a byte outside it becomes the character of the same
// number, and a control character that XML does not allow becomes its
// picture (U+2400 and on).
std::string xml_text(std::string_view text, bool attribute = true) {
    std::string out;
    char ref[16];
    for (std::size_t at = 0; at < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        if (c >= 0x80) {
            std::size_t length = utf8_length(text, at);
            // U+FFFE and U+FFFF are no XML characters either.
            bool non_character = length == 3 && c == 0xEF &&
                                 static_cast<unsigned char>(text[at + 1]) == 0xBF &&
                                 static_cast<unsigned char>(text[at + 2]) >= 0xBE;
            if (length > 0 && !non_character) {
                out.append(text.substr(at, length));
                at += length;
                continue;
            }
            std::snprintf(ref, sizeof ref, "&#x%X;", c);
            out += ref;
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c == '\n' || c == '\t' || c == '\r') {
            if (attribute || c == '\r') {
                std::snprintf(ref, sizeof ref, "&#%u;", c);  // kept as they are
                out += ref;
            } else {
                out += static_cast<char>(c);
            }
        } else if (c < 0x20) {
            std::snprintf(ref, sizeof ref, "&#x%X;", 0x2400u + c);
            out += ref;
        } else {
            out += static_cast<char>(c);
        }
        ++at;
    }
    return out;
}

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

std::string junit(const std::vector<CheckedFile>& files, const ReportOptions& options) {
    std::string body;
    long long tests = 0, failures = 0, errors = 0;
    double total_seconds = 0;
    for (const CheckedFile& f : files) {
        // A source that cannot be read or assembled is an error of each case.
        bool error = !f.read_failure.empty() || !f.assembly_failure.empty();
        long long failed = 0;
        double seconds = 0;
        std::string cases;
        for (const CheckedCase& c : f.cases) {
            seconds += c.seconds;
            cases += "    <testcase classname=\"" + xml_text(f.file) + "\" name=\"" +
                     xml_text(c.test->name) + "\" time=\"" + seconds_text(c.seconds) + "\"";
            if (c.result.passed()) {
                cases += "/>\n";
                continue;
            }
            ++failed;
            bool details = shows_details(*c.test, options.show_hidden);
            const char* element = error ? "error" : "failure";
            cases += ">\n      <" + std::string(element) + " message=\"" +
                     xml_text(details ? first_failure(c) : "failed") + "\">" +
                     xml_text(details ? details_text(c) : c.test->message, false) + "</" + element +
                     ">\n    </testcase>\n";
        }
        long long count = static_cast<long long>(f.cases.size());
        // The submission's points, as every report counts them.
        Score score = score_of(f);
        body +=
            "  <testsuite name=\"" + xml_text(f.file) + "\" tests=\"" + std::to_string(count) +
            "\" failures=\"" + std::to_string(error ? 0 : failed) + "\" errors=\"" +
            std::to_string(error ? failed : 0) + "\" time=\"" + seconds_text(seconds) +
            "\">\n    <properties>\n      <property name=\"points\" value=\"" +
            points_text(score.earned) + "\"/>\n      <property name=\"points_possible\" value=\"" +
            points_text(score.possible) + "\"/>\n    </properties>\n" + cases + "  </testsuite>\n";
        tests += count;
        (error ? errors : failures) += failed;
        total_seconds += seconds;
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"checker\" tests=\"" +
           std::to_string(tests) + "\" failures=\"" + std::to_string(failures) + "\" errors=\"" +
           std::to_string(errors) + "\" time=\"" + seconds_text(total_seconds) + "\">\n" + body +
           "</testsuites>\n";
}

// A test point's description: '#' would start a directive and a line end
// would end the line, so neither stays as it is; no control reaches a
// terminal that shows it.
std::string tap_description(std::string_view text) {
    std::string out;
    for (char c : terminal_safe(text)) {
        if (c == '#') out += '\\';
        out += c;
    }
    return out;
}

// A YAML string both YAML 1.2 and the older YAMLish readers take whatever
// it holds: double-quoted, with ':' written \x3a (a YAMLish reader takes
// ": " for a mapping even inside quotes), controls and bytes that are not
// UTF-8 as \xHH (the code point of that byte, as the JSON report has it).
std::string yaml_string(std::string_view text) {
    std::string out = "\"";
    char escaped[8];
    for (std::size_t at = 0; at < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        std::size_t length = c >= 0x80 ? utf8_length(text, at) : 0;
        if (length > 0) {
            out.append(text.substr(at, length));
            at += length;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == ':' || c < 0x20 || c >= 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
        ++at;
    }
    return out + "\"";
}

std::string tap(const std::vector<CheckedFile>& files, const ReportOptions& options) {
    std::size_t count = 0;
    for (const CheckedFile& f : files) count += f.cases.size();
    std::string out = "TAP version 14\n1.." + std::to_string(count) + "\n";
    std::size_t number = 0;
    for (const CheckedFile& f : files) {
        for (const CheckedCase& c : f.cases) {
            bool ok = c.result.passed();
            out += (ok ? "ok " : "not ok ") + std::to_string(++number) + " - " +
                   tap_description(c.name) + "\n";
            if (ok) continue;
            if (!shows_details(*c.test, options.show_hidden)) {
                // The teacher's message is written for the student.
                if (!c.test->message.empty())
                    out += "  ---\n  message: " + yaml_string(c.test->message) + "\n  ...\n";
                continue;
            }
            // The details as a YAML block.
            out += "  ---\n  message: " +
                   yaml_string(c.test->message.empty() ? first_failure(c) : c.test->message) +
                   "\n  failures:\n";
            for (const std::string& failure : c.result.failures)
                out += "    - " + yaml_string(failure) + "\n";
            std::vector<std::string> presets = preset_lines(c);
            if (!presets.empty()) {
                out += "  presets:\n";
                for (const std::string& preset : presets)
                    out += "    - " + yaml_string(preset) + "\n";
            }
            out += "  run: " + yaml_string(run_facts_text(c.result.run)) + "\n  ...\n";
        }
        // The submission's points as a comment, which every TAP reader passes over.
        if (!f.cases.empty())
            out += "# " + tap_description(f.file) + ": " + score_of(f).points_text() + "\n";
    }
    return out;
}

// A CSV field: a byte that is not UTF-8 becomes the character of the same
// number (as in the JSON report); quoted, its quotes doubled, when it holds
// a comma, a quote or a line end.
std::string csv_quoted(const std::string& text) {
    std::string valid;
    for (std::size_t at = 0; at < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        std::size_t length = c >= 0x80 ? utf8_length(text, at) : 1;
        if (length == 0) {
            valid += static_cast<char>(0xC0 | (c >> 6));
            valid += static_cast<char>(0x80 | (c & 0x3F));
            ++at;
        } else {
            valid.append(text, at, length);
            at += length;
        }
    }
    if (valid.find_first_of(",\"\r\n") == std::string::npos) return valid;
    std::string out = "\"";
    for (char c : valid) out += c == '"' ? "\"\"" : std::string(1, c);
    return out + "\"";
}

// A name a student chose, as a CSV field a spreadsheet shows and never
// runs: controls escaped as in the text report, and a leading '=', '+',
// '-', '@', TAB or CR behind a '.
std::string csv_name(const std::string& text) {
    std::string safe = terminal_safe(text);
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        safe.insert(0, 1, '\'');
    return csv_quoted(safe);
}

// The roster's entry of a submission, or null.
const RosterEntry* roster_entry(const std::vector<RosterEntry>* roster, const std::string& file) {
    if (roster == nullptr) return nullptr;
    for (const RosterEntry& entry : *roster) {
        if (entry.folder == file) return &entry;
    }
    return nullptr;
}

// With case_columns, one more column per case of the first file (all run
// the same cases file), the points earned in it; with a roster, the
// student's id and name after the submission, as the roster has them.
std::string csv(const std::vector<CheckedFile>& files, const ReportOptions& options) {
    std::string out = "submission,";
    if (options.roster != nullptr) out += "student_id,name,";
    out += "points,points_possible,passed,failed";
    if (options.case_columns) {
        for (const CheckedCase& c : files.front().cases) {
            out += ',';
            out += csv_name(c.test->name);
        }
    }
    out += "\r\n";
    for (const CheckedFile& f : files) {
        Score score = score_of(f);
        out += csv_name(f.file) + ",";
        if (options.roster != nullptr) {
            const RosterEntry* entry = roster_entry(options.roster, f.file);
            out += entry ? csv_quoted(entry->id) + "," + csv_quoted(entry->name) + "," : ",,";
        }
        out += points_text(score.earned) + "," + points_text(score.possible) + "," +
               std::to_string(score.passed) + "," + std::to_string(score.failed);
        if (options.case_columns) {
            for (const CheckedCase& c : f.cases) {
                out += ',';
                out += points_text(points_earned(c));
            }
        }
        out += "\r\n";
    }
    return out;
}

// A gradebook import: the platform's identifying columns from the roster,
// then one column of points named after the assignment; submissions not on
// the roster are left out (roster_warnings names them).
std::string gradebook(const std::vector<CheckedFile>& files, const ReportOptions& options) {
    bool canvas = options.format == Format::CANVAS;
    std::string column = csv_quoted(options.assignment);
    std::string out = canvas ? "Student,ID,SIS User ID,SIS Login ID,Section," + column + "\r\n"
                             : "ID number,Full name," + column + "\r\n";
    if (canvas && !files.empty())
        out += "Points Possible,,,,," + points_text(score_of(files.front()).possible) + "\r\n";
    for (const CheckedFile& f : files) {
        const RosterEntry* entry = roster_entry(options.roster, f.file);
        if (entry == nullptr) continue;
        std::string points = points_text(score_of(f).earned);
        out += canvas ? csv_quoted(entry->name) + "," + csv_quoted(entry->id) + ",,,," + points
                      : csv_quoted(entry->id) + "," + csv_quoted(entry->name) + "," + points;
        out += "\r\n";
    }
    return out;
}

struct FormatName {
    std::string_view name;
    Format format;
};
constexpr std::array<FormatName, 9> FORMAT_NAMES = {{
    {"text", Format::TEXT},
    {"json", Format::JSON},
    {"gradescope", Format::GRADESCOPE},
    {"prairielearn", Format::PRAIRIELEARN},
    {"junit", Format::JUNIT},
    {"tap", Format::TAP},
    {"csv", Format::CSV},
    {"canvas", Format::CANVAS},
    {"moodle", Format::MOODLE},
}};

}  // namespace

std::vector<std::string> format_warnings(const std::vector<TestCase>& cases, Format format,
                                         bool default_seed) {
    std::vector<std::string> warnings;
    bool platform = one_submission_format(format);
    bool hidden_or_random = false;
    for (const TestCase& test : cases) {
        bool random = std::any_of(test.presets.begin(), test.presets.end(),
                                  [](const MemoryBytes& m) { return m.random.has_value(); });
        hidden_or_random = hidden_or_random || random || test.visibility != Visibility::VISIBLE;
        if (format == Format::GRADESCOPE && test.visibility == Visibility::HIDDEN &&
            points_possible(test) > 0)
            warnings.push_back("the points of hidden case '" + terminal_safe(test.name) +
                               "' are in the total score, which students see once grades are "
                               "published; give it 'points 0' or 'visibility after_published' "
                               "to say so");
    }
    if (platform && hidden_or_random && default_seed)
        warnings.emplace_back(
            "hidden or random cases with the default seed: anyone can draw the same bytes; "
            "give a private --seed or --seed-file");
    return warnings;
}

std::vector<RosterEntry> read_roster(std::string_view text, std::string& error) {
    // RFC 4180 fields: quoted ones may hold commas, doubled quotes and line ends.
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    for (std::size_t at = 0; at < text.size(); ++at) {
        char c = text[at];
        std::string& field = rows.back().back();
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (at + 1 < text.size() && text[at + 1] == '"') {
                field += '"';
                ++at;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\n') {
            rows.emplace_back(1);
        } else if (c != '\r') {
            field += c;
        }
    }
    std::vector<RosterEntry> roster;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::vector<std::string>& row = rows[k];
        if (row.size() == 1 && row[0].empty()) continue;  // a blank line
        if (k == 0 && row[0] == "folder") continue;       // the header
        if (row.size() < 3) {
            error = "line " + std::to_string(k + 1) +
                    ": expected the folder, the student id and the name";
            return {};
        }
        roster.push_back({row[0], row[1], row[2]});
    }
    return roster;
}

std::vector<std::string> roster_warnings(const std::vector<CheckedFile>& files,
                                         const std::vector<RosterEntry>& roster) {
    std::vector<std::string> warnings;
    for (const RosterEntry& entry : roster) {
        if (std::none_of(files.begin(), files.end(),
                         [&](const CheckedFile& f) { return f.file == entry.folder; }))
            warnings.push_back("no submission from " + terminal_safe(entry.folder) + " (" +
                               terminal_safe(entry.id) + ")");
    }
    for (const CheckedFile& f : files) {
        if (roster_entry(&roster, f.file) == nullptr)
            warnings.push_back(terminal_safe(f.file) + " is not on the roster");
    }
    return warnings;
}

std::optional<Format> format_named(std::string_view name) {
    for (const FormatName& f : FORMAT_NAMES) {
        if (f.name == name) return f.format;
    }
    return std::nullopt;
}

bool one_submission_format(Format format) {
    return format == Format::GRADESCOPE || format == Format::PRAIRIELEARN;
}

std::string report(const std::vector<CheckedFile>& files, const ReportOptions& options) {
    switch (options.format) {
        case Format::JSON: return json_report(files, options.show_hidden);
        case Format::GRADESCOPE: return gradescope(files.front());
        case Format::PRAIRIELEARN: return prairielearn(files.front(), options);
        case Format::JUNIT: return junit(files, options);
        case Format::TAP: return tap(files, options);
        case Format::CSV: return csv(files, options);
        case Format::CANVAS:
        case Format::MOODLE: return gradebook(files, options);
        case Format::TEXT: break;
    }
    return text_report(files, options.show_hidden);
}
