// Findings: mistakes a program makes that the machine itself lets pass or
// stops on only much later, noted where they happen. A FindingMonitor looks
// at each instruction before it runs (FindingMonitor::before) and notes:
//
// - return mismatch: a ret whose target is not the return address pushed by
//   the innermost open call (the monitor keeps its own list of open calls),
//   or a ret while no call is open. A routine that saves its return address
//   and pushes it back before ret returns where the call pushed, so it gives
//   none. jmr and jmp are jumps: they neither open nor close a call, so a
//   routine left by a jump keeps its call open, and the next ret is matched
//   against it.
// - stray PC: an instruction fetched from a byte the object code never
//   placed and the program never wrote.
// - executing data: an instruction fetched from a byte placed by a data
//   record (db, dw) or written at run time.
// - writing into code: a store into a byte an instruction record placed.
// - reading memory never written (off unless asked for): a load from a byte
//   of the program and data area that was neither placed nor written.
//
// Each kind is noted once per instruction address, and stray PC and
// executing data only where execution moves onto such bytes. The monitor is apart
// from every run loop: a run that does not ask for findings runs exactly
// as before, and one that does pays a table lookup and a byte test per
// instruction, a byte test per stored or loaded byte and a few
// instructions per call and ret.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "machine/loader.hpp"
#include "machine/machine.hpp"

enum class FindingKind : std::uint8_t {
    RETURN_MISMATCH,
    STRAY_PC,
    EXECUTING_DATA,
    WRITING_CODE,
    UNWRITTEN_READ,
};

struct FindingKindRow {
    FindingKind kind;
    const char* name;   // one word, for command lines: "return", "stray", ...
    const char* title;  // as reports print it
    bool on_by_default;
};

inline constexpr FindingKindRow FINDING_KINDS[] = {
    {FindingKind::RETURN_MISMATCH, "return", "return mismatch", true},
    {FindingKind::STRAY_PC, "stray", "stray PC", true},
    {FindingKind::EXECUTING_DATA, "data", "executing data", true},
    {FindingKind::WRITING_CODE, "code", "writing into code", true},
    {FindingKind::UNWRITTEN_READ, "unwritten", "reading memory never written", false},
};
constexpr int FINDING_KIND_COUNT = static_cast<int>(std::size(FINDING_KINDS));

// A set of kinds, one bit each.
using FindingKinds = std::uint8_t;
constexpr FindingKinds kind_bit(FindingKind kind) {
    return static_cast<FindingKinds>(1u << static_cast<unsigned>(kind));
}
constexpr FindingKinds default_finding_kinds() {
    FindingKinds kinds = 0;
    for (const FindingKindRow& row : FINDING_KINDS)
        if (row.on_by_default) kinds |= kind_bit(row.kind);
    return kinds;
}
constexpr FindingKinds DEFAULT_FINDING_KINDS = default_finding_kinds();
constexpr FindingKinds ALL_FINDING_KINDS = (1u << FINDING_KIND_COUNT) - 1;

constexpr const FindingKindRow& finding_kind_row(FindingKind kind) {
    return FINDING_KINDS[static_cast<unsigned>(kind)];
}
static_assert(finding_kind_row(FindingKind::UNWRITTEN_READ).kind == FindingKind::UNWRITTEN_READ);

struct MachineFinding {
    FindingKind kind;
    std::uint8_t opcode;        // of the instruction that caused it
    std::uint16_t pc;           // its address
    std::uint32_t instruction;  // its number: 1 for the first of the run
    // return mismatch: where ret goes; writing into code, never written:
    // the byte stored or read; stray PC, executing data: the PC.
    std::uint16_t address;
    // return mismatch: the innermost open call (none open: has_related is
    // false) and the return address it pushed in related_address; stray PC:
    // the instruction that ran before, with its opcode.
    bool has_related = false;
    std::uint16_t related_pc = 0;
    std::uint16_t related_address = 0;
    std::uint8_t related_opcode = 0;
    std::uint16_t related_target = 0;  // return mismatch: where the call went
    bool written_at_run_time = false;  // executing data: written by the program, not by db/dw
};

// A call that has not returned yet.
struct OpenCall {
    std::uint16_t call_pc;
    std::uint16_t target;
    std::uint16_t return_address;
    std::uint16_t sp_after;  // SP after the return address was pushed
};

// Bytes on the stack for a value of SP (0 after reset, STACK_TOP after the
// last pop).
constexpr unsigned stack_depth(unsigned sp) { return sp == 0 ? 0u : STACK_TOP - sp; }

