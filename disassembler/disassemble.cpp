#include "disassemble.hpp"

#include <array>
#include <bitset>
#include <cstdio>
#include <vector>

#include "opcode_table.hpp"

namespace {

// The assembler's symbol table holds 512 labels; targets beyond that keep
// their numbers.
constexpr int MAX_LABELS = 512;
// Column where the address comment starts.
constexpr std::size_t COMMENT_COLUMN = 32;

enum class Role : std::uint8_t { GAP, DATA, OPCODE, OPERAND };

// The state of one disassembly: what every address turned out to be, and
// which addresses carry a label.
struct Disassembly {
    const std::uint8_t* image;
    const WrittenSet& written;
    std::array<Role, MAX_MEMORY> role{};  // GAP until decided
    std::bitset<MAX_MEMORY> label;
};

unsigned operand_word(const Disassembly& d, int address) {
    return d.image[address + 1] | (d.image[address + 2] << 8);
}

// Instructions after which control never reaches the next byte.
bool ends_flow(std::uint8_t op) {
    Flow flow = OpcodeTable[op].flow;
    return flow == Flow::JUMP || flow == Flow::RETURN || flow == Flow::HALT;
}

// Instructions whose word operand is where control goes next (jmr, among
// the jumps, has a one-byte offset instead).
bool is_jump_or_call(std::uint8_t op) {
    const OpcodeEntry& row = OpcodeTable[op];
    return (row.flow == Flow::JUMP || row.flow == Flow::BRANCH || row.flow == Flow::CALL) &&
           row.length == 3;
}

// An instruction is decoded where a record wrote its opcode, the opcode is
// defined, the whole instruction lies in the area and no byte of it already
// belongs to another instruction (a jump into the middle of one is left as
// it is).
bool decode_at(Disassembly& d, int address) {
    if (!d.written[address]) return false;
    std::uint8_t op = d.image[address];
    int length = instruction_length(op);
    if (!OpcodeTable[op].defined() || address + length > MAX_MEMORY) return false;
    for (int k = 0; k < length; ++k) {
        if (d.role[address + k] != Role::GAP) return false;
    }
    d.role[address] = Role::OPCODE;
    for (int k = 1; k < length; ++k) d.role[address + k] = Role::OPERAND;
    return true;
}

// Where control may go after the instruction at address.
void successors(const Disassembly& d, int address, std::vector<int>& work) {
    std::uint8_t op = d.image[address];
    int length = instruction_length(op);
    if (!ends_flow(op)) work.push_back(address + length);
    if (is_jump_or_call(op)) work.push_back(static_cast<int>(operand_word(d, address)));
    if (op == OP_JMR) work.push_back(address + d.image[address + 1]);
}

void follow_flow(Disassembly& d) {
    std::vector<int> work{0};
    while (!work.empty()) {
        int address = work.back();
        work.pop_back();
        if (address >= MAX_MEMORY || !decode_at(d, address)) continue;
        successors(d, address, work);
    }
    for (int a = 0; a < MAX_MEMORY; ++a) {
        if (d.role[a] == Role::GAP && d.written[a]) d.role[a] = Role::DATA;
    }
}

// Jump, call and jmr targets that are instructions come first; then the
// word operands of the other instructions (addresses and pointers) that
// name the start of an instruction or a data byte.
void choose_labels(Disassembly& d) {
    std::bitset<MAX_MEMORY> code_target;
    std::bitset<MAX_MEMORY> data_target;
    for (int a = 0; a < MAX_MEMORY; ++a) {
        if (d.role[a] != Role::OPCODE) continue;
        std::uint8_t op = d.image[a];
        if (op == OP_JMR) {
            int target = a + d.image[a + 1];
            if (target < MAX_MEMORY && d.role[target] == Role::OPCODE) code_target.set(target);
        } else if (instruction_length(op) == 3) {
            unsigned target = operand_word(d, a);
            if (target >= MAX_MEMORY) continue;
            Role role = d.role[target];
            if (is_jump_or_call(op)) {
                if (role == Role::OPCODE) code_target.set(target);
            } else if (role == Role::OPCODE || role == Role::DATA) {
                data_target.set(target);
            }
        }
    }
    int count = 0;
    for (const auto* targets : {&code_target, &data_target}) {
        for (int a = 0; a < MAX_MEMORY && count < MAX_LABELS; ++a) {
            if ((*targets)[a] && !d.label[a]) {
                d.label.set(a);
                ++count;
            }
        }
    }
}

void append_label_name(std::string& out, unsigned address) {
    char name[8];
    std::snprintf(name, sizeof name, "l%04x", address);
    out += name;
}

// One source line: label field, statement, address comment.
void append_line(std::string& out, bool labelled, int address, const std::string& statement) {
    std::size_t start = out.size();
    if (labelled) {
        out += '[';
        append_label_name(out, address);
    }
    out.append(start + 8 - out.size(), ' ');
    out += statement;
    std::size_t used = out.size() - start;
    out.append(used < COMMENT_COLUMN ? COMMENT_COLUMN - used : 1, ' ');
    char comment[24];
    std::snprintf(comment, sizeof comment, "; %05d [%04X]\n", address, address);
    out += comment;
}

std::string instruction_text(const Disassembly& d, int address) {
    std::uint8_t op = d.image[address];
    std::string text = OpcodeTable[op].mnemonic;
    int length = instruction_length(op);
    if (length == 2) {
        text += ' ' + std::to_string(d.image[address + 1]);
    } else if (length == 3) {
        unsigned value = operand_word(d, address);
        text += ' ';
        if (value < MAX_MEMORY && d.label[value]) {
            append_label_name(text, value);
        } else {
            text += std::to_string(value);
        }
    }
    return text;
}

}  // namespace

std::string disassemble(const std::uint8_t* image, const WrittenSet& written) {
    Disassembly d{image, written, {}, {}};
    follow_flow(d);
    choose_labels(d);

    std::string out =
        "; Disassembled object code: the instructions reached from address 0,\n"
        "; every other byte loaded as db. Each line ends with its address.\n";
    int location = 0;  // where the assembler would put the next byte
    for (int a = 0; a < MAX_MEMORY;) {
        if (d.role[a] == Role::GAP) {
            ++a;
            continue;
        }
        if (a != location) append_line(out, false, a, "org " + std::to_string(a));
        if (d.role[a] == Role::OPCODE) {
            append_line(out, d.label[a], a, instruction_text(d, a));
            a += instruction_length(image[a]);
        } else {
            append_line(out, d.label[a], a, "db " + std::to_string(image[a]));
            ++a;
        }
        location = a;
    }
    return out;
}
