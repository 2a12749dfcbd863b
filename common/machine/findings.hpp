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
// - past the end (off unless asked for; needs the program's data blocks): a
//   load or store through a pointer (lda, ldaw, sta, staw) outside the data
//   block the pointer was taken from, or outside every block. A pointer word
//   takes its block when it is stored: from the label an ldiw loaded, from
//   the pointer an lddw copied, or else from the block its value lies in;
//   arithmetic that moves it by a few bytes keeps the block it had, so a
//   walk one past a table is named even where another label's byte follows.
//   Noted once per pointer word.
//
// Each kind is noted once per instruction address, and stray PC and
// executing data only where execution moves onto such bytes. The monitor is apart
// from every run loop: a run that does not ask for findings runs exactly
// as before. One that does dispatches on the monitor's passed opcodes
// instead of memory, so that an instruction it looked at once and found
// harmless costs nothing more; it pays a byte test per byte stored or
// loaded through a pointer and a few instructions per jump, call and ret.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "machine/loader.hpp"
#include "machine/machine.hpp"
#include "machine/stack_origins.hpp"
#include "source_map.hpp"

enum class FindingKind : std::uint8_t {
    RETURN_MISMATCH,
    STRAY_PC,
    EXECUTING_DATA,
    WRITING_CODE,
    UNWRITTEN_READ,
    PAST_END,
};

struct FindingKindRow {
    FindingKind kind;
    const char* name;    // one word, for command lines: "return", "stray", ...
    const char* title;   // as reports print it
    bool on_by_default;  // simulator --check, the checker, the page, the adapter
    bool in_debugger;    // on when the debugger starts
};

