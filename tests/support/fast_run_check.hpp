// The fast run loop (machine/fast_run.hpp) checked against the one step
// procedure on a given machine, for the random-image test and the run-loop
// fuzz target. Header-only, so that both builds take it as it is.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "machine/fast_run.hpp"
#include "machine/fast_run_decoded.hpp"
#include "machine/findings.hpp"
#include "machine/headless.hpp"
#include "machine/loader.hpp"
#include "machine/stops.hpp"

struct FastRunComparison {
    std::string difference;  // the first one found; "" when the runs agree
    long fast = 0;           // instructions run by run_fast
    long stepped = 0;        // instructions it left to step()
    bool halted = false;
    bool stopped = false;
};

inline bool same_registers(const Registers& a, const Registers& b) {
    return a.PC == b.PC && a.SP == b.SP && a.IR == b.IR && a.Z == b.Z && a.S == b.S && a.O == b.O &&
           a.C == b.C && a.instruction_count == b.instruction_count &&
           a.clock_count == b.clock_count;
}

inline std::string describe_registers(const Registers& m) {
    std::ostringstream text;
    text << "PC=" << m.PC << " SP=" << m.SP << " IR=" << int{m.IR} << " Z=" << int{m.Z}
         << " S=" << int{m.S} << " O=" << int{m.O} << " C=" << int{m.C}
         << " instructions=" << m.instruction_count << " clocks=" << m.clock_count;
    return text.str();
}

// Runs copies of the machine `start` for at most `limit` instructions twice:
// with step() alone, and as the simulator runs it (run_fast up to a count,
// then step() for an instruction run_fast leaves), with counts drawn from
// `seed`: mostly one instruction at a time, sometimes up to 64, sometimes
// the rest. After every run_fast and step() the registers, flags and counts
// must be those step() alone left after as many instructions; at the end
// the memory, ports, port 0 values and the stop (kind, PC, IR) must agree.
inline FastRunComparison compare_fast_run(const Machine& start, int limit, std::uint32_t seed) {
    FastRunComparison result;
    std::ostringstream difference;

    auto r_machine = std::make_unique<Machine>(start);
    Machine& r = *r_machine;
    HeadlessIo r_io;
    std::vector<Registers> after{r};  // after[k]: the registers after k instructions
    std::optional<Stop> r_stop;
    for (int n = 0; n < limit; ++n) {
        r_stop = step_headless(r, r_io);
        if (r_stop) break;
        after.push_back(r);
        if (r.IR == OP_HLT) break;
    }
    auto f_machine = std::make_unique<Machine>(start);
    Machine& f = *f_machine;
    HeadlessIo f_io;
    std::optional<Stop> f_stop;
    const std::uint64_t first = f.instruction_count;
    std::uint32_t random = seed | 1u;
    auto ran = [&] { return static_cast<std::size_t>(f.instruction_count - first); };
    auto agrees = [&](const char* after_what) {
        if (ran() < after.size() && same_registers(f, after[ran()])) return true;
        difference << "after " << after_what << " at instruction " << ran() << ": "
                   << describe_registers(f) << ", step() alone: "
                   << (ran() < after.size() ? describe_registers(after[ran()]) : "stopped before");
        return false;
    };
    while (ran() < static_cast<std::size_t>(limit)) {
        random ^= random << 13;
        random ^= random >> 17;
        random ^= random << 5;
        std::uint32_t count = random % 8 < 4   ? 1
                              : random % 8 < 7 ? 2 + (random >> 8) % 63
                                               : static_cast<std::uint32_t>(limit);
        std::uint64_t until = f.instruction_count + std::min<std::uint64_t>(count, limit - ran());
        std::size_t before = ran();
        try {
            run_fast(f, until);
        } catch (const MachineStop& s) {
            f_stop = s.stop;
            result.fast += static_cast<long>(ran() - before);
            break;
        }
        result.fast += static_cast<long>(ran() - before);
        if (!agrees("run_fast")) break;
        if (f.instruction_count == until) continue;
        f_stop = step_headless(f, f_io);
        if (f_stop) break;
        ++result.stepped;
        if (!agrees("step()")) break;
        if (f.IR == OP_HLT) break;
    }

    if (difference.tellp() == 0) {
        if (f_stop.has_value() != r_stop.has_value()) {
            difference << (r_stop ? "step() alone stopped, the fast run did not"
                                  : "the fast run stopped, step() alone did not");
        } else if (f_stop && (f_stop->kind != r_stop->kind || f_stop->pc != r_stop->pc ||
                              f_stop->ir != r_stop->ir)) {
            difference << "different stops: " << stop_message(*f_stop)
                       << stop_position_line(*f_stop) << " against " << stop_message(*r_stop)
                       << stop_position_line(*r_stop);
        } else if (!same_registers(f, r)) {
            difference << "at the end: " << describe_registers(f)
                       << ", step() alone: " << describe_registers(r);
        } else if (std::memcmp(f.memory, r.memory, sizeof r.memory) != 0) {
            difference << "memory differs at the end";
        } else if (std::memcmp(f.ports, r.ports, sizeof r.ports) != 0) {
            difference << "ports differ at the end";
        } else if (f_io.port0 != r_io.port0) {
            difference << "different port 0 values";
        }
    }
    result.difference = difference.str();
    result.halted = r.IR == OP_HLT && !r_stop;
    result.stopped = r_stop.has_value();
    return result;
}

