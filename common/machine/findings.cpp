#include "machine/findings.hpp"

#include "hex_text.hpp"

#include <algorithm>
#include <cstdio>

FindingMonitor::FindingMonitor(const WrittenSet& loaded, const WrittenSet& code, FindingKinds kinds)
    : kinds_(kinds) {
    for (std::size_t a = 0; a < MAX_MEMORY; ++a) {
        marks_[a] =
            static_cast<std::uint8_t>((loaded[a] ? LOADED | KNOWN : 0) | (code[a] ? CODE : 0));
    }
    for (std::size_t a = MAX_MEMORY; a < marks_.size(); ++a) marks_[a] = WRITTEN | KNOWN;
    passed_.fill(NOT_PASSED);
    refresh_reach();
}

void FindingMonitor::remember_passed(unsigned pc, unsigned opcode, unsigned operand) {
    if ((marks_[pc] & ~WALK) != PLACED_CODE) return;
    const OpcodeEntry& row = OpcodeTable[opcode];
    // An operand word naming the data it stores or loads, or the pointer
    // word to them: it must stay, and what it names be plain.
    if (row.store_width() != 0 || row.read_width() != 0) {
        if (!marked(pc + 1, 2, CODE | WRITTEN, CODE)) return;
        bool plain = false;
        if (row.reads_pointer()) {
            // A pointer word that is known: known bytes stay known, so
            // passes() need not look at it again.
            plain = operand + 1 < MEMORY_SIZE && reads_plainly(operand, 2);
        } else if (row.store_width() != 0) {
            // A store that walks a pointer word keeps its block: no need to look again.
            bool walks = (marks_[pc] & WALK) != 0 &&
                         marked(operand, row.store_width(), CODE | WRITTEN, WRITTEN);
            plain = stores_plainly(operand, row.store_width()) || walks;
        } else {
            plain = reads_plainly(operand, row.read_width());
        }
        if (!plain) return;
    }
    passed_[pc] = static_cast<std::uint8_t>(opcode);
}

bool FindingMonitor::note(MachineFinding finding) {
    std::uint8_t bit = kind_bit(finding.kind);
    if ((kinds_ & bit) == 0 || (reported_[finding.pc] & bit) != 0) return false;
    reported_[finding.pc] |= bit;
    findings_.push_back(finding);
    return true;
}

namespace {

MachineFinding finding_at(FindingKind kind, unsigned pc, unsigned opcode, unsigned address,
                          std::uint64_t instruction) {
    MachineFinding f{};
    f.kind = kind;
    f.opcode = static_cast<std::uint8_t>(opcode);
    f.pc = static_cast<std::uint16_t>(pc);
    f.instruction = instruction;
    f.address = static_cast<std::uint16_t>(address);
    return f;
}

}  // namespace

bool FindingMonitor::fetch(unsigned pc, unsigned opcode, unsigned previous_opcode,
                           std::uint64_t instruction) {
    std::uint8_t mark = marks_[pc];
    std::uint8_t from = (mark & KNOWN) == 0 ? 0 : (mark & WRITTEN) != 0 ? WRITTEN : LOADED;
    // Only the step from one kind of byte to another is noted: a run
    // through zeroed memory or through data is one finding, not one per
    // instruction.
    bool changed = from != odd_from_ || instruction != odd_instruction_ + 1;
    odd_from_ = from;
    odd_instruction_ = instruction;
    if (!changed) return false;
    MachineFinding f = finding_at(FindingKind::EXECUTING_DATA, pc, opcode, pc, instruction);
    // Where the run came from: the jump, call or ret before it (its opcode
    // is in IR, the address in previous_), or the instruction before it,
    // which fell through to pc.
    const OpcodeEntry& before = OpcodeTable[previous_opcode];
    bool jumped = instruction > 1 && previous_ != NO_PREVIOUS && changes_flow(before.flow);
    auto previous_pc = static_cast<std::uint16_t>(previous_ & 0xFFFFu);
    if (from == 0) {
        f.kind = FindingKind::STRAY_PC;
        f.has_related = jumped;
    } else {
        f.written_at_run_time = from == WRITTEN;
        // A branch not taken falls through.
        f.has_related = jumped && !(before.flow == Flow::BRANCH &&
                                    static_cast<std::uint16_t>(previous_pc + before.length) == pc);
    }
    if (f.has_related) {
        f.related_pc = previous_pc;
        f.related_opcode = static_cast<std::uint8_t>(previous_ >> 16);
    } else if (instruction > 1) {
        f.ran_on = true;
        f.ran_on_from = static_cast<std::uint16_t>(pc - before.length);
    }
    return note(f);
}

