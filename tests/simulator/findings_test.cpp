// Findings: each kind shown by one small program, with the instruction,
// lines and addresses it names; the examples make none of the kinds that
// are on by default.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "assemble.hpp"
#include "fast_run_check.hpp"
#include "machine/findings.hpp"
#include "machine/headless.hpp"
#include "machine/history.hpp"
#include "run_program.hpp"

namespace {

struct CheckedRun {
    std::vector<MachineFinding> findings;
    std::vector<std::string> texts;
    Machine machine;
};

// A program loaded into its starting machine, with the monitor's starting
// marks: the bytes placed, and those instruction records placed.
struct LoadedProgram {
    std::unique_ptr<Machine> start = std::make_unique<Machine>();
    WrittenSet loaded;
    WrittenSet code;
};

LoadedProgram loaded_program(const AssemblyResult& program) {
    EXPECT_TRUE(program.ok) << program.error_message;
    LoadedProgram p;
    reset_and_load(*p.start, program.image);
    p.loaded = program.written;
    p.code = program.code;
    return p;
}

// FAST: through the fast loop in slices of 7 instructions, past the end
// turned off and on again between them (as a front end may): each pointer
// word keeps the block it was taken from.
std::unique_ptr<CheckedRun> run_checked(const std::string& source, FindingKinds kinds,
                                        bool fast = false) {
    AssemblyResult program = assemble_source(source);
    LoadedProgram p = loaded_program(program);
    auto run = std::make_unique<CheckedRun>();
    run->machine = *p.start;
    auto monitor = std::make_unique<FindingMonitor>(p.loaded, p.code, kinds);
    monitor->set_blocks(block_spans(program.data_blocks));
    HeadlessIo io;
    if (!fast) {
        run_headless(run->machine, io, 100'000, *monitor);
    } else {
        while (run_headless_fast(run->machine, io, 7, *monitor).end == RunEnd::LIMIT &&
               run->machine.instruction_count < 100'000) {
            monitor->set_kinds(kinds & ~kind_bit(FindingKind::PAST_END));
            monitor->set_kinds(kinds);
        }
    }
    SourceMap source_map = source_map_of(program);
    run->findings = monitor->findings();
    for (const MachineFinding& f : run->findings)
        run->texts.push_back(finding_text(f, &source_map));
    return run;
}

// A subroutine that stores its arguments before saving its return address:
// it saves the two arguments as the return address and returns to 0304.
constexpr const char* WORKED_EXAMPLE =
    "        ldi 3\n"
    "        ldi 4\n"
    "        call mult\n"
    "        out 0\n"
    "        hlt\n"
    "[mult   std a\n"
    "        std b\n"
    "        stdw mret\n"
    "        ldd a\n"
    "        ldd b\n"
    "        mul\n"
    "        lddw mret\n"
    "        ret\n"
    "[a      db 0\n"
    "[b      db 0\n"
    "[mret   dw 0\n";

struct Expected {
    FindingKind kind;
    std::uint32_t instruction;
    std::uint16_t pc;
    std::uint16_t address;
    std::uint16_t related_pc;  // 0 where it has none
};

struct Case {
    const char* name;
    const char* source;
    FindingKinds kinds;
    std::vector<Expected> findings;
    const char* first_text;  // the first finding as reports show it with the source
};

}  // namespace

TEST(Findings, EachKindNamesItsInstructionLinesAndAddresses) {
    using K = FindingKind;
    const Case cases[] = {
        {"return mismatch",
         WORKED_EXAMPLE,
         DEFAULT_FINDING_KINDS,
         {{K::RETURN_MISMATCH, 11, 0x1D, 0x0304, 0x04}, {K::STRAY_PC, 12, 0x0304, 0x0304, 0x1D}},
         "return mismatch at instruction 11, PC 001D (29): ret at line 13 (mult+19) goes to 0304, "
         "but the call at line 3 (to mult) pushed 0007"},
        {"ret with no call open",
         "ldiw 4\nret\nhlt\n",
         DEFAULT_FINDING_KINDS,
         {{K::RETURN_MISMATCH, 2, 3, 4, 0}},
         "return mismatch at instruction 2, PC 0003 (3): ret at line 2 goes to 0004, "
         "but no call is open"},
        {"saved and restored return address",
         "call f\nhlt\n[f stdw r\nlddw r\nret\n[r dw 0\n",
         ALL_FINDING_KINDS,
         {},
         nullptr},
        {"stray PC",
         "jmp 100\nhlt\n",
         DEFAULT_FINDING_KINDS,
         {{K::STRAY_PC, 2, 100, 100, 0}},
         "stray PC at instruction 2, PC 0064 (100): execution left the program at 0064 after the "
         "jmp "
         "at line 1"},
        {"executing data",
         "jmp d\n[d db 65\n",
         DEFAULT_FINDING_KINDS,
         {{K::EXECUTING_DATA, 2, 3, 3, 0}},
         "executing data at instruction 2, PC 0003 (3): hlt at line 2 (d) runs a byte placed by db "
         "or dw, reached by the jmp at line 1"},
        {"executing data after a branch taken",
         "ldi 1\ndec\njz n\nhlt\n[n db 65\n",
         DEFAULT_FINDING_KINDS,
         {{K::EXECUTING_DATA, 4, 7, 7, 3}},
         "executing data at instruction 4, PC 0007 (7): hlt at line 5 (n) runs a byte placed by db "
         "or dw, reached by the jz at line 3"},
        {"executing data after a branch not taken",
         "ldi 1\njz n\n[n db 65\n",
         DEFAULT_FINDING_KINDS,
         {{K::EXECUTING_DATA, 3, 5, 5, 0}},
         "executing data at instruction 3, PC 0005 (5): hlt at line 3 (n) runs a byte placed by db "
         "or dw, running on from line 2"},
        {"writing into code, then running it",
         "ldi 65\nstd p\n[p nop\n",
         DEFAULT_FINDING_KINDS,
         {{K::WRITING_CODE, 2, 2, 5, 0}, {K::EXECUTING_DATA, 3, 5, 5, 0}},
         "writing into code at instruction 2, PC 0002 (2): std at line 2 stores into 0005 (p), a "
         "byte assembled as an instruction"},
        {"reading memory never written",
         "ldd 100\nlda p\nhlt\n[p dw 0\n",
         ALL_FINDING_KINDS,
         {{K::UNWRITTEN_READ, 1, 0, 100, 0}, {K::PAST_END, 2, 3, 0, 0}},
         "reading memory never written at instruction 1, PC 0000 (0): ldd at line 1 reads 0064 "
         "(p+93), which was never written"},
        {"never-written reads are off by default",
         "ldd 100\nhlt\n",
         DEFAULT_FINDING_KINDS,
         {},
         nullptr},
        {"running on past the last instruction",
         "ldi 1\n",
         DEFAULT_FINDING_KINDS,
         {{K::STRAY_PC, 2, 2, 2, 0}},
         "stray PC at instruction 2, PC 0002 (2): execution left the program at 0002, running on "
         "from line 1"},
        {"a kind turned off",
         "jmp 100\nhlt\n",
         DEFAULT_FINDING_KINDS & ~kind_bit(FindingKind::STRAY_PC),
         {},
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CheckedRun> run = run_checked(c.source, c.kinds);
        ASSERT_EQ(run->findings.size(), c.findings.size());
        for (std::size_t i = 0; i < c.findings.size(); ++i) {
            const MachineFinding& got = run->findings[i];
            const Expected& want = c.findings[i];
            EXPECT_EQ(got.kind, want.kind) << i;
            EXPECT_EQ(got.instruction, want.instruction) << i;
            EXPECT_EQ(got.pc, want.pc) << i;
            EXPECT_EQ(got.address, want.address) << i;
            EXPECT_EQ(got.has_related ? got.related_pc : 0, want.related_pc) << i;
        }
        if (c.first_text != nullptr) {
            EXPECT_EQ(run->texts.at(0), c.first_text);
        }
    }
}

// Past the end: which block a pointer word keeps through stores into it,
// and the text. The walk of `walk` reads `left` bytes from `p`, stepping
// with `step` between reads.
TEST(Findings, PastTheEndNamesTheBlockThePointerCameFrom) {
    auto walk = [](const std::string& start, const std::string& step, int left) {
        return start + "\n        stdw p\n        ldi " + std::to_string(left) +
               "\n        std left\n[loop   lda p\n        out 0\n" + step +
               "        ldd left\n        dec\n        std left\n        jnz loop\n"
               "        hlt\n[scores db 1\n        db 2\n        db 3\n[extra  db 9\n"
               "[left   db 0\n[p      dw 0\n[q      dw 0\n";
    };
    const std::string incw = "        lddw p\n        incw\n        stdw p\n";
    const struct {
        std::string source;
        const char* texts;  // every finding, one a line
    } cases[] = {
        // One past a table another label's byte follows.
        {walk("        ldiw scores", incw, 4),
         "past the end at instruction 32, PC 000B (11): lda at line 5 (loop) reads 0025 (extra), "
         "1 past the end of scores (3 bytes, line 15)\n"},
        {walk("        ldiw scores", incw, 3), ""},
        // Inside the block it came from, though the byte starts another label.
        {walk("        ldiw extra", incw, 1), ""},
        // A walk down from the start.
        {walk("        ldiw scores", "        lddw p\n        decw\n        stdw p\n", 2),
         "past the end at instruction 14, PC 000B (11): lda at line 5 (loop) reads 0021 (loop+22), "
         "1 before the start of scores (3 bytes, line 15)\n"},
        // A fresh ldiw takes the pointer to another block; lddw copies one.
        {walk("        ldiw scores", "        ldiw extra\n        stdw p\n", 2), ""},
        {walk("        ldiw scores\n        stdw q\n        lddw q", incw, 4),
         "past the end at instruction 34, PC 0011 (17): lda at line 7 (loop) reads 002B (extra), "
         "1 past the end of scores (3 bytes, line 17)\n"},
        // A pointer to no block at all, and a store through one.
        {walk("        ldiw 8192", incw, 1),
         "past the end at instruction 5, PC 000B (11): lda at line 5 (loop) reads 2000 (q+8151), "
         "outside every data block\n"},
        {"        ldiw t\n        stdw p\n        ldiw 0\n        staw p\n        hlt\n"
         "[t      db 0\n[p      dw 0\n",
         "past the end at instruction 4, PC 0009 (9): staw at line 4 writes 000E (p), 1 past the "
         "end of t (1 byte, line 6)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        for (bool fast : {false, true}) {
            std::unique_ptr<CheckedRun> run =
                run_checked(c.source, kind_bit(FindingKind::PAST_END), fast);
            std::string texts;
            for (const std::string& text : run->texts) texts += text + "\n";
            EXPECT_EQ(texts, c.texts) << (fast ? "fast" : "careful");
        }
    }
}

TEST(Findings, AddressesOnlyWithoutTheSource) {
    MachineFinding f{FindingKind::RETURN_MISMATCH, OP_RET, 0x1D, 11, 0x0304};
    f.has_related = true;
    f.related_pc = 4;
    f.related_address = 7;
    f.related_target = 0x0A;
    EXPECT_EQ(
        finding_text(f, nullptr),
        "return mismatch at instruction 11, PC 001D (29): ret at 001D goes to 0304, but the call "
        "at 0004 (to 000A) pushed 0007");
}

TEST(Findings, TheExamplesMakeNoneOfTheDefaultKinds) {
    int examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR)) {
        if (entry.path().extension() != ".asm") continue;
        ++examples;
        std::unique_ptr<CheckedRun> run =
            run_checked(read_file(entry.path().string()), DEFAULT_FINDING_KINDS);
        EXPECT_EQ(run->texts, std::vector<std::string>{}) << entry.path();
        EXPECT_EQ(run->machine.IR, OP_HLT) << entry.path();
    }
    EXPECT_EQ(examples, 10);
}