inline constexpr FindingKindRow FINDING_KINDS[] = {
    {FindingKind::RETURN_MISMATCH, "return", "return mismatch", true, true},
    {FindingKind::STRAY_PC, "stray", "stray PC", true, true},
    {FindingKind::EXECUTING_DATA, "data", "executing data", true, true},
    {FindingKind::WRITING_CODE, "code", "writing into code", true, true},
    {FindingKind::UNWRITTEN_READ, "unwritten", "reading memory never written", false, true},
    {FindingKind::PAST_END, "bounds", "past the end", false, true},
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
constexpr FindingKinds debugger_finding_kinds() {
    FindingKinds kinds = 0;
    for (const FindingKindRow& row : FINDING_KINDS)
        if (row.in_debugger) kinds |= kind_bit(row.kind);
    return kinds;
}
constexpr FindingKinds DEBUGGER_FINDING_KINDS = debugger_finding_kinds();
constexpr FindingKinds ALL_FINDING_KINDS = (1u << FINDING_KIND_COUNT) - 1;

constexpr const FindingKindRow& finding_kind_row(FindingKind kind) {
    return FINDING_KINDS[static_cast<unsigned>(kind)];
}
static_assert(finding_kind_row(FindingKind::PAST_END).kind == FindingKind::PAST_END);

struct MachineFinding {
    FindingKind kind;
    std::uint8_t opcode;        // of the instruction that caused it
    std::uint16_t pc;           // its address
    std::uint64_t instruction;  // its number: 1 for the first of the run
    // return mismatch: where ret goes; writing into code, never written:
    // the byte stored or read; past the end: the first byte outside the
    // block; stray PC, executing data: the PC.
    std::uint16_t address;
    // return mismatch: the innermost open call (none open: has_related is
    // false) and the return address it pushed in related_address; stray PC:
    // the instruction that ran before, with its opcode.
    bool has_related = false;
    std::uint16_t related_pc = 0;
    std::uint16_t related_address = 0;
    std::uint8_t related_opcode = 0;
    // return mismatch: where the call went; past the end: the block's size
    // (its address in related_address; has_related false: outside every block)
    std::uint16_t related_target = 0;
    bool written_at_run_time = false;  // executing data: written by the program, not by db/dw
    // Executing data: the jump, branch, call or ret taken just before, as
    // has_related and related_pc with related_opcode. Stray PC and executing
    // data reached without one: the instruction it ran on from (the one
    // before it, which fell through) in ran_on_from.
    bool ran_on = false;
    std::uint16_t ran_on_from = 0;
};

// A call that has not returned yet: the call is the instruction before its
// return address.
struct OpenCall {
    std::uint16_t return_address;
    std::uint16_t sp_after;  // SP after the return address was pushed
};

// A data block as the monitor knows it.
struct BlockSpan {
    std::uint16_t address;
    std::uint16_t size;
    bool holds(unsigned from, unsigned count) const {
        unsigned offset = from - address;  // below the block: past every size
        return offset < size && size - offset >= count;
    }
};

inline std::vector<BlockSpan> block_spans(const std::vector<DataBlock>& blocks) {
    std::vector<BlockSpan> spans;
    for (const DataBlock& block : blocks) spans.push_back({block.address, block.size});
    return spans;
}

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
    void set_kinds(FindingKinds kinds) {
        kinds_ = kinds;
        bool on = (kinds & kind_bit(FindingKind::PAST_END)) != 0 && !blocks_.empty();
        if (on != bounds_on_) {
            bounds_on_ = on;
            refresh_reach();
        }
    }
    // The program's data blocks, for past the end (none: never noted).
    void set_blocks(std::vector<BlockSpan> blocks) {
        blocks_ = std::move(blocks);
        set_kinds(kinds_);
        refresh_reach();
    }
    // Counts the times passed opcodes of instructions other than the one
    // looked at were taken back (a pointer word found), for a loop that
    // keeps copies of them.
    std::uint32_t passed_epoch() const { return passed_epoch_; }

    // Looks at the instruction at m.PC before it runs, with the machine as
    // it is (m.IR the opcode of the instruction before, m.instruction_count
    // the instructions before it). Returns true when it noted a new finding.
    template <class M>
    bool before(const M& m);

    // Per address: the opcode there once before() has looked at the
    // instruction and found that its fetch, and the store or load its
    // operand names, make no finding and change no mark however often it
    // runs; NOT_PASSED until then, and again after a store into the
    // instruction, or a breakpoint on it. A run loop that dispatches on it
    // runs every other address through before().
    static constexpr std::uint8_t NOT_PASSED = 0xFF;
    static_assert(!OpcodeTable[NOT_PASSED].defined());
    std::uint8_t passed_opcode(unsigned pc) const { return passed_[pc]; }

    // For a run loop that dispatches on passed_opcode() and knows the
    // opcode as a constant (the fast loop's handlers): whether the
    // instruction can run without before(). True, having kept the list of
    // open calls, the last jump and the origins of the bytes it pushes
    // (one or two stores), when its stores and loads through a
    // pointer would make no finding and change no mark (a ret is then
    // looked at by returned()); false, having changed nothing, when
    // before() must look at it. The row's tests fold away: nothing for most
    // rows, a pointer test for lda, ldaw, sta and staw, a few instructions
    // for jumps, call and ret.
    template <std::uint8_t OPCODE, class M>
    [[gnu::always_inline]] bool passes(const M& m);
    // Whether passes() reads m.PC for the opcode (for a pointer, a jump,
    // call or ret, the origins of pushed bytes); a loop need not set it
    // for the others. Where M has `pc_pair` (PC in both halves of a word),
    // the origins of a pushed word are that pair, in one store, and
    // passes_reads_pc_pair tells when it is read instead of m.PC.
    template <class M>
    static constexpr bool passes_reads_pc_pair(std::uint8_t opcode) {
        return requires(const M& m) { m.pc_pair; }
        &&OpcodeTable[opcode].pushes == 2;
    }
    template <class M>
    static constexpr bool passes_reads_pc(std::uint8_t opcode) {
        const OpcodeEntry& row = OpcodeTable[opcode];
        return row.reads_pointer() || changes_flow(row.flow) ||
               (row.pushes != 0 && !passes_reads_pc_pair<M>(opcode));
    }
    // For such a run loop after it ran a ret at `pc` that passed: whether
    // the ret went where the innermost open call pushed. When it did not,
    // the finding is noted here, as instruction `instruction`, and the loop
    // must stop after the ret. (A ret is looked at after it runs: read
    // before, its target costs the loop more than the test.)
    [[gnu::always_inline]] bool returned(unsigned pc, unsigned target, const std::uint8_t* memory,
                                         std::uint64_t instruction) {
        if (depth_ != 0 && calls_[depth_ - 1].return_address == target) [[likely]] {
            --depth_;
            return true;
        }
        check_return(pc, target, memory, instruction);
        return false;
    }

    // Marks the addresses whose flag is set in `breaks` (MAX_MEMORY flags,
    // or null for none), and only those, as breakpoints: passes() fails
    // there, so that a fast loop with this monitor leaves before such an
    // address without a test of its own.
    void mark_breaks(const std::uint8_t* breaks) {
        for (std::size_t a = 0; a < MAX_MEMORY; ++a) {
            bool on = breaks != nullptr && breaks[a] != 0;
            marks_[a] = static_cast<std::uint8_t>((marks_[a] & ~BREAK) | (on ? BREAK : 0));
            if (on) passed_[a] = NOT_PASSED;
        }
    }

    // Bytes the program's surroundings wrote before the run (a test's presets).
    void mark_written(unsigned address, unsigned count) {
        for (unsigned a = address; a < address + count && a < MAX_MEMORY; ++a) {
            marks_[a] |= WRITTEN | KNOWN;
            forget_passed(a);
        }
    }

    const std::vector<MachineFinding>& findings() const { return findings_; }
    // For each stack byte, the instruction that pushed it (every push the
    // monitor saw, in before() and in passes()).
    const StackOrigins& stack_origins() const { return origins_; }
    // The innermost call that has not returned; nothing when none is open.
    std::optional<OpenCall> innermost_call() const {
        if (depth_ == 0) return std::nullopt;
        return calls_[depth_ - 1];
    }
    // The innermost MAX_OPEN_CALLS open calls are kept: a deeper call
    // forgets the outermost.
    static constexpr std::size_t MAX_OPEN_CALLS = 4096;
    // Every open call, outermost first.
    std::span<const OpenCall> open_calls() const { return {calls_.data(), depth_}; }
    // A call made from outside the program (a test that starts a subroutine
    // with the return address already pushed), so that its ret matches. It
    // must be the first.
    void open_outside_call(std::uint16_t target, std::uint16_t return_address,
                           std::uint16_t sp_after) {
        outside_ = {return_address, sp_after};
        push_call(outside_);
        outside_target_ = target;
        has_outside_ = true;
    }

private:
    // A byte's marks: placed by the object code, placed by an instruction
    // record, written by the run; KNOWN for placed or written, so that each
    // test on the common path is one mask and compare (of two marks at once
    // for a word).
    static constexpr std::uint8_t LOADED = 1, CODE = 2, WRITTEN = 4, KNOWN = 8, BREAK = 16;
    // A pointer word's first and second byte: stores into it go through
    // before(), which keeps the block it points into.
    static constexpr std::uint8_t POINTER = 32, POINTER_HIGH = 64;
    // An instruction whose store walked a pointer word: from then on it
    // passes (its later stores are taken to walk too).
    static constexpr std::uint8_t WALK = 128;
    static constexpr std::uint8_t PLACED_CODE = LOADED | CODE | KNOWN;
    static_assert(OpcodeTable[OP_CALL].length == 3);
    static constexpr std::uint64_t NO_PREVIOUS = ~std::uint64_t{0};

    static constexpr bool changes_flow(Flow flow) {
        return flow == Flow::JUMP || flow == Flow::BRANCH || flow == Flow::CALL ||
               flow == Flow::RETURN;
    }
    // Whether `count` bytes from `address` have all of `mask` as `want`.
    bool marked(unsigned address, unsigned count, std::uint8_t mask, std::uint8_t want) const {
        if (count == 1) return (marks_[address] & mask) == want;
        std::uint16_t both;
        std::memcpy(&both, &marks_[address], sizeof both);
        return (both & mask * 0x101u) == want * 0x101u;
    }
    // Notes the instruction at pc as passed when it qualifies (after
    // before() looked at it and marked what it stores): code never written
    // and no breakpoint; an operand naming a byte to store or load only if
    // a store into the operand goes through store() (the operand is code),
    // and the store or load is plain, which it then stays, as marks are only
    // ever added.
    void remember_passed(unsigned pc, unsigned opcode, unsigned operand);
    // A byte changed: the instructions it may belong to are looked at again.
    void forget_passed(unsigned address) {
        for (unsigned a = address >= 2 ? address - 2 : 0; a <= address; ++a)
            passed_[a] = NOT_PASSED;
    }
    bool stores_plainly(unsigned address, unsigned count) const {
        return marked(address, count, CODE | WRITTEN | POINTER | POINTER_HIGH, WRITTEN);
    }
    bool reads_plainly(unsigned address, unsigned count) const {
        return marked(address, count, KNOWN, KNOWN);
    }

    // passes() for lda, ldaw, sta and staw: the pointer read from the
    // operand word (known and fixed while the instruction is passed), inside
    // the word's reach, and the bytes it names plain.
    template <std::uint8_t OPCODE>
    [[gnu::always_inline]] bool pointer_passes(unsigned pointer, unsigned operand) const;
    // A pointer word's block, with what the fast loops test of it: `reach_`.
    void set_bound(unsigned word, std::uint16_t bound) {
        any_bound_ = true;
        bound_[word] = bound;
        reach_[word] = reach_of(bound);
    }
    // The pointers a word may hold to pass, as first | size << 16 (passes
    // when the offset from first, plus count, is at most size): any below
    // the top when the block is not followed, none when it is not known yet.
    void refresh_reach() {
        reach_.fill(reach_of(0));
        if (!any_bound_) return;
        for (std::size_t w = 0; w < MEMORY_SIZE; ++w) reach_[w] = reach_of(bound_[w]);
    }
    std::uint32_t reach_of(std::uint16_t bound) const {
        if (!bounds_on_ || bound == GIVEN_UP) return 0xFFFFu << 16;
        if (bound == 0 || bound == OUTSIDE || bound > blocks_.size()) return 0;
        const BlockSpan& block = blocks_[bound - 1u];
        return block.address | std::uint32_t{block.size} << 16;
    }
    bool fetch(unsigned pc, unsigned opcode, unsigned previous_opcode, std::uint64_t instruction);
    bool store(unsigned pc, unsigned opcode, unsigned address, unsigned count,
               std::uint64_t instruction);
    bool read(unsigned pc, unsigned opcode, unsigned address, unsigned count,
              std::uint64_t instruction);
    // Past the end: an access of `count` bytes at `pointer` through the
    // pointer word at `word`.
    bool through_pointer(unsigned pc, unsigned opcode, unsigned word, unsigned pointer,
                         unsigned count, std::uint64_t instruction);
    // A store of `count` bytes at `address`, which holds a pointer word's
    // byte, with SP before it: the block the word points into from now on.
    // True for a walk (moved by a few bytes, its block kept).
    bool pointer_stored(const std::uint8_t* memory, unsigned sp, unsigned address, unsigned count);
    // The block that holds `address` (index + 1), or OUTSIDE.
    std::uint16_t block_of(unsigned address) const;
    static constexpr std::uint16_t OUTSIDE = 0xFFFF;
    static constexpr std::uint16_t GIVEN_UP = 0xFFFE;  // a word that made its finding
    void push_call(OpenCall call);  // before() only: at the limit it forgets the outermost
    // Whether a ret to `target` returns to the innermost open call.
    bool returns_to_call(unsigned target) const {
        return depth_ != 0 && calls_[depth_ - 1].return_address == target;
    }
    bool check_return(unsigned pc, unsigned target, const std::uint8_t* memory,
                      std::uint64_t instruction);
    bool note(MachineFinding finding);

    FindingKinds kinds_;
    // Every 16-bit address and one more, so that the tests need no range
    // test before an instruction checks its address: the bytes from
    // MAX_MEMORY on count as written, never as code.
    std::array<std::uint8_t, 0x10001> marks_{};
    std::array<std::uint8_t, 0x10001> passed_{};       // NOT_PASSED until remember_passed
    std::array<std::uint8_t, MAX_MEMORY> reported_{};  // kinds noted per address
    std::vector<MachineFinding> findings_;
    // Kept small and free of any call into the library: the fast loop's
    // call and ret keep it, and anything more there makes the compiler keep
    // the loop's registers in memory (measured: half as fast).
    std::array<OpenCall, MAX_OPEN_CALLS> calls_{};
    std::size_t depth_ = 0;  // open calls kept
    OpenCall outside_{};     // the outside call, which calls_[0] is while it is open
    std::uint16_t outside_target_ = 0;
    bool has_outside_ = false;
    // The last jump, branch, call or ret: its address, and its opcode
    // shifted up by 16. Only those are kept, so that the instructions that
    // fall through cost nothing here; a stray PC right after one of them
    // (the opcode before it in IR changes the flow) names it.
    std::uint64_t previous_ = NO_PREVIOUS;
    // The last instruction fetched from a byte other than a placed
    // instruction: its number and the kind of byte (a run through such
    // bytes is noted where it begins).
    std::uint64_t odd_instruction_ = 0;
    std::uint8_t odd_from_ = 0xFF;
    StackOrigins origins_;
    std::vector<BlockSpan> blocks_;
    bool bounds_on_ = false;  // past the end looked for, with blocks known
    // Per pointer word: the block it was taken from (index + 1), OUTSIDE,
    // GIVEN_UP, or 0 until known.
    std::array<std::uint16_t, MEMORY_SIZE> bound_{};
    std::array<std::uint32_t, MEMORY_SIZE> reach_{};  // reach_of(bound_), kept by set_bound
    bool any_bound_ = false;                          // a bound_ other than 0 was set
    std::uint32_t passed_epoch_ = 0;
};

