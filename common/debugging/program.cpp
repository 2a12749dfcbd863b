#include "program.hpp"

#include <cstdio>

#include "machine/loader.hpp"
#include "opcode_table.hpp"
#include "run_files.hpp"
#include "stack_comment.hpp"

namespace {

std::string lower_case(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

bool ends_with_asm(const std::string& name) {
    return name.size() > 4 && lower_case(std::string_view(name).substr(name.size() - 4)) == ".asm";
}

std::optional<std::string> load_source(const std::string& file_name, DebugProgram& program) {
    BoundedRead read = read_bounded(file_name);
    if (read.too_large) return "\n " + too_large_text("source", read) + "\n";
    std::optional<std::string>& text = read.text;
    if (!text) return std::string("\n File not found\n");
    AssemblyResult result = assemble_source(*text);
    program.source_lines = std::move(result.lines);
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
    program.loaded = result.written;
    program.code = result.code;
    for (const Symbol& s : result.symbols) program.labels.push_back({s.name, s.value});
    program.data_blocks = std::move(result.data_blocks);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> load_debug_program(const std::string& file_name, DebugProgram& program) {
    program.file_name = file_name;
    if (ends_with_asm(file_name)) return load_source(file_name, program);
    if (std::optional<Stop> refused = load_object_file(file_name.c_str(), program.image.data(),
                                                       &program.loaded, &program.code)) {
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

std::optional<std::uint16_t> inside_instruction(const DebugProgram& program, std::uint16_t at) {
    const int line = program.line_of_address[at];
    if (line == 0 || !program.code.test(at)) return std::nullopt;
    // The line's lowest address of code: its instructions follow each other from there.
    unsigned p = at;
    while (p > 0 && program.line_of_address[p - 1] == line && program.code.test(p - 1)) --p;
    while (p < at) {
        unsigned length = instruction_length(program.image[p]);
        if (p + length > at) return static_cast<std::uint16_t>(p);
        p += length;
    }
    return std::nullopt;
}

std::string inside_instruction_text(const DebugProgram& program, std::uint16_t at,
                                    const std::string& written) {
    std::optional<std::uint16_t> start = inside_instruction(program, at);
    if (!start) return "";
    char address[8];
    std::snprintf(address, sizeof address, "%04X", *start);
    std::string label = label_at(program, *start);
    std::string place = label.empty() ? address : label;
    const OpcodeEntry& row = OpcodeTable[program.image[*start]];
    return written + " is inside " + row.mnemonic + " at " + place + " (" +
           std::to_string(row.length) + " bytes); break at " + place + "?";
}

std::string_view source_line(const DebugProgram& program, int line) {
    return source_line_text(program.source_lines, line);
}

int source_line_count(const DebugProgram& program) {
    return static_cast<int>(program.source_lines.starts.size());
}

const DataBlock* block_at(const DebugProgram& program, std::uint16_t address) {
    for (const DataBlock& block : program.data_blocks)
        if (block.address == address) return &block;
    return nullptr;
}

std::vector<std::string> argument_names(const DebugProgram& program, std::uint16_t routine) {
    if (!program.has_source || routine >= MEMORY_SIZE) return {};
    return stack_comment_arguments(program.source_lines, program.line_of_address[routine]);
}
