#include "machine/fast_run_decoded.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "machine/findings.hpp"
#include "machine/step.hpp"

namespace fast_decoded {

// The registers as the decoded loop keeps them: SP as a 64-bit index, so
// that the compiler can tell memory[SP] from memory[SP - 1] and keeps a byte
// it just pushed in a register instead of loading it back. PC is set only
// where a handler reads it (and at every way out): between, the slot of the
// next instruction stands for it, and only the jumps (FLOW true) move it.
// `operand` is the instruction's operand word, read from its slot.
template <bool FLOW>
struct CoreOf {
    std::uint32_t PC;
    std::uint64_t SP;
    std::uint8_t IR;
    std::uint8_t Z, S, O, C;
    std::uint8_t* memory;
    std::uint8_t* ports;
    unsigned operand;
    std::uint32_t pc_pair;  // PC in both halves, where the monitor reads it
    unsigned pointer;       // lda, ldaw, sta, staw: the word the operand names
};
using Core = CoreOf<false>;
using FlowCore = CoreOf<true>;

// A block runs only where its first instruction's test found room on the
// stack for all of it, so its pushes and pops test nothing. (The handlers
// find these by argument-dependent lookup, as more specialized than the
// machine's own.)
template <bool FLOW>
inline void push_byte(CoreOf<FLOW>& m, unsigned value) {
    m.memory[m.SP] = static_cast<std::uint8_t>(value);
    --m.SP;
}
template <bool FLOW>
inline unsigned pop_byte(CoreOf<FLOW>& m) {
    ++m.SP;
    return m.memory[m.SP];
}
template <bool FLOW>
inline unsigned operand_byte(const CoreOf<FLOW>& m) {
    return m.operand & 0xFF;
}
template <bool FLOW>
inline unsigned operand_word(const CoreOf<FLOW>& m) {
    return m.operand;
}
// Read once per instruction by its body, for the monitor, the store's
// target and the handler alike: both of its bytes exist (decoded only then).
template <bool FLOW>
inline unsigned read_pointer(const CoreOf<FLOW>& m, unsigned) {
    return m.pointer;
}
// A decoded instruction lies wholly in the program area: PC cannot wrap.
template <bool FLOW>
inline void advance_pc(CoreOf<FLOW>& m, std::uint8_t opcode) {
    if constexpr (FLOW) m.PC += OpcodeTable[opcode].length;
}

// How an instruction is decoded.
enum class Kind : std::uint8_t {
    LITERAL,  // not decoded: left to the instruction-by-instruction loop
    LEAN,     // cannot stop the run once its block has stack room
    SINGLE,   // may stop the run (a pointer, a division): sets PC and IR first
    FLOW,     // moves PC: ends its block
};

constexpr Kind kind_of(std::uint8_t opcode) {
    const OpcodeEntry& row = OpcodeTable[opcode];
    if (!row.defined() || row.reaches_io()) return Kind::LITERAL;
    if (row.flow != Flow::NEXT) return Kind::FLOW;
    return row.reads_pointer() || opcode == OP_DIV || opcode == OP_DIVW ? Kind::SINGLE : Kind::LEAN;
}

// Bytes at the operand word that ldd, lddw, std and stdw touch, and the
// pointer word of lda, ldaw, sta and staw; decoded only when all of them
// exist, so that reading them cannot stop the run.
constexpr unsigned direct_bytes(std::uint8_t opcode) {
    const OpcodeEntry& row = OpcodeTable[opcode];
    return row.reads_pointer() ? 2 : row.read_width() + row.store_width();
}
// Of those, the ones whose handler reads them where they stand.
constexpr bool direct_access(std::uint8_t opcode) {
    return !OpcodeTable[opcode].reads_pointer() && direct_bytes(opcode) != 0;
}

// Whether a jump, call or jmr at p goes to an address in the program area
// (always true of the other instructions): only then is it decoded, so
// that a decoded one never stops the run.
inline bool target_in_program(std::uint8_t opcode, unsigned p, const std::uint8_t* memory) {
    const OpcodeEntry& row = OpcodeTable[opcode];
    if (opcode == OP_JMR) return p + memory[p + 1] < static_cast<unsigned>(MAX_MEMORY);
    if (row.flow == Flow::JUMP || row.flow == Flow::BRANCH || row.flow == Flow::CALL)
        return load_word(memory, p + 1) < static_cast<unsigned>(MAX_MEMORY);
    return true;
}

constexpr std::size_t MAX_BLOCK = 32;     // instructions in a block
constexpr unsigned MAX_BLOCK_BYTES = 64;  // from a block's first byte to its last opcode
constexpr unsigned MAX_EXTENT = MAX_BLOCK_BYTES + 3;

// When a block may run: SP - low <= span (64-bit).
struct StackTest {
    std::uint16_t low;
    std::uint16_t span;
};
constexpr StackTest ANY_SP{0, 0xFFFF};  // a block that uses no stack
constexpr StackTest NO_SP{0xFFFF, 0};   // never: not decoded, no room, or not noted yet

// One decoded instruction, at the address that indexes it. A block is the
// instructions from a slot to the end of the run it was decoded in; count,
// clocks and the stack test are those of all of them.
struct Slot {
    const void* body = nullptr;   // the handler; null: not decoded
    const void* chain = nullptr;  // after a body that falls through: the next
                                  // one's body in the block, or the entry
    // The slot's address in both halves: the low one is PC for a handler
    // that reads it, the pair the origins of a word it pushes (one store).
    std::uint32_t pc_pair = 0;
    std::uint16_t clocks = 0;  // instructions' from here to the block's end
    // The block's stack test: an empty slot never runs. Marked, a block
    // runs only once noted in the marks: from the SP it was noted for
    // (span 0), or any if it uses no stack, until the run ends (marks are
    // only ever set during a run, so the same block from the same SP needs
    // no second note).
    std::uint16_t low = NO_SP.low;
    std::uint16_t span = NO_SP.span;
    std::uint16_t operand = 0;     // the word after the opcode
    std::uint8_t count = 0;        // instructions from here to the block's end
    std::uint8_t last_opcode = 0;  // the block's last instruction's
    unsigned pc() const { return pc_pair & 0xFFFF; }
    StackTest test() const { return {low, span}; }
    void set_test(StackTest t) {
        low = t.low;
        span = t.span;
    }
};
static_assert(MAX_BLOCK <= 0xFF);
// 32 bytes where pointers are 8 (24 in the page's WebAssembly, where they are 4).
static_assert(sizeof(Slot) == 2 * sizeof(void*) + 16);

// The decoded program, kept from one run to the next: a run first compares
// the code bytes with those it was decoded from (`shadow`) and drops the
// slots of every byte that changed in between.
struct Cache {
    std::array<Slot, MAX_MEMORY> slots{};
    std::array<std::uint8_t, MEMORY_SIZE + 1> covered{};  // 1: a decoded instruction's byte
    std::array<std::uint8_t, MAX_MEMORY> shadow{};
    // Monitored: the monitor decoded for, and its passed opcodes as decoded.
    const FindingMonitor* owner = nullptr;
    std::array<std::uint8_t, MAX_MEMORY> passed{};
    // Per slot, for what is seldom read: the bytes from it to its block's
    // end, and the opcode of the instruction before it in the block.
    std::array<std::uint8_t, MAX_MEMORY> extent{};
    std::array<std::uint8_t, MAX_MEMORY> prev_opcode{};
    // The lowest and highest SP offsets from a slot to its block's end, and
    // whether a block runs into it from an instruction before (1) or it
    // begins every block it is in (0): for a block decoded later that
    // runs on into it.
    std::array<std::int16_t, MAX_MEMORY> rest_low{};
    std::array<std::int16_t, MAX_MEMORY> rest_high{};
    std::array<std::uint8_t, MAX_MEMORY> joined{};
    // Marked: the slots noted during this run, each once.
    std::array<std::uint8_t, MAX_MEMORY> noted{};
    std::array<std::uint16_t, MAX_MEMORY> noted_list{};
    std::size_t noted_count = 0;
    unsigned first = MAX_MEMORY;  // covered bytes lie in first..last
    unsigned last = 0;