namespace {

// A random program in the first PROGRAM_END bytes: instruction records and
// data records whose operands point among the first OPERAND_END addresses,
// so that runs jump, call, return, store and load inside and outside it.

constexpr unsigned PROGRAM_END = 80;
constexpr unsigned OPERAND_END = 112;

LoadedProgram random_program(std::mt19937& random) {
    LoadedProgram p;
    machine_reset(*p.start);
    std::uint8_t* memory = p.start->memory;
    unsigned a = 0;
    while (a < PROGRAM_END) {
        if (random() % 5 == 0) {  // a data record
            memory[a] = static_cast<std::uint8_t>(random());
            p.loaded[a++] = true;
            continue;
        }
        const OpcodeEntry& row = INSTRUCTION_ROWS[random() % DEFINED_INSTRUCTION_COUNT];
        if (row.opcode == OP_HLT && random() % 4 != 0) continue;
        unsigned operand = random() % OPERAND_END;
        for (unsigned k = 0; k < row.length; ++k) {
            memory[a + k] =
                static_cast<std::uint8_t>(k == 0 ? row.opcode : operand >> (8 * (k - 1)));
            p.loaded[a + k] = p.code[a + k] = true;
        }
        a += row.length;
    }
    // Words on the stack, some of them addresses in the program.
    for (int k = 0; k < 8; ++k) push_word(*p.start, random() % OPERAND_END);
    return p;
}

// A loop that turns its inc into dec after the first pass: the fast loop
// must not run the inc it passed before.
LoadedProgram self_modifying_program() {
    std::string source = "ldi 3\nstd n\n[top ldd v\n[op inc\nstd v\nldi " + std::to_string(OP_DEC) +
                         "\nstd op\nldd n\ndec\nstd n\njnz top\nhlt\n[v db 10\n[n db 0\n";
    return loaded_program(assemble_source(source));
}

// A program of the shapes the decoded loop runs as blocks (ShapedProgram),
// placed as instruction records, its variables as data.
LoadedProgram shaped_program(std::mt19937& random) {
    LoadedProgram p;
    machine_reset(*p.start);
    std::vector<std::uint8_t> choices(20 + random() % 300);
    for (std::uint8_t& c : choices) c = static_cast<std::uint8_t>(random());
    ShapedProgram program(choices.data(), choices.size());
    program.build(*p.start);
    for (unsigned a = 0; a < program.end(); ++a) p.loaded[a] = p.code[a] = true;
    for (unsigned a = ShapedProgram::DATA; a < ShapedProgram::DATA + 64; ++a) p.loaded[a] = true;
    return p;
}

bool same_finding(const MachineFinding& a, const MachineFinding& b) {
    return a.kind == b.kind && a.opcode == b.opcode && a.pc == b.pc &&
           a.instruction == b.instruction && a.address == b.address &&
           a.has_related == b.has_related && a.related_pc == b.related_pc &&
           a.related_address == b.related_address && a.related_opcode == b.related_opcode &&
           a.related_target == b.related_target && a.written_at_run_time == b.written_at_run_time &&
           a.ran_on == b.ran_on && a.ran_on_from == b.ran_on_from;
}

// The steps after which a history run with `stops` (and the monitor, when
// given) stopped at a breakpoint; the machine ends at the run's end. The
// first `unmarked` steps run without breakpoints, which are then marked in
// the monitor: instructions it passed before must stop there all the same.
std::vector<std::uint64_t> breakpoint_steps(Machine& m, const FastStops& stops,
                                            FindingMonitor* monitor, std::uint64_t limit,
                                            std::uint64_t unmarked) {
    History history(64, 16);
    history.begin(m);
    HeadlessIo io;
    std::vector<std::uint64_t> steps;
    if (monitor != nullptr) monitor->mark_breaks(nullptr);
    while (history.step() < unmarked) {
        RunOutcome outcome = history.run(m, io, unmarked - history.step(), nullptr, monitor);
        if (outcome.end == RunEnd::HALTED || outcome.end == RunEnd::STOPPED) return steps;
    }
    if (monitor != nullptr) monitor->mark_breaks(stops.breaks);
    while (history.step() < limit) {
        RunOutcome outcome = history.run(m, io, limit - history.step(), &stops, monitor);
        if (outcome.end == RunEnd::HALTED || outcome.end == RunEnd::STOPPED) break;
        if (outcome.end == RunEnd::BREAKPOINT && fast_stop_due(m.memory, m.PC, stops))
            steps.push_back(history.step());
    }
    return steps;
}

}  // namespace