// One finding as a report line, without the "finding: " in front: with a
// source map its places are lines and labels, without one addresses only.
std::string finding_text(const MachineFinding& finding, const SourceMap* source);

// ---- implementation of the per-instruction checks ----

template <class M>
bool FindingMonitor::before(const M& m) {
    unsigned pc = m.PC;
    // Beyond the program area the step stops before it fetches (a state
    // changed by hand where a run had stopped there).
    if (pc >= static_cast<unsigned>(MAX_MEMORY)) return false;
    unsigned opcode = m.memory[pc];
    std::uint64_t instruction = m.instruction_count + 1;
    bool noted = false;
    if ((marks_[pc] & ~(BREAK | POINTER | POINTER_HIGH | WALK)) != PLACED_CODE)
        noted = fetch(pc, opcode, m.IR, instruction);
    const OpcodeEntry& row = OpcodeTable[opcode];
    unsigned operand = load_word(m.memory, pc + 1);
    auto stores = [&](unsigned address, unsigned count) {
        if (bounds_on_ && address < MEMORY_SIZE &&
            ((marks_[address] | marks_[address + 1]) & (POINTER | POINTER_HIGH)) != 0)
            if (pointer_stored(m.memory, m.SP, address, count)) marks_[pc] |= WALK;
        noted |= store(pc, opcode, address, count, instruction);
    };
    if (row.reads_pointer()) {
        if (operand + 1 < MEMORY_SIZE) {
            noted |= read(pc, opcode, operand, 2, instruction);
            unsigned pointer = m.memory[operand] | (m.memory[operand + 1] << 8);
            unsigned count = row.reads_through_pointer() ? row.read_width() : row.store_width();
            if (bounds_on_)
                noted |= through_pointer(pc, opcode, operand, pointer, count, instruction);
            if (row.reads_through_pointer())
                noted |= read(pc, opcode, pointer, count, instruction);
            else
                stores(pointer, count);
        }
    } else if (row.read_width() != 0) {
        noted |= read(pc, opcode, operand, row.read_width(), instruction);
    } else if (row.store_width() != 0) {
        stores(operand, row.store_width());
    }
    if (row.flow == Flow::CALL) {
        push_call({static_cast<std::uint16_t>(pc + 3),
                   static_cast<std::uint16_t>(m.SP == 0 ? STACK_TOP - 2u : m.SP - 2u)});
    } else if (row.flow == Flow::RETURN && m.SP != 0 && m.SP <= STACK_TOP - 2u) {
        // (a ret on an empty stack stops the run)
        unsigned sp = m.SP;
        noted |=
            check_return(pc, m.memory[sp + 1] | (m.memory[sp + 2] << 8), m.memory, instruction);
    }
    if (changes_flow(row.flow)) previous_ = pc | (opcode << 16);
    if (row.pushes != 0) origins_.note(pc, m.SP, row.pops, row.pushes);
    remember_passed(pc, opcode, operand);
    return noted;
}