    void clear() {
        slots.fill(Slot{});
        covered.fill(0);
        first = MAX_MEMORY;
        last = 0;
    }
};

// Drops every slot whose block holds the byte at `address`: the byte takes
// effect when its instruction is next decoded.
void drop(Cache& c, unsigned address) {
    if (address >= MAX_MEMORY || c.covered[address] == 0) return;
    unsigned from = address >= MAX_EXTENT ? address - MAX_EXTENT : 0;
    for (unsigned p = from; p <= address; ++p) {
        if (c.slots[p].body != nullptr && p + c.extent[p] > address) c.slots[p] = Slot{};
    }
}

// Brings the cache in line with memory (and the monitor's passed opcodes)
// as the run finds them.
void revalidate(Cache& c, const std::uint8_t* memory, const FindingMonitor* monitor) {
    if (monitor != c.owner) {
        c.clear();
        c.owner = monitor;
    }
    if (c.first > c.last) return;
    if (monitor != nullptr) {
        for (unsigned b = c.first; b <= c.last; ++b) {
            if (c.passed[b] != monitor->passed_opcode(b)) {
                drop(c, b);
                // A block that ended before b, which was not passed then:
                // decoded again, it may run on through b.
                if (b > 0) drop(c, b - 1);
                c.passed[b] = monitor->passed_opcode(b);
            }
        }
    }
    std::size_t size = c.last - c.first + 1;
    if (std::memcmp(memory + c.first, c.shadow.data() + c.first, size) == 0) return;
    for (unsigned b = c.first; b <= c.last; ++b) {
        if (c.shadow[b] != memory[b]) {
            drop(c, b);
            c.shadow[b] = memory[b];
        }
    }
}

// A block's stack test from the lowest and highest SP offsets of its
// instructions (both 0: it uses no stack).
constexpr StackTest stack_test(int low, int high) {
    if (low == 0 && high == 0) return ANY_SP;
    int from = STACK_BOTTOM - low;
    int to = STACK_TOP - high;
    if (from > to) return NO_SP;
    return {static_cast<std::uint16_t>(from), static_cast<std::uint16_t>(to - from)};
}

// Decodes the block from `pc`: instructions up to the first jump, call or
// ret, undecodable one, or the size limits, or up to a slot already
// decoded. A slot is written only while empty, so that every block that
// runs through it agrees on the rest. When the slot reached begins a
// block that nothing runs into yet (the run may have come there first after
// a literal step), the new block runs on into it, both within the limits
// of one block.
// False when the instruction at pc is not decoded.
// Monitored, only instructions the monitor has passed; marked, the slots
// run only once noted.
[[gnu::noinline]] bool decode(Cache& c, const std::uint8_t* memory, unsigned pc,
                              const void* const* bodies, const void* enter,
                              const FindingMonitor* monitor) {
    std::array<std::uint16_t, MAX_BLOCK> at{};
    std::size_t n = 0;
    unsigned p = pc;
    bool joins = false;  // runs on into the block decoded from p
    while (n < MAX_BLOCK && p - pc <= MAX_BLOCK_BYTES) {
        if (n > 0 && c.slots[p].body != nullptr) {
            joins = c.joined[p] == 0 && n + c.slots[p].count <= MAX_BLOCK &&
                    p - pc + c.extent[p] <= MAX_EXTENT;
            break;
        }
        std::uint8_t opcode = memory[p];
        const OpcodeEntry& row = OpcodeTable[opcode];
        Kind kind = kind_of(opcode);
        if (kind == Kind::LITERAL || p + row.length >= static_cast<unsigned>(MAX_MEMORY)) break;
        if (monitor != nullptr && monitor->passed_opcode(p) != opcode) break;
        unsigned bytes = direct_bytes(opcode);
        if (bytes != 0 && load_word(memory, p + 1) + bytes > static_cast<unsigned>(MEMORY_SIZE))
            break;
        if (!target_in_program(opcode, p, memory)) break;
        at[n++] = static_cast<std::uint16_t>(p);
        p += row.length;
        if (kind == Kind::FLOW) break;
    }
    if (n == 0) return false;
    unsigned end = p;
    std::uint8_t last_opcode = memory[at[n - 1]];
    // From the last instruction back: each slot's block is the rest of this one.
    std::uint32_t count = 0;
    std::uint32_t clocks = 0;
    int low = 0;   // the lowest and highest SP offsets the rest reaches
    int high = 0;  // (pops raise SP, pushes lower it; both 0: no stack used)
    const void* chain = enter;
    if (joins) {
        const Slot& next = c.slots[p];
        end = p + c.extent[p];
        last_opcode = next.last_opcode;
        count = next.count;
        clocks = next.clocks;
        low = c.rest_low[p];
        high = c.rest_high[p];
        chain = next.body;
        c.joined[p] = 1;
        c.prev_opcode[p] = memory[at[n - 1]];
    }
    for (std::size_t i = n; i-- > 0;) {
        unsigned a = at[i];
        const OpcodeEntry& row = OpcodeTable[memory[a]];
        int d = int{row.pops} - int{row.pushes};
        high = std::max({0, int{row.pops}, d + high});
        low = std::min(0, d + low);
        c.rest_low[a] = static_cast<std::int16_t>(low);
        c.rest_high[a] = static_cast<std::int16_t>(high);
        c.joined[a] = i > 0 ? 1 : 0;
        Slot& s = c.slots[a];
        s.body = bodies[memory[a]];
        s.chain = chain;
        s.count = ++count;
        s.clocks = clocks += row.clocks;
        c.extent[a] = static_cast<std::uint8_t>(end - a);
        s.last_opcode = last_opcode;
        c.prev_opcode[a] = i > 0 ? memory[at[i - 1]] : 0;
        s.operand = static_cast<std::uint16_t>(memory[a + 1] | memory[a + 2] << 8);
        s.pc_pair = a | a << 16;
        s.set_test(stack_test(low, high));
        chain = s.body;
        for (unsigned b = a; b < a + row.length; ++b) {
            c.covered[b] = 1;
            c.shadow[b] = memory[b];
            if (monitor != nullptr) c.passed[b] = monitor->passed_opcode(b);
        }
    }
    c.first = std::min(c.first, pc);
    c.last = std::max(c.last, end - 1);
    return true;
}

// Whether the block from slot p has stack room from `sp`; marked, by its
// instructions rather than by its slot's test (which stands for the note).
inline bool room(const Cache& c, unsigned p, std::uint64_t sp, bool marked) {
    StackTest test = marked ? stack_test(c.rest_low[p], c.rest_high[p]) : c.slots[p].test();
    return sp - test.low <= test.span;
}

// What note_instruction reads of the machine.
struct NotedMachine {
    unsigned PC;
    unsigned SP;
    const std::uint8_t* memory;
};

// A row as the block notes it: all but a store through a pointer, whose
// target the instruction notes when it runs (the pointer may change
// within the block).
constexpr OpcodeEntry without_pointed_store(OpcodeEntry row) {
    if (row.stores_through_pointer()) row.store = Store::NONE;
    return row;
}

// Notes in `marks` every instruction of the block from `pc`, entered with
// SP `sp`, as note_instruction would before each.
[[gnu::noinline]] void note_block(RunMarks& marks, const Slot* slots, unsigned pc, unsigned sp,
                                  const std::uint8_t* memory) {
    unsigned count = slots[pc].count;
    for (unsigned k = 0; k < count; ++k) {
        const OpcodeEntry& row = OpcodeTable[memory[pc]];
        note_instruction<true>(marks, without_pointed_store(row), NotedMachine{pc, sp, memory});
        sp = sp + row.pops - row.pushes;
        pc += row.length;
    }
}

// Marked, the slots of the block just decoded from p run only once noted.
[[gnu::noinline]] void unnoted(Cache& c, unsigned p, const std::uint8_t* memory) {
    for (unsigned k = c.slots[p].count; k > 0; --k) {
        c.slots[p].set_test(NO_SP);
        p += OpcodeTable[memory[p]].length;
    }
}

// Marked, a block decoded but not yet noted for this SP, with room and the
// count left for all of it: noted, and from then on run from this SP (or
// any, when it uses no stack) until the run ends. False when it cannot run.
[[gnu::noinline]] bool note_on_entry(Cache& c, RunMarks& marks, unsigned p, std::uint64_t sp,
                                     std::uint64_t left, const std::uint8_t* memory) {
    Slot& s = c.slots[p];
    StackTest test = stack_test(c.rest_low[p], c.rest_high[p]);
    if (sp - test.low > test.span || s.count > left) return false;
    note_block(marks, c.slots.data(), p, static_cast<unsigned>(sp), memory);
    s.set_test(test.span == ANY_SP.span ? ANY_SP : StackTest{static_cast<std::uint16_t>(sp), 0});
    if (c.noted[p] == 0) {
        c.noted[p] = 1;
        c.noted_list[c.noted_count++] = static_cast<std::uint16_t>(p);
    }
    return true;
}

// One per thread and kind of loop, made at its first run (never inside
// the loop). Its slots hold the addresses of that loop's own bodies, so no
// two kinds share one, even with one monitor (the history runs it with or
// without marks).
template <bool MONITORED, bool MARKED>
Cache& cache() {
    thread_local std::unique_ptr<Cache> made = std::make_unique<Cache>();
    // One per thread, never freed while in use.
    // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDelete)
    return *made;
}

// The decoded loop never calls the program's Io: those instructions are
// not decoded.
struct NoIo {
    void show_port0(unsigned) {}
    void wait_key() {}
    void halt() {}
};

// Why the decoded loop returned.
enum class Exit : std::uint8_t {
    DONE,         // the count is reached
    LITERAL_ONE,  // the instruction at PC is for the literal loop
    LITERAL_REST  // the block at PC is longer than the count left
};

}  // namespace fast_decoded

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"