// The monitored fast run (the debugger's `continue`) against the
// instruction-by-instruction monitored loop, on copies of `start` with a
// monitor each (`loaded` and `code` as the loader gave them): the same run
// lengths as compare_fast_run, an instruction either leaves run with the
// monitor's careful look and step(). After every run the registers and the
// findings must agree; at the end memory, the stack's origins and the
// stop, and every mark the literal loop set must be set (the fast one may
// set more: marks say "may").
inline std::string compare_monitored_run(const Machine& start, const WrittenSet& loaded,
                                         const WrittenSet& code, int limit, std::uint32_t seed) {
    struct Side {
        Side(const Machine& start, const WrittenSet& loaded, const WrittenSet& code)
            : m(std::make_unique<Machine>(start)), monitor(loaded, code) {}
        std::unique_ptr<Machine> m;
        FindingMonitor monitor;
        std::unique_ptr<RunMarks> marks = std::make_unique<RunMarks>();
        HeadlessIo io;
        std::optional<Stop> stop;
        bool done = false;
    };
    Side fast(start, loaded, code);
    Side literal(start, loaded, code);
    auto same_findings = [&] {
        const auto& a = fast.monitor.findings();
        const auto& b = literal.monitor.findings();
        if (a.size() != b.size()) return false;
        for (std::size_t k = 0; k < a.size(); ++k) {
            if (a[k].kind != b[k].kind || a[k].pc != b[k].pc ||
                a[k].instruction != b[k].instruction || a[k].address != b[k].address)
                return false;
        }
        return true;
    };
    // Runs one side up to `until` as the recorded run does: the fast run,
    // and each instruction it leaves with the monitor's careful look and
    // step(); a finding ends the run.
    auto advance = [](Side& s, std::uint64_t until, bool decoded) {
        std::size_t known = s.monitor.findings().size();
        std::optional<Stop> stop = stop_of([&] {
            while (s.m->instruction_count < until && s.monitor.findings().size() == known &&
                   s.m->IR != OP_HLT) {
                if (decoded) {
                    run_fast(*s.m, until, FastStops{}, s.monitor, s.marks.get());
                } else {
                    run_fast_literal(*s.m, until, s.monitor, s.marks.get());
                }
                if (s.m->instruction_count == until || s.monitor.findings().size() != known) return;
                s.monitor.before(*s.m);
                note_instruction(*s.marks, OpcodeTable[s.m->memory[s.m->PC % MEMORY_SIZE]], *s.m);
                step(*s.m, s.io);
            }
        });
        if (stop) s.stop = stop;
        s.done = stop.has_value() || s.m->IR == OP_HLT;
    };
    std::ostringstream difference;
    std::uint32_t random = seed | 1u;
    const std::uint64_t first = start.instruction_count;
    while (!literal.done &&
           literal.m->instruction_count - first < static_cast<std::uint64_t>(limit)) {
        random ^= random << 13;
        random ^= random >> 17;
        random ^= random << 5;
        std::uint64_t until = literal.m->instruction_count + 1 + random % 64;
        advance(fast, until, true);
        advance(literal, until, false);
        if (!same_registers(*fast.m, *literal.m) || fast.done != literal.done) {
            difference << "after a run to " << until << ": " << describe_registers(*fast.m)
                       << ", the literal loop: " << describe_registers(*literal.m);
            return difference.str();
        }
        if (!same_findings()) return "different findings";
    }
    if (fast.stop.has_value() != literal.stop.has_value() ||
        (fast.stop && (fast.stop->kind != literal.stop->kind || fast.stop->pc != literal.stop->pc)))
        return "different stops";
    if (std::memcmp(fast.m->memory, literal.m->memory, sizeof start.memory) != 0)
        return "memory differs at the end";
    if (fast.monitor.stack_origins().pushed_by != literal.monitor.stack_origins().pushed_by)
        return "stack origins differ at the end";
    for (std::size_t a = 0; a < MEMORY_SIZE; ++a) {
        if ((literal.marks->began[a] > fast.marks->began[a]) ||
            (literal.marks->written[a] > fast.marks->written[a]))
            return "a mark of the literal loop is missing at " + std::to_string(a);
    }
    return "";
}

