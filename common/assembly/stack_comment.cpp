#include "stack_comment.hpp"

#include <algorithm>
#include <optional>
#include <string_view>

namespace {

// The names before "--" in the first "( ... -- ... )" of a line's comment.
std::optional<std::vector<std::string>> stack_comment(std::string_view line) {
    std::size_t semicolon = line.find(';');
    if (semicolon == std::string_view::npos) return std::nullopt;
    std::string_view comment = line.substr(semicolon + 1);
    std::size_t open = comment.find('(');
    std::size_t dashes = comment.find("--", open == std::string_view::npos ? 0 : open);
    if (open == std::string_view::npos || dashes == std::string_view::npos ||
        comment.find(')', dashes) == std::string_view::npos)
        return std::nullopt;
    std::vector<std::string> names;
    std::string_view inside = comment.substr(open + 1, dashes - open - 1);
    for (std::size_t at = 0; at < inside.size();) {
        std::size_t start = inside.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) break;
        std::size_t end = std::min(inside.find_first_of(" \t", start), inside.size());
        names.emplace_back(inside.substr(start, end - start));
        at = end;
    }
    return names;
}

// A line with nothing but a comment, or a label alone (and a comment).
bool comment_or_label_only(std::string_view line) {
    std::size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string_view::npos || line[start] == ';') return true;
    if (line[start] != '[') return false;
    std::size_t end = line.find_first_of(" \t;", start);
    if (end == std::string_view::npos) return true;
    std::size_t next = line.find_first_not_of(" \t\r", end);
    return next == std::string_view::npos || line[next] == ';';
}

}  // namespace

std::vector<std::string> stack_comment_arguments(const SourceLines& lines, int line) {
    // The line itself, then the comment and label lines above it (three at most).
    for (int at = line; at >= 1 && at > line - 4; --at) {
        std::string_view text = source_line_text(lines, at);
        if (at != line && !comment_or_label_only(text)) break;
        if (std::optional<std::vector<std::string>> names = stack_comment(text)) return *names;
    }
    return {};
}