class FindingMonitor {
public:
    // `loaded`: the bytes the object code placed; `code`: those an
    // instruction record placed.
    FindingMonitor(const WrittenSet& loaded, const WrittenSet& code,
                   FindingKinds kinds = DEFAULT_FINDING_KINDS);

    FindingKinds kinds() const { return kinds_; }
    void set_kinds(FindingKinds kinds) { kinds_ = kinds; }

    // Looks at the instruction at m.PC before it runs, with the machine as
    // it is. Returns true when it noted a new finding.
    template <class M>
    bool before(const M& m);

    // Bytes the program's surroundings wrote before the run (a test's presets).
    void mark_written(unsigned address, unsigned count) {
        for (unsigned a = address; a < address + count && a < MAX_MEMORY; ++a) marks_[a] |= WRITTEN;
    }

    const std::vector<MachineFinding>& findings() const { return findings_; }
    const std::vector<OpenCall>& open_calls() const { return calls_; }
    // A call made from outside the program (a test that starts a subroutine
    // with the return address already pushed), so that its ret matches.
    void open_outside_call(std::uint16_t target, std::uint16_t return_address,
                           std::uint16_t sp_after) {
        calls_.push_back({return_address, target, return_address, sp_after});
    }

private:
    static constexpr std::uint8_t LOADED = 1, CODE = 2, WRITTEN = 4;
    static constexpr std::size_t MAX_OPEN_CALLS = 4096;

    template <class M>
    void check_fetch(const M& m, unsigned pc);
    template <class M>
    void check_read(const M& m, unsigned pc, unsigned address, unsigned count);
    template <class M>
    void check_store(const M& m, unsigned pc, unsigned address, unsigned count);
    template <class M>
    void check_return(const M& m, unsigned pc);
    template <class M>
    void open_call(const M& m, unsigned pc);
    bool note(MachineFinding finding);

    FindingKinds kinds_;
    std::array<std::uint8_t, MAX_MEMORY> marks_{};     // LOADED, CODE, WRITTEN
    std::array<std::uint8_t, MAX_MEMORY> reported_{};  // kinds noted per address
    std::vector<MachineFinding> findings_;
    std::vector<OpenCall> calls_;
    std::uint16_t previous_pc_ = 0;
    std::uint8_t previous_opcode_ = 0;
    bool has_previous_ = false;
    bool noted_ = false;
    std::uint8_t fetched_from_ = LOADED | CODE;  // the kind of byte the last instruction came from
};

// What the reports know of the source: the line of every address and the
// labels, for "line 40 (square+3)". Empty when only object code is known.
struct SourceMap {
    std::span<const std::int32_t> line_of_address;
    std::vector<std::pair<std::string, std::uint16_t>> labels;  // any order

    bool known() const { return !line_of_address.empty(); }
    int line_of(unsigned address) const;
    // The nearest label at or below the address with the offset: "square",
    // "square+3"; "" when none.
    std::string label_offset(unsigned address) const;
};

// Four hexadecimal digits.
std::string hex4(unsigned value);
// One finding as a report line, without the "finding: " in front: with a
// source map its places are lines and labels, without one addresses only.
std::string finding_text(const MachineFinding& finding, const SourceMap* source);

// ---- implementation of the per-instruction checks ----

template <class M>
bool FindingMonitor::before(const M& m) {
    noted_ = false;
    unsigned pc = m.PC;
    unsigned opcode = m.memory[pc];
    check_fetch(m, pc);
    const OpcodeEntry& row = OpcodeTable[opcode];
    unsigned operand = load_word(m.memory, pc + 1);
    switch (row.store) {
        case Store::OPERAND_BYTE: check_store(m, pc, operand, 1); break;
        case Store::OPERAND_WORD: check_store(m, pc, operand, 2); break;
        case Store::POINTED_BYTE:
        case Store::POINTED_WORD:
            if (operand + 1 < MEMORY_SIZE) {
                check_read(m, pc, operand, 2);
                unsigned pointer = m.memory[operand] | (m.memory[operand + 1] << 8);
                check_store(m, pc, pointer, row.store == Store::POINTED_BYTE ? 1 : 2);
            }
            break;
        case Store::NONE:
        case Store::PORT: break;
    }
    switch (opcode) {
        case OP_LDD: check_read(m, pc, operand, 1); break;
        case OP_LDDW: check_read(m, pc, operand, 2); break;
        case OP_LDA:
        case OP_LDAW:
            if (operand + 1 < MEMORY_SIZE) {
                check_read(m, pc, operand, 2);
                unsigned pointer = m.memory[operand] | (m.memory[operand + 1] << 8);
                check_read(m, pc, pointer, opcode == OP_LDA ? 1 : 2);
            }
            break;
        case OP_CALL: open_call(m, pc); break;
        case OP_RET: check_return(m, pc); break;
        default: break;
    }
    previous_pc_ = static_cast<std::uint16_t>(pc);
    previous_opcode_ = static_cast<std::uint8_t>(opcode);
    has_previous_ = true;
    return noted_;
}

