#include "regrade.hpp"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "message_reader.hpp"

namespace {

// A JSON number of points as hundredths, as the reports count them.
long long hundredths(const nlohmann::json& value) {
    return value.is_number() ? std::llround(value.get<double>() * 100) : 0;
}

}  // namespace

EarlierReport read_earlier_report(std::string_view text, std::string& error) {
    EarlierReport earlier;
    if (!json_depth_within(text)) {
        error = "nested too deep to be a report of the checker";
        return earlier;
    }
    nlohmann::json report = nlohmann::json::parse(text, nullptr, false);
    if (!report.is_object() || !report.contains("files") || !report["files"].is_array()) {
        error = "not a JSON report of the checker (checker --json)";
        return earlier;
    }
    for (const nlohmann::json& file : report["files"]) {
        if (!file.is_object() || !file.contains("file") || !file["file"].is_string() ||
            !file.contains("cases") || !file["cases"].is_array()) {
            error = "not a JSON report of the checker (a submission without file or cases)";
            return earlier;
        }
        EarlierGrade& grade = earlier[file["file"].get<std::string>()];
        grade.points = hundredths(file.value("points", nlohmann::json()));
        grade.possible = hundredths(file.value("points_possible", nlohmann::json()));
        for (const nlohmann::json& c : file["cases"]) {
            if (!c.is_object() || !c.contains("name") || !c["name"].is_string()) continue;
            grade.cases.push_back(
                {c["name"].get<std::string>(),
                 c.value("passed", nlohmann::json(false)).is_boolean() && c["passed"].get<bool>(),
                 hundredths(c.value("points", nlohmann::json()))});
        }
    }
    return earlier;
}

std::string regrade_report(const std::vector<CheckedFile>& files, const EarlierReport& earlier,
                           int& changed) {
    std::string out;
    changed = 0;
    std::map<std::string, bool> seen;
    for (const CheckedFile& f : files) {
        seen[f.file] = true;
        Score score = score_of(f);
        const std::string name = terminal_safe(f.file);
        auto was = earlier.find(f.file);
        if (was == earlier.end()) {
            out += name + ": not in the earlier report; now " + score.points_text() + "\n";
            ++changed;
            continue;
        }
        std::string why;
        auto add = [&why](const std::string& text) { why += (why.empty() ? "; " : ", ") + text; };
        for (const CheckedCase& c : f.cases) {
            const std::string case_name = terminal_safe(c.test->name);
            const EarlierGrade::Case* before = nullptr;
            for (const EarlierGrade::Case& old : was->second.cases)
                if (old.name == c.test->name) before = &old;
            long long points = points_earned(c);
            if (before == nullptr) {
                add(case_name + " is new (" + (c.result.passed() ? "passes" : "fails") + ")");
            } else if (before->passed != c.result.passed()) {
                add(case_name + (c.result.passed() ? " now passes" : " now fails"));
            } else if (before->points != points) {
                add(case_name + " points " + points_text(points) + ", was " +
                    points_text(before->points));
            }
        }
        for (const EarlierGrade::Case& old : was->second.cases) {
            bool kept = false;
            for (const CheckedCase& c : f.cases) kept = kept || c.test->name == old.name;
            if (!kept) add(terminal_safe(old.name) + " is gone");
        }
        if (why.empty() && was->second.points == score.earned &&
            was->second.possible == score.possible)
            continue;
        out += name;
        out += ": " + score.points_text() + ", was " + points_text(was->second.points);
        out += "/" + points_text(was->second.possible) + why + "\n";
        ++changed;
    }
    for (const auto& [name, grade] : earlier) {
        if (seen.count(name) != 0) continue;
        out += terminal_safe(name) + ": in the earlier report only (points " +
               points_text(grade.points) + "/" + points_text(grade.possible) + ")\n";
        ++changed;
    }
    const std::size_t total =
        seen.size() + std::count_if(earlier.begin(), earlier.end(), [&](const auto& entry) {
            return seen.count(entry.first) == 0;
        });
    out += changed == 0 ? "no submission changed\n"
                        : std::to_string(changed) + " of " + std::to_string(total) +
                              (total == 1 ? " submission" : " submissions") + " changed\n";
    return out;
}
