// Diagnostics: the assembler's error and its findings, each on the editor
// line it is about, and a warning on every line the assembler reads as
// several lines.
#include <cctype>
#include <string>

#include "features.hpp"
#include "protocol_values.hpp"
#include "scanner.hpp"

namespace {

// The assembler numbers the pieces of a long line as lines of their own;
// "Line N" in its message becomes the editor's line, the assembler's
// number kept behind.
std::string with_editor_line(std::string message, int assembler_line, int editor_line) {
    if (editor_line + 1 == assembler_line) return message;
    const std::string old = "Line " + std::to_string(assembler_line);
    std::size_t at = message.find(old);
    if (at == std::string::npos || message.compare(at + old.size(), 1, "0123456789", 1) == 0)
        return message;
    message.replace(at, old.size(), "Line " + std::to_string(editor_line + 1));
    return message + " (the assembler's line " + std::to_string(assembler_line) + ")";
}

Json diagnostic(Json range, int severity, const char* source, std::string message) {
    return {{"range", std::move(range)},
            {"severity", severity},
            {"source", source},
            {"message", std::move(message)}};
}

const char* const ORDINALS[] = {"second", "third", "fourth", "fifth", "sixth"};

// "line of 257 characters: the assembler reads it as 2 lines (the second
// starts at column 256)".
std::string long_line_text(int characters, int pieces) {
    constexpr int PIECE = SOURCE_LINE_CAPACITY - 1;
    std::string text = "line of " + std::to_string(characters) +
                       " characters: the assembler reads it as " + std::to_string(pieces) +
                       " lines (";
    // The first starts named; a line of a megabyte gets no long list.
    for (int piece = 1; piece < pieces && piece <= 5; ++piece) {
        if (piece > 1) text += ", ";
        text += std::string("the ") + ORDINALS[piece - 1];
        text += piece == 1 ? " starts at column " : " at ";
        text += std::to_string(piece * PIECE + 1);
    }
    if (pieces > 6) text += ", and " + std::to_string(pieces - 6) + " more";
    return text + ")";
}

std::string lower_name(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

}  // namespace

Json diagnostics(const SourceModel& model, const Encoding& encoding) {
    Json list = Json::array();
    const AssemblyResult& a = model.assembly;
    // Every error, each at the label it names ("[tset]") where that is on
    // its line, else on the whole line.
    for (const AssemblyError& e : model.errors) {
        std::string message = e.message;
        message.erase(0, message.find_first_not_of('\n'));
        message.erase(message.find_last_not_of('\n') + 1);
        int line = model.editor_line(e.line);
        Json range = line_range(model, encoding, line);
        std::size_t open = message.rfind('[');
        std::size_t close = message.rfind(']');
        if (open != std::string::npos && close > open) {
            std::string name = lower_name(message.substr(open + 1, close - open - 1));
            for (const SourceToken& t : model.tokens)
                if (t.line == line && t.name == name && t.role != Role::COMMENT) {
                    range = token_range(model, encoding, t);
                    break;
                }
        }
        list.push_back(diagnostic(std::move(range), SEVERITY_ERROR, "assembler",
                                  with_editor_line(message, e.line, line)));
    }
    // A long editor line may carry a finding for each of its pieces: its
    // range is counted once.
    int ranged_line = -1;
    Json ranged;
    for (const Finding& f : a.findings) {
        int line = model.editor_line(f.line);
        if (line != ranged_line) {
            ranged = line_range(model, encoding, line);
            ranged_line = line;
        }
        list.push_back(diagnostic(ranged, SEVERITY_WARNING, "assembler", f.text));
    }
    const std::vector<int>& lines = model.line_of_assembler_line;
    for (std::size_t i = 0; i < lines.size();) {
        std::size_t next = i + 1;
        while (next < lines.size() && lines[next] == lines[i]) ++next;
        if (next - i > 1) {
            int length = static_cast<int>(model.source.line(lines[i]).size());
            list.push_back(diagnostic(line_range(model, encoding, lines[i]), SEVERITY_WARNING,
                                      "language-server",
                                      long_line_text(length, static_cast<int>(next - i))));
        }
        i = next;
    }
    return list;
}