// A program built from the stack-code shapes the decoded loop runs as
// blocks (load-load-op-store, load-op-store, compare-jump, calls and
// returns, pointer loads and stores), with stores into its own code, a
// stack that starts empty or near either end, and faults (a division by
// zero, a pointer out of range, a stack that runs over). `choices` picks
// every shape, operand and target; once used up, every pick is 0. The
// program ends in hlt; SP and the flags are set from the first choices.
class ShapedProgram {
public:
    ShapedProgram(const std::uint8_t* choices, std::size_t size)
        : next_(choices), end_(choices + size) {}

    void build(Machine& m) {
        unsigned sp_shape = pick(8);
        m.SP = static_cast<std::uint16_t>(sp_shape == 0   ? 0
                                          : sp_shape == 1 ? STACK_BOTTOM + pick(24)
                                          : sp_shape == 2 ? STACK_TOP - pick(8)
                                                          : STACK_BOTTOM + 0x800);
        unsigned flags = pick(16);
        m.Z = flags & 1;
        m.S = (flags >> 1) & 1;
        m.O = (flags >> 2) & 1;
        m.C = (flags >> 3) & 1;
        // Mostly pointers to the variables, some any word (a fault or a store into the code).
        for (unsigned a = DATA; a < DATA + 64; a += 2) {
            unsigned word = pick(4) != 0 ? DATA + 2 * pick(32) : any_word();
            m.memory[a] = static_cast<std::uint8_t>(word);
            m.memory[a + 1] = static_cast<std::uint8_t>(word >> 8);
        }
        while (pc_ + 16 < DATA && next_ != end_) shape(m);
        m.memory[pc_] = OP_HLT;
    }
    // The program's bytes are 0 to end() - 1; its variables DATA to DATA + 63.
    unsigned end() const { return pc_ + 1; }
    // As the loader would give them: the program and its variables loaded,
    // the program as code.
    void written(WrittenSet& loaded, WrittenSet& code) const {
        for (unsigned a = 0; a < end(); ++a) code.set(a);
        loaded = code;
        for (unsigned a = DATA; a < DATA + 64; ++a) loaded.set(a);
    }
    static constexpr unsigned DATA = 0x2F00;

private:
    // Every pick is a statement of its own, or sequenced as a function's
    // argument list is not: the same choices build the same program under
    // every compiler.
    unsigned pick(unsigned n) { return next_ == end_ ? 0 : *next_++ % n; }
    unsigned any_word() {
        unsigned low = pick(256);
        return low | pick(256) << 8;
    }