bool FindingMonitor::store(unsigned pc, unsigned opcode, unsigned address, unsigned count,
                           std::uint64_t instruction) {
    if (stores_plainly(address, count)) return false;
    bool noted = false;
    for (unsigned a = address; a < address + count; ++a) {
        if ((marks_[a] & CODE) != 0)
            noted |= note(finding_at(FindingKind::WRITING_CODE, pc, opcode, a, instruction));
        marks_[a] |= WRITTEN | KNOWN;
        forget_passed(a);
    }
    return noted;
}

bool FindingMonitor::read(unsigned pc, unsigned opcode, unsigned address, unsigned count,
                          std::uint64_t instruction) {
    if ((kinds_ & kind_bit(FindingKind::UNWRITTEN_READ)) == 0 || reads_plainly(address, count))
        return false;
    for (unsigned a = address; a < address + count; ++a) {
        if ((marks_[a] & KNOWN) == 0)
            return note(finding_at(FindingKind::UNWRITTEN_READ, pc, opcode, a, instruction));
    }
    return false;
}

std::uint16_t FindingMonitor::block_of(unsigned address) const {
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        if (address - blocks_[i].address < blocks_[i].size)
            return static_cast<std::uint16_t>(i + 1);
    }
    return OUTSIDE;
}

bool FindingMonitor::pointer_stored(const std::uint8_t* memory, unsigned sp, unsigned address,
                                    unsigned count) {
    // A byte stored into a pointer word is arithmetic on it: its block stays.
    if (count != 2 || (marks_[address] & POINTER) == 0) return false;
    if (sp == 0 || sp + 2 > STACK_TOP) return false;  // the store stops on an empty stack
    unsigned value = memory[sp + 1] | (memory[sp + 2] << 8);
    unsigned old = load_word(memory, address);
    std::uint16_t from = origins_.pushed_by[sp + 1 - STACK_BOTTOM];
    unsigned opcode = from < MAX_MEMORY ? memory[from] : unsigned{OP_LDIW};
    std::uint16_t bound = bound_[address];
    if (opcode == OP_LDDW) {
        unsigned copied = load_word(memory, from + 1u);
        if (copied < MEMORY_SIZE && bound_[copied] != 0) {
            set_bound(address, bound_[copied]);
            return false;
        }
    } else if (opcode != OP_LDIW && bound != 0 && bound != OUTSIDE) {
        // Moved by a few bytes: a walk through its block.
        unsigned step = value > old ? value - old : old - value;
        if (step <= 4) return true;
    }
    set_bound(address, block_of(value));
    return false;
}

bool FindingMonitor::through_pointer(unsigned pc, unsigned opcode, unsigned word, unsigned pointer,
                                     unsigned count, std::uint64_t instruction) {
    std::uint16_t bound = bound_[word];
    if (bound == GIVEN_UP) return false;
    if ((marks_[word] & POINTER) == 0) {
        // A new pointer word: the stores into it, passed before, are looked
        // at again.
        marks_[word] |= POINTER;
        marks_[word + 1] |= POINTER_HIGH;
        passed_.fill(NOT_PASSED);
        ++passed_epoch_;
    }
    if (bound == 0 || bound == OUTSIDE) {
        bound = block_of(pointer);
        set_bound(word, bound);
    }
    MachineFinding f = finding_at(FindingKind::PAST_END, pc, opcode, pointer, instruction);
    if (bound == OUTSIDE) {
        if (pointer >= MAX_MEMORY) return false;
    } else {
        const BlockSpan& block = blocks_[bound - 1u];
        if (block.holds(pointer, count)) return false;
        if (pointer - block.address < block.size)
            f.address = static_cast<std::uint16_t>(pointer + 1);
        f.has_related = true;
        f.related_address = block.address;
        f.related_target = block.size;
    }
    // One finding per pointer word: after it the word is no longer
    // followed, and its loads, stores and accesses run as before.
    set_bound(word, GIVEN_UP);
    marks_[word] &= static_cast<std::uint8_t>(~POINTER);
    marks_[word + 1] &= static_cast<std::uint8_t>(~POINTER_HIGH);
    return note(f);
}

void FindingMonitor::push_call(OpenCall call) {
    if (depth_ == MAX_OPEN_CALLS) {
        std::copy(calls_.begin() + 1, calls_.end(), calls_.begin());
        --depth_;
    }
    calls_[depth_++] = call;
}

bool FindingMonitor::check_return(unsigned pc, unsigned target, const std::uint8_t* memory,
                                  std::uint64_t instruction) {
    if (returns_to_call(target)) {
        --depth_;
        return false;
    }
    MachineFinding f = finding_at(FindingKind::RETURN_MISMATCH, pc, OP_RET, target, instruction);
    if (depth_ == 0) return note(f);
    OpenCall call = calls_[--depth_];
    bool outside = has_outside_ && depth_ == 0 && call.return_address == outside_.return_address &&
                   call.sp_after == outside_.sp_after;
    f.has_related = true;
    f.related_address = call.return_address;
    f.related_opcode = OP_CALL;
    if (outside) {
        f.related_pc = call.return_address;
        f.related_target = outside_target_;
    } else {
        f.related_pc = static_cast<std::uint16_t>(call.return_address - 3u);
        f.related_target = static_cast<std::uint16_t>(load_word(memory, f.related_pc + 1u));
    }
    return note(f);
}