namespace fast_decoded {
namespace {

// MONITORED: each instruction is shown to the monitor before it runs (one
// it does not pass ends the run before it, its block's rest uncharged),
// MARKED also noted in the marks, and a ret looked at after it ran (one
// that made a finding ends the run after it).
template <bool MONITORED, bool MARKED>
Exit decoded_loop(Machine& machine, std::uint64_t until, Cache& c, FindingMonitor* monitor,
                  RunMarks* marks) {
#define DECODED_LABEL_ADDRESS(opcode, call) &&body_##opcode,
#define DECODED_OPCODE(opcode, call) opcode,
    static const void* const labels[] = {MACHINE_HANDLERS(DECODED_LABEL_ADDRESS)};
    static constexpr std::uint8_t opcodes[] = {MACHINE_HANDLERS(DECODED_OPCODE)};
#undef DECODED_LABEL_ADDRESS
#undef DECODED_OPCODE
    static const std::array<const void*, 256> bodies = [] {
        std::array<const void*, 256> table{};
        for (std::size_t i = 0; i < std::size(opcodes); ++i) {
            if (kind_of(opcodes[i]) != Kind::LITERAL) table[opcodes[i]] = labels[i];
        }
        return table;
    }();

    Core m{machine.PC, machine.SP,     machine.IR,    machine.Z, machine.S, machine.O,
           machine.C,  machine.memory, machine.ports, 0,         0,         0};
    std::uint64_t left = until - machine.instruction_count;
    std::uint64_t clocks = machine.clock_count;
    Slot* const slots = c.slots.data();
    const std::uint8_t* const covered = c.covered.data();
    Slot* s = &slots[m.PC];                         // the next instruction's
    const Slot* block = nullptr;                    // the first of the block last entered
    [[maybe_unused]] const Slot* before = nullptr;  // and of the one before it
    unsigned written = 0;  // the first byte a store into decoded code wrote
    unsigned written_bytes = 0;
    Exit exit = Exit::DONE;
    NoIo io;
    // Read from memory at each use, as in the monitored loop: kept in CPU
    // registers they push the machine's registers to memory.
    FindingMonitor* const monitor_at = monitor;
    RunMarks* const marks_at = marks;

    // Every way out puts the registers back (a macro: a lambda would take
    // m's address, which keeps it in memory through the loop). IR is the
    // last instruction's that ran: a block's last, unless a store into
    // decoded code or a stop ended it early (they set IR).
#define DECODED_WRITE_BACK()              \
    machine.registers() = {               \
        static_cast<std::uint16_t>(m.PC), \
        static_cast<std::uint16_t>(m.SP), \
        m.IR,                             \
        m.Z,                              \
        m.S,                              \
        m.O,                              \
        m.C,                              \
        until - left,                     \
        clocks                            \
    }

    try {
        if (left == 0) goto leave;

    enter:
        // A block's first instruction: stack room and the count left for
        // all of it, then charge all of it.
        if (m.SP - s->low > s->span || s->count > left) [[unlikely]]
            goto not_ready;
        left -= s->count;
        clocks += s->clocks;
        // The block before, for IR when this one ends before its first
        // instruction.
        if constexpr (MONITORED) before = block;
        block = s;
        goto * s->body;

    not_ready:
        m.PC = static_cast<std::uint32_t>(s - slots);
        // The count is reached (a block ended exactly there): no literal
        // step either.
        if (left == 0) goto leave;
        if (s->body == nullptr) {
            if (decode(c, m.memory, m.PC, bodies.data(), &&enter, monitor)) {
                if constexpr (MARKED) unnoted(c, m.PC, m.memory);
                goto enter;
            }
            exit = Exit::LITERAL_ONE;
        } else if (MARKED && note_on_entry(c, *marks_at, m.PC, m.SP, left, m.memory)) {
            goto enter;
        } else if (s->count > left && room(c, m.PC, m.SP, MARKED)) {
            exit = Exit::LITERAL_REST;
        } else {
            exit = Exit::LITERAL_ONE;
        }
        goto leave;

        // The bodies. LEAN and SINGLE run the handler and go on along the
        // block (SINGLE sets PC and IR first, for the stop it may raise; a
        // store into decoded code ends the block there). FLOW ends the
        // block, stopping the run when PC left the program area.
        // clang-format off
#define DECODED_BODY(opcode, call)                                                       \
    body_##opcode:                                                                       \
        if constexpr (kind_of(opcode) == Kind::LEAN || kind_of(opcode) == Kind::SINGLE) { \
            constexpr Store STORE = OpcodeTable[opcode].store;                           \
            [[maybe_unused]] unsigned target = MEMORY_SIZE;                              \
            m.operand = s->operand;                                                      \
            if constexpr (direct_access(opcode)) {                                       \
                /* decoded only when all its bytes exist: no test */                     \
                if (m.operand + direct_bytes(opcode) > static_cast<unsigned>(MEMORY_SIZE)) \
                    __builtin_unreachable();                                             \
            }                                                                            \
            if constexpr (OpcodeTable[opcode].reads_pointer()) {                         \
                m.pointer = load_word(m.memory, m.operand);                              \
            }                                                                            \
            if constexpr (kind_of(opcode) == Kind::SINGLE || (opcode) == OP_LDIW ||     \
                          (MONITORED && FindingMonitor::passes_reads_pc<Core>(opcode))) { \
                m.PC = s->pc();                                                          \
            }                                                                            \
            if constexpr (MONITORED && FindingMonitor::passes_reads_pc_pair<Core>(opcode)) { \
                m.pc_pair = s->pc_pair;                                                  \
            }                                                                            \
            if constexpr (MONITORED) {                                                   \
                if (!monitor_at->template passes<opcode>(m)) goto not_passed;            \
            }                                                                            \
            if constexpr (kind_of(opcode) == Kind::SINGLE) m.IR = opcode;                \
            if constexpr (STORE == Store::OPERAND_BYTE || STORE == Store::OPERAND_WORD) {\
                target = m.operand;                                                      \
            } else if constexpr (STORE != Store::NONE) {                                 \
                target = m.pointer;                                                      \
            }                                                                            \
            /* the block noted all but a store through a pointer */                      \
            if constexpr (MARKED && OpcodeTable[opcode].stores_through_pointer()) {      \
                note_store(*marks_at, target, OpcodeTable[opcode].store_width());        \
            }                                                                            \
            call; /* NOLINT(bugprone-macro-parentheses): a statement */                  \
            if constexpr (STORE != Store::NONE) {                                        \
                constexpr unsigned BYTES = OpcodeTable[opcode].store_width();            \
                if ((covered[target] | covered[target + BYTES - 1]) != 0) [[unlikely]] { \
                    m.IR = opcode;                                                       \
                    written = target;                                                    \
                    written_bytes = BYTES;                                               \
                    goto code_written;                                                   \
                }                                                                        \
            }                                                                            \
            const void* next = s->chain;                                                 \
            s += OpcodeTable[opcode].length;                                             \
            goto* next;                                                                  \
        } else if constexpr (kind_of(opcode) == Kind::FLOW) {                            \
            [[maybe_unused]] bool astray = false;                                        \
            if constexpr (MONITORED) {                                                   \
                m.PC = s->pc();                                                          \
                if constexpr (FindingMonitor::passes_reads_pc_pair<Core>(opcode)) {      \
                    m.pc_pair = s->pc_pair;                                              \
                }                                                                        \
                if (!monitor_at->template passes<opcode>(m)) goto not_passed;            \
            }                                                                            \
            Core& core = m;                                                              \
            {                                                                            \
                FlowCore m{static_cast<std::uint32_t>(s - slots), core.SP, opcode,      \
                           core.Z, core.S, core.O, core.C, core.memory, core.ports,      \
                           s->operand, 0, 0};                                            \
                call;                                                                    \
                core.SP = m.SP;                                                          \
                core.PC = m.PC;                                                          \
            }                                                                            \
            if constexpr (MONITORED && (opcode) == OP_RET) {                             \
                astray = !monitor_at->returned(static_cast<unsigned>(s - slots), m.PC,   \
                                               m.memory, until - left);                  \
            }                                                                            \
            if constexpr ((opcode) == OP_RET) {                                          \
                if (m.PC >= static_cast<unsigned>(MAX_MEMORY)) [[unlikely]] {            \
                    m.IR = opcode;                                                       \
                    goto pc_overload;                                                    \
                }                                                                        \
                if (astray) {                                                            \
                    s = &slots[m.PC];                                                    \
                    goto leave;                                                          \
                }                                                                        \
            } else if (m.PC >= static_cast<unsigned>(MAX_MEMORY)) {                      \
                __builtin_unreachable(); /* decoded only with its target in the program */ \
            }                                                                            \
            s = &slots[m.PC];                                                            \
            goto enter;                                                                  \
        } else {                                                                         \
            goto enter;                                                                  \
        }
        MACHINE_HANDLERS(DECODED_BODY)
#undef DECODED_BODY
        // clang-format on

    code_written:
        // The rest of the block was charged but does not run: what it
        // decoded may have changed.
        left += s->count - 1;
        clocks -= s->clocks - OpcodeTable[m.IR].clocks;
        s += OpcodeTable[m.IR].length;
        block = nullptr;
        for (unsigned k = 0; k < written_bytes; ++k) drop(c, written + k);
        goto enter;

    not_passed:
        __attribute__((unused));
        // The monitor must look at this instruction: the run ends before
        // it, which was charged with the rest of its block.
        left += s->count;
        clocks -= s->clocks;
        if (s != block) {
            m.IR = c.prev_opcode[s - slots];
        } else if (before != nullptr) {
            m.IR = before->last_opcode;
        }
        block = nullptr;
        goto leave;

    leave:
        m.PC = static_cast<std::uint32_t>(s - slots);
        if (block != nullptr) m.IR = block->last_opcode;
        DECODED_WRITE_BACK();
        return exit;
    } catch (const MachineStop&) {
        // Only a SINGLE stops the run, with PC and IR set: it and the rest
        // of its block were charged, but do not count.
        left += s->count;
        clocks -= s->clocks;
        DECODED_WRITE_BACK();
        throw;
    }
pc_overload:
    // The jump completed and was charged: it counts.
    DECODED_WRITE_BACK();
    check_pc(machine);
    return Exit::DONE;
#undef DECODED_WRITE_BACK
}

}  // namespace
}  // namespace fast_decoded

