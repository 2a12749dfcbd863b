// The manual must not drift from the programs: its instruction table and the
// heading line of every instruction reference entry are checked against the
// OpcodeTable that both programs are built from.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "instruction_notes.hpp"
#include "opcode_table.hpp"
#include "run_program.hpp"

namespace {

struct TableRow {
    std::string mnemonic;
    int opcode = -1;
    std::string hex;
    int length = -1;
    int clocks = -1;
    std::string text;
};

std::vector<std::string> cells_of(const std::string& line) {
    std::vector<std::string> cells;
    std::istringstream in(line);
    std::string cell;
    std::getline(in, cell, '|');  // before the first bar
    while (std::getline(in, cell, '|')) {
        std::string trimmed;
        for (char c : cell) {
            if (c != '`') trimmed += c;
        }
        std::size_t first = trimmed.find_first_not_of(' ');
        std::size_t last = trimmed.find_last_not_of(' ');
        cells.push_back(first == std::string::npos ? "" : trimmed.substr(first, last - first + 1));
    }
    if (!cells.empty() && cells.back().empty()) cells.pop_back();
    return cells;
}

int to_int(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoi(text);
}

// The rows of the table whose header reads | Mnemonic | Opcode | Hex | Length | Clocks | ...
std::vector<TableRow> instruction_table(const std::string& manual) {
    std::vector<TableRow> rows;
    std::istringstream lines(manual);
    std::string line;
    bool in_table = false;
    while (std::getline(lines, line)) {
        if (!in_table) {
            std::vector<std::string> header = cells_of(line);
            in_table = header.size() >= 5 && header[0] == "Mnemonic" && header[1] == "Opcode" &&
                       header[2] == "Hex" && header[3] == "Length" && header[4] == "Clocks";
            if (in_table) std::getline(lines, line);  // the |---| separator
            continue;
        }
        if (line.empty() || line[0] != '|') break;
        std::vector<std::string> cells = cells_of(line);
        TableRow row;
        row.text = line;
        if (cells.size() >= 5) {
            row = {cells[0], to_int(cells[1]), cells[2], to_int(cells[3]), to_int(cells[4]), line};
        }
        rows.push_back(row);
    }
    return rows;
}

std::string hex_of(int opcode) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", opcode);
    return text;
}

std::string manual_text() { return read_file(MANUAL_PATH); }

}  // namespace

TEST(ManualInstructionTable, ListsEveryInstructionExactlyAsTheOpcodeTable) {
    const std::vector<TableRow> rows = instruction_table(manual_text());
    ASSERT_FALSE(rows.empty())
        << "no table headed | Mnemonic | Opcode | Hex | Length | Clocks | in " << MANUAL_PATH;
    std::set<int> seen;
    for (const TableRow& row : rows) {
        ASSERT_TRUE(row.opcode >= 0 && row.opcode < 256) << "bad row: " << row.text;
        const OpcodeEntry& slot = OpcodeTable[row.opcode];
        EXPECT_EQ(row.mnemonic, slot.mnemonic) << row.text;
        EXPECT_EQ(row.hex, hex_of(row.opcode)) << row.text;
        EXPECT_EQ(row.length, slot.length) << row.text;
        EXPECT_EQ(row.clocks, slot.clocks) << row.text;
        EXPECT_TRUE(seen.insert(row.opcode).second) << "listed twice: " << row.text;
    }
    for (const OpcodeEntry& slot : OpcodeTable) {
        if (slot.mnemonic[0] != '\0') {
            EXPECT_TRUE(seen.count(slot.opcode)) << slot.mnemonic << " is missing from the table";
        }
    }
    EXPECT_EQ(rows.size(), 56u);
}

// Each reference entry starts with a heading "### `mnemonic`" followed by a
// line "Opcode N (0xNN) · L bytes · C clocks ...".
TEST(ManualInstructionReference, HasOneEntryPerInstructionWithTheRightFacts) {
    const std::string manual = manual_text();
    static const std::regex heading(R"(^### `([a-z]+)`)");
    static const std::regex facts(
        R"(^Opcode (\d+) \((0x[0-9A-F]{2})\) · (\d) bytes? · (\d+) clocks?)");
    std::map<std::string, int> entries;
    std::istringstream lines(manual);
    std::string line;
    std::string current;
    while (std::getline(lines, line)) {
        std::smatch match;
        if (std::regex_search(line, match, heading)) {
            current = match[1];
            ++entries[current];
            continue;
        }
        if (current.empty() || !std::regex_search(line, match, facts)) continue;
        const OpcodeEntry* slot = find_mnemonic(current.c_str());
        ASSERT_NE(slot, nullptr) << "reference entry for an unknown instruction: " << current;
        EXPECT_EQ(std::stoi(match[1]), slot->opcode) << current;
        EXPECT_EQ(match[2].str(), hex_of(slot->opcode)) << current;
        EXPECT_EQ(std::stoi(match[3]), slot->length) << current;
        EXPECT_EQ(std::stoi(match[4]), slot->clocks) << current;
        current.clear();  // one facts line per entry
    }
    for (const OpcodeEntry& slot : OpcodeTable) {
        if (slot.mnemonic[0] != '\0') {
            EXPECT_EQ(entries[slot.mnemonic], 1) << "reference entries for " << slot.mnemonic;
        }
    }
    EXPECT_EQ(entries.size(), 56u);
}

// The notes tools show for an instruction (description, stack effect,
// flags) are the manual's words: each reference entry's heading after the
// dash, the first stack effect of its "Stack:" line and the rest of its
// "Flags:" line, for every instruction of the OpcodeTable.
TEST(ManualInstructionReference, NotesAreTheEntriesWords) {
    struct Entry {
        std::string description, stack, flags;
    };
    std::map<std::string, Entry> entries;
    static const std::regex heading(R"(^### `([a-z]+)` — (.*)$)");
    static const std::regex stack(R"(Stack: `([^`]*)`)");
    std::istringstream lines(manual_text());
    std::string line;
    Entry* current = nullptr;
    while (std::getline(lines, line)) {
        std::smatch match;
        if (std::regex_search(line, match, heading)) {
            current = &entries[match[1]];
            current->description = match[2];
        } else if (line.starts_with("#")) {
            current = nullptr;
        } else if (current != nullptr) {
            if (current->stack.empty() && std::regex_search(line, match, stack))
                current->stack = match[1];
            std::size_t flags = line.find("Flags: ");
            if (current->flags.empty() && flags != std::string::npos)
                current->flags = line.substr(flags + 7);
        }
    }
    std::set<std::string> noted;
    for (const InstructionNote& note : INSTRUCTION_NOTES) {
        const std::string mnemonic(note.mnemonic);
        EXPECT_NE(find_mnemonic(mnemonic.c_str()), nullptr) << mnemonic;
        EXPECT_TRUE(noted.insert(mnemonic).second) << mnemonic << " noted twice";
        const Entry& entry = entries[mnemonic];
        EXPECT_EQ(note.description, entry.description) << mnemonic;
        EXPECT_EQ(note.stack, entry.stack) << mnemonic;
        EXPECT_EQ(note.flags, entry.flags) << mnemonic;
        EXPECT_EQ(find_instruction_note(mnemonic), &note);
    }
    EXPECT_EQ(noted.size(), static_cast<std::size_t>(DEFINED_INSTRUCTION_COUNT));
}