namespace {

// Where an instruction is: "line 40 (square+3)" with a source, else "0023".
std::string place(unsigned address, const SourceMap* source) {
    if (source == nullptr || !source->known() || source->line_of(address) == 0)
        return hex4(address);
    std::string text = "line " + std::to_string(source->line_of(address));
    std::string label = source->label_offset(address);
    return label.empty() ? text : text + " (" + label + ")";
}

// A byte of data: "001F (n+1)" with a source, else "001F".
std::string datum(unsigned address, const SourceMap* source) {
    std::string label = source != nullptr ? source->label_offset(address) : "";
    return label.empty() ? hex4(address) : hex4(address) + " (" + label + ")";
}

std::string mnemonic(std::uint8_t opcode) {
    const char* name = OpcodeTable[opcode].mnemonic;
    return name[0] != '\0' ? name : "byte " + std::to_string(opcode);
}

// ", running on from line 8 (loop+5)": the instruction before, which fell
// through; "" at the run's first instruction.
std::string ran_on_text(const MachineFinding& f, const SourceMap* source) {
    return f.ran_on ? ", running on from " + place(f.ran_on_from, source) : "";
}

// "1 past the end of", "2 before the start of".
std::string past_text(const MachineFinding& f) {
    unsigned end = f.related_address + f.related_target;
    if (f.address < f.related_address)
        return std::to_string(f.related_address - f.address) + " before the start of";
    return std::to_string(f.address - end + 1) + " past the end of";
}

// "scores (4 bytes, line 30)" with a source, else "the block at 0040 (4 bytes)".
std::string block_text(const MachineFinding& f, const SourceMap* source) {
    std::string size =
        std::to_string(f.related_target) + (f.related_target == 1 ? " byte" : " bytes");
    if (source != nullptr) {
        for (const DataBlock& block : source->blocks) {
            if (block.address == f.related_address)
                return block.name + " (" + size + ", line " + std::to_string(block.line) + ")";
        }
    }
    return "the block at " + hex4(f.related_address) + " (" + size + ")";
}

}  // namespace

std::string finding_text(const MachineFinding& f, const SourceMap* source) {
    std::string text = std::string(finding_kind_row(f.kind).title) + " at instruction " +
                       std::to_string(f.instruction) + ", PC " + hex4(f.pc) + " (" +
                       std::to_string(f.pc) + "): ";
    switch (f.kind) {
        case FindingKind::RETURN_MISMATCH:
            text += "ret at " + place(f.pc, source) + " goes to " + hex4(f.address);
            if (!f.has_related) return text + ", but no call is open";
            {
                std::string to = source != nullptr ? source->label_offset(f.related_target) : "";
                if (to.empty()) to = hex4(f.related_target);
                return text + ", but the call at " + place(f.related_pc, source) + " (to " + to +
                       ") pushed " + hex4(f.related_address);
            }
        case FindingKind::STRAY_PC:
            text += "execution left the program at " + hex4(f.address);
            if (f.has_related) {
                return text + " after the " + mnemonic(f.related_opcode) + " at " +
                       place(f.related_pc, source);
            }
            return text + ran_on_text(f, source);
        case FindingKind::EXECUTING_DATA:
            text += mnemonic(f.opcode) + " at " + place(f.pc, source) +
                    (f.written_at_run_time ? " runs a byte written at run time"
                                           : " runs a byte placed by db or dw");
            if (f.has_related) {
                return text + ", reached by the " + mnemonic(f.related_opcode) + " at " +
                       place(f.related_pc, source);
            }
            return text + ran_on_text(f, source);
        case FindingKind::WRITING_CODE:
            return text + mnemonic(f.opcode) + " at " + place(f.pc, source) + " stores into " +
                   datum(f.address, source) + ", a byte assembled as an instruction";
        case FindingKind::UNWRITTEN_READ:
            return text + mnemonic(f.opcode) + " at " + place(f.pc, source) + " reads " +
                   datum(f.address, source) + ", which was never written";
        case FindingKind::PAST_END:
            text += mnemonic(f.opcode) + " at " + place(f.pc, source) +
                    (OpcodeTable[f.opcode].reads_through_pointer() ? " reads " : " writes ") +
                    datum(f.address, source);
            if (!f.has_related) return text + ", outside every data block";
            return text + ", " + past_text(f) + " " + block_text(f, source);
    }
    return text;
}
