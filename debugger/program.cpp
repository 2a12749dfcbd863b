#include "program.hpp"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "assemble.hpp"
#include "machine/loader.hpp"

namespace {

bool ends_with_asm(const std::string& name) {
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".asm") == 0;
}

std::string lower_case(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

// Splits at line feeds, dropping the line feed and a carriage return
// before it.
std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::size_t length = end - start;
        if (length > 0 && text[end - 1] == '\r') --length;
        lines.push_back(text.substr(start, length));
        start = end + 1;
    }
    return lines;
}

std::optional<std::string> load_source(const std::string& file_name, DebugProgram& program) {
    std::ifstream in(file_name, std::ios::binary);
    if (!in) return std::string("\n File not found\n");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    program.source_lines = split_lines(text);
    AssemblyResult result = assemble_source(text);
    if (!result.ok) {
        std::string shown = result.error_message;
        if (result.error_line > 0) {
            shown += "    " + std::to_string(result.error_line) + ": " +
                     std::string(source_line(program, result.error_line)) + "\n";
        }
        return shown;
    }
    if (!result.load_error.empty()) return result.load_error;
    program.has_source = true;
    program.image = result.image;
    program.line_of_address = result.source_line_of_address;
    for (const Symbol& s : result.symbols) program.labels.push_back({s.name, s.value});
    return std::nullopt;
}

}  // namespace

std::optional<std::string> load_debug_program(const std::string& file_name, DebugProgram& program) {
    program.file_name = file_name;
    if (ends_with_asm(file_name)) return load_source(file_name, program);
    if (std::optional<Stop> refused = load_object_file(file_name.c_str(), program.image.data())) {
        return stop_message(*refused);
    }
    return std::nullopt;
}

std::optional<std::uint16_t> find_label(const DebugProgram& program, std::string_view name) {
    std::string wanted = lower_case(name);
    for (const Label& label : program.labels) {
        if (label.name == wanted) return label.address;
    }
    return std::nullopt;
}

std::string label_at(const DebugProgram& program, std::uint16_t address) {
    for (const Label& label : program.labels) {
        if (label.address == address) return label.name;
    }
    return "";
}

std::optional<std::uint16_t> address_of_line(const DebugProgram& program, int line) {
    int best_line = 0;
    int best_address = -1;
    for (int a = 0; a < MAX_MEMORY; ++a) {
        int l = program.line_of_address[static_cast<std::size_t>(a)];
        if (l >= line && (best_line == 0 || l < best_line)) {
            best_line = l;
            best_address = a;
        }
    }
    if (best_address < 0) return std::nullopt;
    return static_cast<std::uint16_t>(best_address);
}

std::string_view source_line(const DebugProgram& program, int line) {
    if (line < 1 || static_cast<std::size_t>(line) > program.source_lines.size()) return "";
    return program.source_lines[static_cast<std::size_t>(line) - 1];
}