#pragma GCC diagnostic pop

namespace fast_decoded {
namespace {

template <bool MONITORED, bool MARKED>
void run_decoded(Machine& machine, std::uint64_t until, FindingMonitor* monitor, RunMarks* marks) {
    Cache& c = cache<MONITORED, MARKED>();
    revalidate(c, machine.memory, monitor);
    // A new run: no block noted in the marks yet.
    if constexpr (MARKED) {
        for (std::size_t k = 0; k < c.noted_count; ++k) {
            unsigned p = c.noted_list[k];
            c.noted[p] = 0;
            if (c.slots[p].body != nullptr) c.slots[p].set_test(NO_SP);
        }
        c.noted_count = 0;
    }
    auto literal = [&](std::uint64_t to) {
        if constexpr (MONITORED) {
            run_fast_literal(machine, to, *monitor, marks);
        } else {
            run_fast_literal(machine, to);
        }
    };
    for (;;) {
        Exit exit = decoded_loop<MONITORED, MARKED>(machine, until, c, monitor, marks);
        if (exit == Exit::DONE) return;
        if (exit == Exit::LITERAL_REST) {
            literal(until);
            return;
        }
        // One instruction by the literal loop; a store it makes into
        // decoded code drops the slots there.
        unsigned pc = machine.PC;
        const OpcodeEntry& row = OpcodeTable[machine.memory[pc]];
        unsigned target = MEMORY_SIZE;
        if (pc + 2 < static_cast<unsigned>(MEMORY_SIZE)) {
            unsigned w = load_word(machine.memory, pc + 1);
            if (row.store == Store::OPERAND_BYTE || row.store == Store::OPERAND_WORD) {
                target = w;
            } else if (row.stores_through_pointer() && w + 1 < static_cast<unsigned>(MEMORY_SIZE)) {
                target = machine.memory[w] | (machine.memory[w + 1] << 8);
            }
        }
        std::uint64_t before = machine.instruction_count;
        std::size_t known = MONITORED ? monitor->findings().size() : 0;
        std::uint32_t epoch = MONITORED ? monitor->passed_epoch() : 0;
        literal(before + 1);
        if (machine.instruction_count == before) return;
        drop(c, target);
        drop(c, target + 1);
        // The monitor took back passed opcodes elsewhere.
        if (MONITORED && monitor->passed_epoch() != epoch) revalidate(c, machine.memory, monitor);
        if (machine.instruction_count == until) return;
        // A ret the monitor found astray ends the run after it.
        if (MONITORED && monitor->findings().size() != known) return;
    }
}

}  // namespace
}  // namespace fast_decoded

void run_fast_decoded(Machine& machine, std::uint64_t until) {
    fast_decoded::run_decoded<false, false>(machine, until, nullptr, nullptr);
}

void run_fast_decoded(Machine& machine, std::uint64_t until, FindingMonitor& monitor,
                      RunMarks* marks) {
    if (marks == nullptr) {
        fast_decoded::run_decoded<true, false>(machine, until, &monitor, nullptr);
    } else {
        fast_decoded::run_decoded<true, true>(machine, until, &monitor, marks);
    }
}
