// The run's history (machine/history.hpp) against fresh forward runs. Random
// looping programs are recorded in pieces of random sizes under a history
// with a small grain and budget, so that snapshots are taken and thinned
// many times; then goto and back to random steps must give exactly the
// machine (registers, flags, counts, memory, ports) and port 0 count of a
// fresh machine run that many steps with step() alone, and the searches
// backwards the last change of a byte and the last breakpoint hit that run
// shows. Half the runs count past 2^32; half are recorded with the finding
// monitor, as the debugger records new ground, so that the searches pass over
// the stretches their summaries rule out.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "machine/findings.hpp"
#include "machine/headless.hpp"
#include "machine/history.hpp"
#include "machine/loader.hpp"

namespace {

// A program that loops until a counter byte runs out, then halts or stops
// (division by zero): blocks of stack-neutral work on a small data area,
// ports and a subroutine, picked at random.
std::unique_ptr<Machine> random_program(std::mt19937& random, std::size_t& code_size) {
    auto m = std::make_unique<Machine>();
    machine_reset(*m);
    std::vector<std::uint8_t> code;
    auto emit = [&](std::uint8_t op, unsigned operand = 0) {
        code.push_back(op);
        if (OpcodeTable[op].length >= 2) code.push_back(operand & 0xFF);
        if (OpcodeTable[op].length == 3) code.push_back((operand >> 8) & 0xFF);
    };
    constexpr unsigned DATA = 0x2000, COUNTER = 0x2100, SUBROUTINE = 0x1000;
    auto data = [&] { return DATA + random() % 32; };
    constexpr std::uint8_t BYTE_OPS[] = {OP_ADD, OP_SUB, OP_MUL, OP_AND, OP_OR, OP_XOR, OP_CMP};
    constexpr std::uint8_t WORD_OPS[] = {OP_ADDW, OP_SUBW, OP_MULW, OP_ANDW, OP_ORW, OP_XORW};
    constexpr std::uint8_t UNARY_OPS[] = {OP_INC, OP_DEC, OP_NOT, OP_SHL, OP_SHR, OP_ROL, OP_ROR};
    int blocks = 3 + static_cast<int>(random() % 10);
    for (int b = 0; b < blocks; ++b) {
        switch (random() % 6) {
            case 0:
                emit(OP_LDD, data());
                emit(OP_LDI, random());
                emit(BYTE_OPS[random() % std::size(BYTE_OPS)]);
                emit(OP_STD, data());
                break;
            case 1:
                emit(OP_LDDW, data());
                emit(OP_LDDW, data());
                emit(WORD_OPS[random() % std::size(WORD_OPS)]);
                emit(OP_STDW, data());
                break;
            case 2:
                emit(OP_LDD, data());
                emit(UNARY_OPS[random() % std::size(UNARY_OPS)]);
                emit(OP_STD, data());
                break;
            case 3:
                emit(OP_LDD, data());
                emit(OP_OUT, random() % 2 == 0 ? 0 : 2 + random() % 200);
                emit(OP_IN, 2 + random() % 200);
                emit(OP_STD, data());
                break;
            case 4: emit(OP_CALL, SUBROUTINE); break;
            default: {
                // A conditional jump over the next block start, either way.
                emit(OP_LDD, data());
                emit(OP_LDI, random());
                emit(OP_CMP);
                unsigned next = static_cast<unsigned>(code.size()) + 3;
                emit(random() % 2 == 0 ? OP_JZ : OP_JC, next);
                break;
            }
        }
    }
    emit(OP_LDD, COUNTER);
    emit(OP_DEC);
    emit(OP_STD, COUNTER);
    emit(OP_JNZ, 0);
    if (random() % 2 == 0) {
        emit(OP_LDI, 0);
        emit(OP_LDI, 0);
        emit(OP_DIV);
    }
    emit(OP_HLT);
    std::copy(code.begin(), code.end(), m->memory);
    code_size = code.size();
    m->memory[SUBROUTINE] = OP_LDD;
    m->memory[SUBROUTINE + 1] = DATA & 0xFF;
    m->memory[SUBROUTINE + 2] = DATA >> 8;
    m->memory[SUBROUTINE + 3] = OP_INC;
    m->memory[SUBROUTINE + 4] = OP_STD;
    m->memory[SUBROUTINE + 5] = (DATA + 1) & 0xFF;
    m->memory[SUBROUTINE + 6] = (DATA + 1) >> 8;
    m->memory[SUBROUTINE + 7] = OP_RET;
    for (unsigned a = DATA; a < DATA + 33; ++a) m->memory[a] = static_cast<std::uint8_t>(random());
    m->memory[COUNTER] = static_cast<std::uint8_t>(20 + random() % 200);
    return m;
}

// What a query found, to be compared with the fresh run at its step.
struct Found {
    std::unique_ptr<Machine> machine;
    std::uint64_t outputs;
    std::vector<std::optional<std::uint64_t>> last_change;  // of each watched byte, up to the step
    std::optional<std::uint64_t> last_break;                // before the step
};

TEST(History, GotoAndBackGiveWhatAFreshRunGives) {
    std::mt19937 random(97531);
    // Data bytes, the counter, and the stack bytes of the return address.
    constexpr std::uint16_t WATCHED[] = {0x2000, 0x2001, 0x2100, 0x3FFD, 0x3FFE};
    constexpr unsigned PIECES[] = {1, 7, 100, 5000};
    int thinned = 0, ended_stopped = 0, ended_halted = 0, monitored = 0;
    for (int program = 0; program < 24; ++program) {
        SCOPED_TRACE(program);
        std::size_t code_size = 0;
        std::unique_ptr<Machine> start = random_program(random, code_size);
        std::unique_ptr<FindingMonitor> monitor;
        if (program % 4 >= 2) {
            WrittenSet loaded, code;
            for (std::size_t a = 0; a < code_size; ++a) code.set(a);
            for (unsigned a = 0x1000; a < 0x1008; ++a) code.set(a);
            loaded = code;
            for (unsigned a = 0x2000; a <= 0x2100; ++a) loaded.set(a);
            monitor = std::make_unique<FindingMonitor>(loaded, code);
            ++monitored;
        }
        // Half the runs start with counts just short of 2^32, which they
        // pass without wrapping.
        if (program % 2 == 1) {
            start->instruction_count = (std::uint64_t{1} << 32) - 700;
            start->clock_count = (std::uint64_t{1} << 32) - 3000;
        }
        History history(64, 8);
        // One monitored run in four keeps no summaries (as the web page).
        history.summarised = program % 8 != 6;
        auto m = std::make_unique<Machine>(*start);
        history.begin(*m);
        HeadlessIo io;
        RunOutcome outcome{RunEnd::LIMIT, std::nullopt};
        while ((outcome.end == RunEnd::LIMIT || outcome.end == RunEnd::BREAKPOINT) &&
               history.step() < 40000) {
            outcome =
                history.run(*m, io, PIECES[random() % std::size(PIECES)], nullptr, monitor.get());
        }
        ASSERT_LE(history.snapshot_count(), 64u + 32u);
        thinned += history.recorded() / 8 > 64;
        ended_halted += outcome.end == RunEnd::HALTED;
        ended_stopped += outcome.end == RunEnd::STOPPED;
        const std::uint64_t end = history.recorded();
        EXPECT_EQ(io.port0.size(), history.outputs());

        // A byte nothing writes: recorded with the monitor and summaries,
        // the search runs again only the last stretch, which has no summary
        // yet; without them, every stretch.
        {
            std::uint16_t never = 0x2FF0;
            std::uint8_t unused = 0;
            int pieces = 0;
            SearchControl control;
            control.progress = [&](std::uint64_t, std::uint64_t) { ++pieces; };
            auto scratch = std::make_unique<Machine>();
            EXPECT_EQ(
                history.last_stop(*scratch, end, FastStops{nullptr, &never, &unused, 1}, &control),
                std::nullopt);
            if (monitor && history.summarised) {
                EXPECT_LE(pieces, 1);
            } else {
                EXPECT_EQ(pieces, static_cast<int>(history.snapshot_count()));
            }
        }

        // A breakpoint at the address of some instruction the run passes.
        std::uint8_t breaks[MAX_MEMORY]{};
        unsigned break_at = static_cast<unsigned>(random() % 24);
        breaks[break_at] = 1;
        auto scratch = std::make_unique<Machine>();
        std::map<std::uint64_t, Found> found;
        for (int query = 0; query < 40; ++query) {
            std::uint64_t target;
            if (random() % 2 == 0) {
                target = random() % (end + 1);
                history.go_to(*m, target);
            } else {
                std::uint64_t back = random() % (history.step() + 2);
                target = back > history.step() ? 0 : history.step() - back;
                history.go_to(*m, target);
            }
            ASSERT_EQ(history.step(), target);
            std::uint8_t unused = 0;
            std::vector<std::optional<std::uint64_t>> changes;
            for (const std::uint16_t& watched : WATCHED)
                changes.push_back(
                    history.last_stop(*scratch, target, FastStops{nullptr, &watched, &unused, 1}));
            Found f{std::make_unique<Machine>(*m), history.outputs(), changes,
                    target > 0 ? history.last_stop(*scratch, target - 1,
                                                   FastStops{breaks, nullptr, nullptr, 0})
                               : std::nullopt};
            found.insert_or_assign(target, std::move(f));
        }

        // The fresh run, compared at every step a query reached.
        auto fresh = std::make_unique<Machine>(*start);
        HeadlessIo fresh_io;
        std::vector<std::optional<std::uint64_t>> last_change(std::size(WATCHED));
        std::optional<std::uint64_t> last_break, break_before;
        for (std::uint64_t t = 0;; ++t) {
            if (auto at = found.find(t); at != found.end()) {
                SCOPED_TRACE(t);
                EXPECT_TRUE(*at->second.machine == *fresh);
                EXPECT_EQ(at->second.machine->registers(), fresh->registers());
                // (A stop, the last step, is not counted.)
                if (t < end) {
                    EXPECT_EQ(fresh->instruction_count, start->instruction_count + t);
                }
                EXPECT_EQ(at->second.outputs, fresh_io.port0.size());
                EXPECT_EQ(at->second.last_change, last_change);
                EXPECT_EQ(at->second.last_break, last_break == t ? break_before : last_break);
            }
            if (t == end) break;
            std::vector<std::uint8_t> before;
            for (std::uint16_t a : WATCHED) before.push_back(fresh->memory[a]);
            std::optional<Stop> stop = step_headless(*fresh, fresh_io);
            if (stop) {
                ASSERT_EQ(t + 1, end);
            }
            for (std::size_t k = 0; k < std::size(WATCHED); ++k) {
                if (fresh->memory[WATCHED[k]] != before[k]) last_change[k] = t + 1;
            }
            if (!stop && breaks[fresh->PC] != 0) {
                break_before = last_break;
                last_break = t + 1;
            }
        }
    }
    // Long runs that thinned their snapshots, and both endings.
    EXPECT_GT(thinned, 12);
    EXPECT_GT(ended_halted, 0);
    EXPECT_GT(ended_stopped, 0);
    EXPECT_EQ(monitored, 12);
}

}  // namespace
