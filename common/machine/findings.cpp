#include "machine/findings.hpp"

#include <cstdio>

FindingMonitor::FindingMonitor(const WrittenSet& loaded, const WrittenSet& code, FindingKinds kinds)
    : kinds_(kinds) {
    for (std::size_t a = 0; a < MAX_MEMORY; ++a) {
        marks_[a] = static_cast<std::uint8_t>((loaded[a] ? LOADED : 0) | (code[a] ? CODE : 0));
    }
}

bool FindingMonitor::note(MachineFinding finding) {
    std::uint8_t bit = kind_bit(finding.kind);
    if ((kinds_ & bit) == 0 || (reported_[finding.pc] & bit) != 0) return false;
    reported_[finding.pc] |= bit;
    findings_.push_back(finding);
    noted_ = true;
    return true;
}

int SourceMap::line_of(unsigned address) const {
    return address < line_of_address.size() ? line_of_address[address] : 0;
}

std::string SourceMap::label_offset(unsigned address) const {
    const std::pair<std::string, std::uint16_t>* best = nullptr;
    for (const auto& label : labels) {
        if (label.second <= address && (best == nullptr || label.second > best->second))
            best = &label;
    }
    if (best == nullptr) return "";
    unsigned offset = address - best->second;
    return offset == 0 ? best->first : best->first + "+" + std::to_string(offset);
}

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
    return text;
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

}  // namespace

std::string finding_text(const MachineFinding& f, const SourceMap* source) {
    std::string text = std::string(finding_kind_row(f.kind).title) + " at instruction " +
                       std::to_string(f.instruction) + ", PC " + hex4(f.pc) + ": ";
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
            if (!f.has_related) return text;
            return text + " after the " + mnemonic(f.related_opcode) + " at " +
                   place(f.related_pc, source);
        case FindingKind::EXECUTING_DATA:
            return text + mnemonic(f.opcode) + " at " + place(f.pc, source) +
                   (f.written_at_run_time ? " runs a byte written at run time"
                                          : " runs a byte placed by db or dw");
        case FindingKind::WRITING_CODE:
            return text + mnemonic(f.opcode) + " at " + place(f.pc, source) + " stores into " +
                   datum(f.address, source) + ", a byte assembled as an instruction";
        case FindingKind::UNWRITTEN_READ:
            return text + mnemonic(f.opcode) + " at " + place(f.pc, source) + " reads " +
                   datum(f.address, source) + ", which was never written";
    }
    return text;
}