template <std::uint8_t OPCODE>
inline bool FindingMonitor::pointer_passes(unsigned pointer, unsigned operand) const {
    constexpr OpcodeEntry row = OpcodeTable[OPCODE];
    constexpr unsigned count = row.reads_through_pointer() ? row.read_width() : row.store_width();
    std::uint32_t reach = reach_[operand];
    // The offset wraps below the block's first byte: widened, it stays past every size.
    if (std::uint64_t{pointer - (reach & 0xFFFF)} + count > (reach >> 16)) return false;
    if constexpr (row.reads_through_pointer()) return reads_plainly(pointer, count);
    return stores_plainly(pointer, count);
}

template <std::uint8_t OPCODE, class M>
inline bool FindingMonitor::passes(const M& m) {
    constexpr OpcodeEntry row = OpcodeTable[OPCODE];
    unsigned pc = m.PC;
    if constexpr (row.reads_pointer()) {
        // A decoded loop has the operand and pointer words at hand.
        unsigned operand;
        unsigned pointer;
        if constexpr (requires { m.pointer; }) {
            operand = m.operand;
            pointer = m.pointer;
        } else {
            operand = load_word(m.memory, pc + 1);
            pointer = load_word(m.memory, operand);
        }
        if (!pointer_passes<OPCODE>(pointer, operand)) return false;
    }
    if constexpr (row.flow == Flow::CALL) {
        // The stack test keeps SP at least two above the stack's bottom.
        if (depth_ == MAX_OPEN_CALLS) return false;
        calls_[depth_++] = {static_cast<std::uint16_t>(pc + 3),
                            static_cast<std::uint16_t>(m.SP - 2)};
    }
    if constexpr (changes_flow(row.flow)) previous_ = pc | (unsigned{OPCODE} << 16);
    // The fast loop's stack test keeps every pushed byte inside the stack.
    if constexpr (passes_reads_pc_pair<M>(OPCODE)) {
        origins_.note_pair_in_range(m.pc_pair, m.SP, row.pops);
    } else if constexpr (row.pushes != 0) {
        origins_.note_in_range(pc, m.SP, row.pops, row.pushes);
    }
    return true;
}