    // A word to load or store: mostly a variable, sometimes a byte of the
    // code already built (a store there rewrites it), sometimes the end
    // of memory.
    unsigned address() {
        unsigned kind = pick(8);
        if (kind < 5 || starts_.empty()) return DATA + 2 * pick(32);
        if (kind < 7) {
            unsigned start = starts_[pick(static_cast<unsigned>(starts_.size()))];
            return start + pick(3);
        }
        return MEMORY_SIZE - 1 - pick(2);
    }
    void emit(Machine& m, std::uint8_t opcode, unsigned operand = 0) {
        starts_.push_back(pc_);
        m.memory[pc_] = opcode;
        unsigned length = OpcodeTable[opcode].length;
        if (length > 1) m.memory[pc_ + 1] = static_cast<std::uint8_t>(operand);
        if (length > 2) m.memory[pc_ + 2] = static_cast<std::uint8_t>(operand >> 8);
        pc_ += length;
    }
    void load(Machine& m, bool word) {
        switch (pick(3)) {
            case 0: emit(m, word ? OP_LDIW : OP_LDI, any_word()); break;
            case 1: emit(m, word ? OP_LDDW : OP_LDD, address()); break;
            default: emit(m, word ? OP_LDAW : OP_LDA, DATA + 2 * pick(32)); break;
        }
    }
    void store(Machine& m, bool word) {
        unsigned kind = pick(4);
        if (kind == 3) {
            emit(m, word ? OP_STAW : OP_STA, DATA + 2 * pick(32));
        } else {
            emit(m, word ? OP_STDW : OP_STD, address());
        }
    }
    std::uint8_t jump() {
        static constexpr std::uint8_t jumps[] = {OP_JZ,  OP_JNZ, OP_JO,  OP_JNO, OP_JC,
                                                 OP_JNC, OP_JS,  OP_JNS, OP_JMP};
        return jumps[pick(std::size(jumps))];
    }
    // Mostly a little ahead, sometimes back to an instruction already built
    // (a loop).
    unsigned target() {
        if (starts_.empty() || pick(4) != 0) return pc_ + 3 + pick(8);
        return starts_[pick(static_cast<unsigned>(starts_.size()))];
    }
    void jump_to(Machine& m) {
        std::uint8_t opcode = jump();
        emit(m, opcode, target());
    }
    void shape(Machine& m) {
        static constexpr std::uint8_t binary[] = {OP_ADD, OP_SUB, OP_MUL, OP_DIV,
                                                  OP_AND, OP_OR,  OP_XOR, OP_CMP};
        static constexpr std::uint8_t unary[] = {OP_INC, OP_DEC, OP_NOT, OP_SHL,
                                                 OP_SHR, OP_ROL, OP_ROR, OP_NOP};
        bool word = pick(2) == 1;
        auto wide = [word](std::uint8_t op) {
            return static_cast<std::uint8_t>(word && op != OP_NOP ? op + 1 : op);
        };
        switch (pick(9)) {
            case 0:  // load-load-op-store
                load(m, word);
                load(m, word);
                emit(m, wide(binary[pick(std::size(binary))]));
                store(m, word);
                break;
            case 1:  // load-op-store, then a jump
                load(m, word);
                emit(m, wide(unary[pick(std::size(unary))]));
                store(m, word);
                if (pick(2) == 0) jump_to(m);
                break;
            case 2:  // load-load-compare-jump
                load(m, word);
                load(m, word);
                emit(m, wide(OP_CMP));
                jump_to(m);
                break;
            case 3:  // op-store
                emit(m, wide(binary[pick(std::size(binary))]));
                store(m, word);
                break;
            case 4:  // a call to the next instruction, a return later
                emit(m, pick(2) == 0 ? OP_CALL : OP_RET, pc_ + 3);
                break;
            case 5:  // a run of pushes or pops towards either end of the stack
                for (unsigned k = pick(16); k > 0; --k) emit(m, word ? OP_LDIW : OP_LDI, pick(256));
                break;
            case 6:
                for (unsigned k = pick(16); k > 0; --k) emit(m, word ? OP_STDW : OP_STD, DATA);
                break;
            case 7:  // any byte at all, now and then
                if (pick(4) == 0) {
                    auto opcode = static_cast<std::uint8_t>(pick(256));
                    emit(m, opcode, any_word());
                }
                break;
            default:  // loads to keep the stack fed
                load(m, word);
                load(m, word);
                break;
        }
    }

    const std::uint8_t* next_;
    const std::uint8_t* end_;
    unsigned pc_ = 0;
    std::vector<unsigned> starts_;
};