// The debugger's way, the monitored fast loop through the history with the
// breakpoints in the monitor's marks, against the careful look before every
// instruction, on 400 random programs, one that rewrites its code and 200
// built from the decoded loop's shapes (which rewrite theirs): the
// same findings, field for field, the same open call at the end, the same
// machine, and the same breakpoint stops as a run without the monitor.
TEST(Findings, TheFastLoopFindsWhatTheCarefulLookFinds) {
    std::mt19937 random(8642);
    constexpr std::uint64_t LIMIT = 3000;
    std::size_t per_kind[FINDING_KIND_COUNT] = {};
    std::size_t breakpoint_stops = 0;
    std::size_t pushed_on_stack = 0;
    for (int image = 0; image <= 600; ++image) {
        SCOPED_TRACE(image);
        LoadedProgram p = image < 400    ? random_program(random)
                          : image == 400 ? self_modifying_program()
                                         : shaped_program(random);
        std::vector<std::uint8_t> breaks(MAX_MEMORY);
        for (int k = 0; k < 3; ++k) breaks[random() % PROGRAM_END] = 1;
        FastStops stops{breaks.data(), nullptr, nullptr, 0};
        // Data blocks tiling the program, for past the end.
        std::vector<BlockSpan> blocks;
        for (unsigned a = 0; a < PROGRAM_END; a += blocks.back().size)
            blocks.push_back(
                {static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(1 + random() % 16)});

        auto careful = std::make_unique<Machine>(*p.start);
        FindingMonitor looked(p.loaded, p.code, ALL_FINDING_KINDS);
        looked.set_blocks(blocks);
        HeadlessIo io;
        RunOutcome careful_outcome = run_headless(*careful, io, LIMIT, looked);

        // The checker's way: the same run in slices, through the fast loop.
        auto checked = std::make_unique<Machine>(*p.start);
        FindingMonitor checker(p.loaded, p.code, ALL_FINDING_KINDS);
        checker.set_blocks(blocks);
        HeadlessIo checked_io;
        RunOutcome checked_outcome{RunEnd::LIMIT, std::nullopt};
        for (std::uint64_t left = LIMIT; left > 0 && checked_outcome.end == RunEnd::LIMIT;) {
            std::uint64_t slice = std::min<std::uint64_t>(left, 1 + image % 700);
            checked_outcome = run_headless_fast(*checked, checked_io, slice, checker);
            left -= slice;
        }
        EXPECT_TRUE(*checked == *careful);
        EXPECT_EQ(checked_outcome.end, careful_outcome.end);
        EXPECT_EQ(checked_outcome.stop.has_value(), careful_outcome.stop.has_value());
        EXPECT_EQ(checked_io.port0, io.port0);
        ASSERT_EQ(checker.findings().size(), looked.findings().size());
        for (std::size_t i = 0; i < looked.findings().size(); ++i)
            EXPECT_TRUE(same_finding(checker.findings()[i], looked.findings()[i]));

        auto fast = std::make_unique<Machine>(*p.start);
        auto monitor = std::make_unique<FindingMonitor>(p.loaded, p.code, ALL_FINDING_KINDS);
        monitor->set_blocks(blocks);
        std::uint64_t unmarked = image % 2 == 0 ? 0 : image * 37 % 200;
        std::vector<std::uint64_t> with =
            breakpoint_steps(*fast, stops, monitor.get(), LIMIT, unmarked);

        auto plain = std::make_unique<Machine>(*p.start);
        std::vector<std::uint64_t> without =
            breakpoint_steps(*plain, stops, nullptr, LIMIT, unmarked);

        ASSERT_EQ(monitor->findings().size(), looked.findings().size());
        for (std::size_t i = 0; i < looked.findings().size(); ++i) {
            EXPECT_TRUE(same_finding(monitor->findings()[i], looked.findings()[i]))
                << finding_text(monitor->findings()[i], nullptr) << " / "
                << finding_text(looked.findings()[i], nullptr);
            ++per_kind[static_cast<int>(looked.findings()[i].kind)];
        }
        std::optional<OpenCall> a = monitor->innermost_call();
        std::optional<OpenCall> b = looked.innermost_call();
        ASSERT_EQ(a.has_value(), b.has_value());
        if (a) {
            EXPECT_EQ(a->return_address, b->return_address);
            EXPECT_EQ(a->sp_after, b->sp_after);
        }
        EXPECT_TRUE(*fast == *careful);
        // Each byte on the stack was pushed by the same instruction both ways.
        unsigned sp = careful->SP == 0 ? STACK_TOP : careful->SP;
        for (unsigned at = sp + 1; at <= STACK_TOP; ++at) {
            EXPECT_EQ(monitor->stack_origins().pushed_by[at - STACK_BOTTOM],
                      looked.stack_origins().pushed_by[at - STACK_BOTTOM])
                << at;
            pushed_on_stack +=
                looked.stack_origins().pushed_by[at - STACK_BOTTOM] != StackOrigins::NONE;
        }
        EXPECT_EQ(with, without);
        breakpoint_stops += with.size();
    }
    // Every kind was found many times, and breakpoints stopped the runs.
    for (std::size_t count : per_kind) EXPECT_GT(count, 20u);
    EXPECT_GT(breakpoint_stops, 100u);
    EXPECT_GT(pushed_on_stack, 1000u);
}