template <class M>
void FindingMonitor::check_fetch(const M& m, unsigned pc) {
    std::uint8_t mark = marks_[pc];
    if (mark == (LOADED | CODE)) [[likely]] {
        fetched_from_ = LOADED | CODE;
        return;
    }
    // Only the step from one kind of byte to another is noted: a run
    // through zeroed memory or through data is one finding, not one per
    // instruction.
    std::uint8_t from = (mark & (LOADED | WRITTEN)) == 0 ? 0
                        : (mark & WRITTEN) != 0          ? WRITTEN
                                                         : LOADED;
    bool changed = from != fetched_from_;
    fetched_from_ = from;
    if (!changed) return;
    MachineFinding f{};
    f.opcode = m.memory[pc];
    f.pc = static_cast<std::uint16_t>(pc);
    f.instruction = m.instruction_count + 1;
    f.address = f.pc;
    if ((mark & (LOADED | WRITTEN)) == 0) {
        f.kind = FindingKind::STRAY_PC;
        f.has_related = has_previous_;
        f.related_pc = previous_pc_;
        f.related_opcode = previous_opcode_;
    } else {
        f.kind = FindingKind::EXECUTING_DATA;
        f.written_at_run_time = (mark & WRITTEN) != 0;
    }
    note(f);
}

template <class M>
void FindingMonitor::check_read(const M& m, unsigned pc, unsigned address, unsigned count) {
    if ((kinds_ & kind_bit(FindingKind::UNWRITTEN_READ)) == 0) return;
    for (unsigned a = address; a < address + count && a < MAX_MEMORY; ++a) {
        if ((marks_[a] & (LOADED | WRITTEN)) != 0) continue;
        MachineFinding f{};
        f.kind = FindingKind::UNWRITTEN_READ;
        f.opcode = m.memory[pc];
        f.pc = static_cast<std::uint16_t>(pc);
        f.instruction = m.instruction_count + 1;
        f.address = static_cast<std::uint16_t>(a);
        note(f);
        return;
    }
}

template <class M>
void FindingMonitor::check_store(const M& m, unsigned pc, unsigned address, unsigned count) {
    bool noted = false;
    for (unsigned a = address; a < address + count && a < MAX_MEMORY; ++a) {
        if ((marks_[a] & CODE) != 0 && !noted) {
            MachineFinding f{};
            f.kind = FindingKind::WRITING_CODE;
            f.opcode = m.memory[pc];
            f.pc = static_cast<std::uint16_t>(pc);
            f.instruction = m.instruction_count + 1;
            f.address = static_cast<std::uint16_t>(a);
            note(f);
            noted = true;
        }
        marks_[a] |= WRITTEN;
    }
}

template <class M>
void FindingMonitor::open_call(const M& m, unsigned pc) {
    if (calls_.size() == MAX_OPEN_CALLS) calls_.erase(calls_.begin());
    unsigned sp_after = m.SP == 0 ? STACK_TOP - 2u : m.SP - 2u;
    calls_.push_back({static_cast<std::uint16_t>(pc),
                      static_cast<std::uint16_t>(load_word(m.memory, pc + 1)),
                      static_cast<std::uint16_t>(pc + OpcodeTable[OP_CALL].length),
                      static_cast<std::uint16_t>(sp_after)});
}

template <class M>
void FindingMonitor::check_return(const M& m, unsigned pc) {
    unsigned sp = m.SP;
    if (sp == 0 || sp > STACK_TOP - 2u) return;  // the ret stops on an empty stack
    unsigned target = m.memory[sp + 1] | (m.memory[sp + 2] << 8);
    MachineFinding f{};
    f.kind = FindingKind::RETURN_MISMATCH;
    f.opcode = OP_RET;
    f.pc = static_cast<std::uint16_t>(pc);
    f.instruction = m.instruction_count + 1;
    f.address = static_cast<std::uint16_t>(target);
    if (calls_.empty()) {
        note(f);
        return;
    }
    OpenCall call = calls_.back();
    calls_.pop_back();
    if (target == call.return_address) return;
    f.has_related = true;
    f.related_pc = call.call_pc;
    f.related_address = call.return_address;
    f.related_opcode = OP_CALL;
    f.related_target = call.target;
    note(f);
}
