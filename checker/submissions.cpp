#include "submissions.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

// Whether path, links followed, is a file inside folder.
bool inside(const fs::path& folder, const fs::path& path) {
    std::error_code error;
    fs::path base = fs::canonical(folder, error);
    if (error) return false;
    fs::path target = fs::canonical(path, error);
    if (error) return true;  // a dangling link: reading it fails as it would
    fs::path relative = target.lexically_relative(base);
    return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

namespace {

// " (it holds Sum.asm, sum.txt)": the files of the folder whose name differs
// from the one asked for only in case or extension, or "".
std::string near_names(const fs::path& folder, const std::string& file) {
    auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string stem = lower(fs::path(file).stem().string());
    std::vector<std::string> near;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (lower(entry.path().stem().string()) == stem)
            near.push_back(entry.path().filename().string());
    }
    std::sort(near.begin(), near.end());
    std::string text;
    for (const std::string& name : near) text += (text.empty() ? " (it holds " : ", ") + name;
    return text.empty() ? text : text + ")";
}

}  // namespace

Submission find_submission(const std::string& operand, const std::string& name,
                           const char* source_name) {
    Submission s;
    s.name = name;
    std::error_code error;
    if (!fs::is_directory(operand, error)) {
        s.path = operand;
        s.in_folder = fs::path(operand).filename().string();
        return s;
    }
    s.folder = true;
    fs::path folder(operand);
    while (folder.has_relative_path() && folder.filename().empty()) folder = folder.parent_path();
    std::string file;
    if (source_name != nullptr) {
        file = source_name;
        if (!fs::exists(fs::symlink_status(folder / file, error))) {
            s.failure = "no " + file + " in the folder " + s.name + near_names(folder, file);
            return s;
        }
    } else {
        std::vector<std::string> sources, others;
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            if (entry.path().extension() != ".asm") continue;
            (entry.is_regular_file(error) ? sources : others)
                .push_back(entry.path().filename().string());
        }
        std::sort(sources.begin(), sources.end());
        if (sources.size() == 1) {
            file = sources.front();
        } else if (sources.empty() && others.size() == 1) {
            file = others.front();  // read_source says what it is
        } else if (sources.empty()) {
            s.failure = "no .asm file in the folder " + s.name;
        } else {
            std::string names;
            for (const std::string& source : sources) names += (names.empty() ? "" : ", ") + source;
            s.failure = "several .asm files in the folder " + s.name + " (" + names +
                        "); --source names the one to check";
        }
    }
    if (s.failure.empty()) {
        s.path = (folder / file).string();
        s.in_folder = file;
        // A link out of the folder would grade another file (the reference,
        // a classmate's source) as this submission.
        if (!inside(folder, s.path))
            s.failure = file + " in the folder " + s.name + " is a link to a file outside it";
    }
    return s;
}

void read_source(Submission& s) {
    if (!s.failure.empty()) return;
    // A FIFO or a device would block the open or never end: refused, as in
    // folder mode, so the rest of the class is still checked.
    struct stat status {};
    if (::stat(s.path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        s.failure = s.path + ": not a regular file";
        return;
    }
    BoundedRead read = read_bounded(s.path);
    if (read.too_large) {
        s.failure = too_large_text("source", read);
    } else if (!read.text) {
        s.failure = "cannot read " + s.path;
    } else {
        s.text = std::move(read.text);
    }
}

std::vector<std::string> submission_names(const std::vector<std::string>& operands) {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> parts(operands.size());  // a folder's, from the root
    std::vector<std::size_t> depth(operands.size(), 1);
    for (std::size_t i = 0; i < operands.size(); ++i) {
        std::error_code error;
        names.push_back(operands[i]);
        if (!fs::is_directory(operands[i], error)) continue;
        for (const fs::path& part : fs::absolute(operands[i], error).lexically_normal()) {
            if (!part.empty() && part != "/") parts[i].push_back(part.string());
        }
        names[i] = parts[i].empty() ? "/" : parts[i].back();
    }
    for (bool changed = true; changed;) {
        changed = false;
        std::map<std::string, std::vector<std::size_t>> by_name;
        for (std::size_t i = 0; i < names.size(); ++i) by_name[names[i]].push_back(i);
        for (const auto& [name, group] : by_name) {
            if (group.size() < 2) continue;
            // The same folder given twice keeps its name: no path tells it apart.
            bool one_folder = true;
            for (std::size_t i : group) one_folder = one_folder && parts[i] == parts[group[0]];
            if (one_folder) continue;
            for (std::size_t i : group) {
                if (depth[i] >= parts[i].size()) continue;  // a file, or the whole path already
                ++depth[i];
                std::string longer;
                for (std::size_t k = parts[i].size() - depth[i]; k < parts[i].size(); ++k)
                    longer += (longer.empty() ? "" : "/") + parts[i][k];
                names[i] = longer;
                changed = true;
            }
        }
    }
    return names;
}

std::string metadata_user_ids(std::string_view json) {
    // Just enough of JSON for the one array: each "id" within the brackets
    // after "users", a number or a string as written.
    std::size_t at = json.find("\"users\"");
    if (at == std::string_view::npos) return "";
    at = json.find('[', at);
    if (at == std::string_view::npos) return "";
    std::string ids;
    int depth = 0;
    bool in_string = false;
    for (std::size_t k = at; k < json.size(); ++k) {
        char c = json[k];
        if (in_string) {
            if (c == '\\')
                ++k;
            else if (c == '"')
                in_string = false;
            continue;
        }
        if (c == '[' || c == '{') ++depth;
        if (c == ']' || c == '}') --depth;
        if (depth == 0) break;
        if (c != '"') continue;
        if (depth == 2 && json.substr(k, 5) == "\"id\":") {
            std::size_t v = k + 5;
            while (v < json.size() && (json[v] == ' ' || json[v] == '\t')) ++v;
            std::size_t end = v;
            if (end < json.size() && json[end] == '"') {
                end = json.find('"', end + 1);
                if (end == std::string_view::npos) return "";
                ++end;
            } else {
                while (end < json.size() && json[end] != ',' && json[end] != '}' &&
                       json[end] != ' ' && json[end] != '\n')
                    ++end;
            }
            if (!ids.empty()) ids += ',';
            ids.append(json.substr(v, end - v));
            k = end - 1;
            continue;
        }
        in_string = true;
    }
    return ids;
}

std::string submission_identity(const std::string& operand, const std::string& name, bool site) {
    if (site) {
        std::error_code error;
        fs::path folder = fs::path(operand).lexically_normal();
        if (folder.filename().empty()) folder = folder.parent_path();
        fs::path metadata = folder.parent_path() / "submission_metadata.json";
        if (fs::is_directory(operand, error) && fs::is_regular_file(metadata, error)) {
            BoundedRead read = read_bounded(metadata.string(), 1u << 20);
            std::string ids = read.text ? metadata_user_ids(*read.text) : "";
            if (!ids.empty()) return "users " + ids;
        }
    }
    return name;
}
