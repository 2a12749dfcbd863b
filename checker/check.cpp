#include "check.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

#include "machine/findings.hpp"
#include "machine/headless.hpp"
#include "machine/loader.hpp"
#include "machine/machine.hpp"
#include "out_check.hpp"

namespace {

// A run goes in slices of this many instructions, so that the port 0 values
// of one slice are compared and dropped before the next.
constexpr std::uint64_t RUN_SLICE = 1 << 16;

// The processor time this thread has used, in seconds.
double thread_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The address a location names, or nullopt with the reason in error.
std::optional<long long> resolve(const AssemblyResult& program, const Location& where,
                                 std::size_t count, std::string& error) {
    long long address = where.offset;
    if (!where.label.empty()) {
        auto found = std::find_if(program.symbols.begin(), program.symbols.end(),
                                  [&](const Symbol& s) { return where.label == s.name; });
        if (found == program.symbols.end()) {
            error = "no label '" + where.label + "' in the program";
            return std::nullopt;
        }
        address += found->value;
    }
    if (address + static_cast<long long>(count) > MEMORY_SIZE) {
        error = where.text + " reaches past the end of memory";
        return std::nullopt;
    }
    return address;
}

// How a report names the k-th byte from a location: "data", "data+3", "131".
std::string location_name(const Location& where, std::size_t k) {
    long long offset = where.offset + static_cast<long long>(k);
    if (where.label.empty()) return std::to_string(offset);
    return offset == 0 ? where.label : where.label + "+" + std::to_string(offset);
}

// "3 (spin)", "27 (loop+4)": an address and the label at or before it.
std::string address_name(const AssemblyResult& program, unsigned address) {
    const Symbol* best = nullptr;
    for (const Symbol& s : program.symbols) {
        if (s.value <= address && (best == nullptr || s.value > best->value)) best = &s;
    }
    std::string name = std::to_string(address);
    if (best == nullptr) return name;
    name += " (";
    name += best->name;
    if (address > best->value) {
        name += '+';
        name += std::to_string(address - best->value);
    }
    name += ')';
    return name;
}

// ", line 2: [spin jmp spin": the source line that placed the byte at address.
std::string line_name(const AssemblyResult& program, unsigned address) {
    int line = address < MEMORY_SIZE ? program.source_line_of_address[address] : 0;
    if (line == 0) return "";
    std::string_view text = source_line_text(program.lines, line);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return ", line " + std::to_string(line) + ": " + std::string(text);
}

std::string describe_end(const RunFacts& run) {
    if (run.end == RunEnd::HALTED) return "0 (halted)";
    if (run.end == RunEnd::RETURNED) return "a return";
    if (run.end == RunEnd::LIMIT || run.end == RunEnd::TIMEOUT) return "no end within the limit";
    return "255 (stop \"" + stop_text(*run.stop) + "\" at PC " + std::to_string(run.stop->pc) + ")";
}

// The way the run ended against "stop" and "status" (0 when neither is given).
void check_end(const AssemblyResult& program, const TestCase& test, const RunLimits& limits,
               const RunFacts& run, std::uint16_t last_pc, std::vector<std::string>& failures) {
    if (run.end == RunEnd::TIMEOUT) {
        // Where a run was when its time ran out differs from one run to the
        // next, so the line says nothing of it.
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", limits.seconds);
        failures.push_back("did not halt within " + std::string(seconds) +
                           (limits.seconds == 1 ? " second" : " seconds"));
        return;
    }
    if (run.end == RunEnd::LIMIT) {
        failures.push_back("did not halt within " + std::to_string(test.limit) +
                           " instructions; the last ran at PC " + address_name(program, last_pc) +
                           line_name(program, last_pc));
        return;
    }
    bool halted = run.end == RunEnd::HALTED;
    if (test.call) {
        if (run.end != RunEnd::RETURNED) {
            failures.push_back("expected a return from " + test.call->text + ", got " +
                               (halted ? "halt" : "stop \"" + stop_text(*run.stop) + "\"") +
                               " at PC " + address_name(program, run.final_pc));
        }
        return;
    }
    if (test.stop) {
        bool matches = !halted && (*test.stop == stop_text(*run.stop) ||
                                   *test.stop == stop_full_text(*run.stop));
        if (!matches) {
            failures.push_back("expected stop \"" + *test.stop + "\", got " +
                               (halted ? "halt" : "stop \"" + stop_text(*run.stop) + "\""));
        }
    }
    int expected = test.status.value_or(test.stop ? 255 : 0);
    if (expected != (halted ? 0 : 255)) {
        failures.push_back("expected status " + std::to_string(expected) + ", got " +
                           describe_end(run));
    }
}

void check_memory(const Machine& m, const AssemblyResult& program, const MemoryBytes& bytes,
                  std::vector<std::string>& failures) {
    std::string error;
    std::optional<long long> address = resolve(program, bytes.where, bytes.values.size(), error);
    if (!address) {
        failures.push_back("mem: " + error);
        return;
    }
    for (std::size_t k = 0; k < bytes.values.size(); ++k) {
        unsigned got = m.memory[*address + static_cast<long long>(k)];
        if (got != bytes.values[k]) {
            failures.push_back("expected mem " + location_name(bytes.where, k) + " = " +
                               std::to_string(bytes.values[k]) + ", got " + std::to_string(got));
            return;
        }
    }
}

// A count against its bound; reference is the reference run's count when
// the bound is a factor of it.
void check_count(const CountCheck& check, const RunFacts& run, const RunFacts* reference,
                 std::vector<std::string>& failures) {
    bool instructions = check.kind == CountKind::INSTRUCTIONS;
    std::uint64_t got = instructions ? run.instructions : run.clocks;
    std::uint64_t bound = check.value;
    std::string shown = std::to_string(bound);
    if (check.times_reference) {
        if (reference == nullptr) return;  // said once for the whole case
        std::uint64_t counted = instructions ? reference->instructions : reference->clocks;
        // No count comes near 2^64; a product past it would be no bound at all.
        if (__builtin_mul_overflow(bound, counted, &bound)) bound = UINT64_MAX;
        shown = "reference * " + std::to_string(check.value) + " = " + std::to_string(bound);
    }
    if (check.at_most ? got <= bound : got == bound) return;
    failures.push_back(std::string("expected ") + (instructions ? "instructions " : "clocks ") +
                       (check.at_most ? "<= " : "") + shown + ", got " + std::to_string(got));
}

// "no findings", "stack empty" and "sp V".
void check_stack_and_findings(const TestCase& test, const RunFacts& run,
                              std::vector<std::string>& failures) {
    if (test.no_findings && !run.findings.empty()) {
        failures.push_back("expected no findings, got " + std::to_string(run.findings.size()) +
                           ": " + run.findings.front());
    }
    if (test.stack_empty && stack_depth(run.final_sp) != 0) {
        failures.push_back("expected stack empty, got " +
                           std::to_string(stack_depth(run.final_sp)) + " bytes on the stack (SP " +
                           std::to_string(run.final_sp) + ")" +
                           (run.stack_leak.empty() ? "" : "; " + run.stack_leak));
    }
    if (test.sp && *test.sp != run.final_sp) {
        failures.push_back("expected sp " + std::to_string(*test.sp) + ", got " +
                           std::to_string(run.final_sp));
    }
}

// The bytes on the stack, top first.
std::vector<std::uint8_t> stack_bytes(const Machine& m) {
    std::vector<std::uint8_t> bytes;
    if (m.SP == 0) return bytes;
    for (unsigned at = m.SP + 1u; at <= STACK_TOP; ++at) bytes.push_back(m.memory[at]);
    return bytes;
}

std::string bytes_text(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) return "nothing";
    std::string text;
    for (std::uint8_t b : bytes) {
        if (!text.empty()) text += ' ';
        text += std::to_string(b);
    }
    return text;
}

// The seed of one run of a case: a student's run and the reference's run
// compared with it see the same bytes.
std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

std::uint64_t bytes_hash(std::string_view bytes) {
    std::uint64_t h = 0xCBF29CE484222325ULL;
    for (char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
    return h;
}

// What a case draws from: where its random lines store, how many bytes from
// which range, and its repeat count; not its name, so that a renamed case draws the same bytes.
std::uint64_t case_key(const TestCase& test) {
    std::uint64_t h = mix(static_cast<std::uint64_t>(test.repeat));
    for (const MemoryBytes& preset : test.presets) {
        if (!preset.random) continue;
        h = mix(h ^ bytes_hash(preset.where.text));
        h = mix(h ^ (preset.values.size() << 16 | preset.random->low << 8 | preset.random->high));
    }
    return h;
}

std::uint64_t run_seed(std::uint64_t seed, std::uint64_t key, std::uint64_t case_key,
                       long long run) {
    return mix(seed ^ mix(key ^ mix(case_key ^ mix(static_cast<std::uint64_t>(run)))));
}

// The case's presets with random bytes drawn, and their lines for reports.
std::vector<MemoryBytes> draw_presets(const TestCase& test, std::uint64_t seed) {
    std::vector<MemoryBytes> presets = test.presets;
    std::uint64_t state = seed;
    for (MemoryBytes& preset : presets) {
        if (!preset.random) continue;
        unsigned span = preset.random->high - preset.random->low + 1u;
        for (std::uint8_t& v : preset.values) {
            state = mix(state);
            v = static_cast<std::uint8_t>(preset.random->low + state % span);
        }
        preset.text = "set " + preset.where.text + " = " + bytes_text(preset.values);
    }
    return presets;
}

// A "call" case pushes CASE_RETURN_ADDRESS; the ret to it ends the run
// (returned_from_case). A subroutine may keep its return address anywhere
// meanwhile, in memory as the examples do or deeper in the stack: only the
// return to it counts.
constexpr std::uint16_t RETURN_MARK = CASE_RETURN_ADDRESS;

// One run of a program on a case's setup, with the run's machine left in
// place for the memory checks. Returns "" or why it could not start.
struct Run {
    RunFacts facts;
    OutSeen seen;
    std::vector<std::uint8_t> port0;  // every value, when kept
    std::uint16_t last_pc = 0;
    bool returned = false;
    std::unique_ptr<Machine> machine = std::make_unique<Machine>();  // too big for the stack
};

std::string execute(const AssemblyResult& program, const TestCase& test,
                    const std::vector<MemoryBytes>& presets, const RunLimits& limits,
                    bool keep_every_value, Run& run) {
    Machine& m = *run.machine;
    reset_and_load(m, program.image);
    // A monitor notes findings on the way.
    auto monitor =
        std::make_unique<FindingMonitor>(program.written, program.code, test.finding_kinds);
    monitor->set_blocks(block_spans(program.data_blocks));
    for (const MemoryBytes& preset : presets) {
        std::string error;
        std::optional<long long> address =
            resolve(program, preset.where, preset.values.size(), error);
        if (!address) return "set: " + error;
        std::copy(preset.values.begin(), preset.values.end(), m.memory + *address);
        monitor->mark_written(static_cast<unsigned>(*address),
                              static_cast<unsigned>(preset.values.size()));
    }
    if (test.call) {
        std::string error;
        std::optional<long long> start = resolve(program, *test.call, 1, error);
        if (!start) return "call: " + error;
        if (test.stack_before) {
            for (auto v = test.stack_before->rbegin(); v != test.stack_before->rend(); ++v)
                push_byte(m, *v);
        }
        push_word(m, RETURN_MARK);
        m.PC = static_cast<std::uint16_t>(*start);
        monitor->open_outside_call(m.PC, RETURN_MARK, m.SP);
    }

    HeadlessIo io;
    RunFacts& facts = run.facts;
    facts.instructions = limits.instructions_before;
    facts.clocks = limits.clocks_before;
    m.instruction_count = static_cast<decltype(m.instruction_count)>(limits.instructions_before);
    m.clock_count = static_cast<decltype(m.clock_count)>(limits.clocks_before);
    RunOutcome outcome{RunEnd::LIMIT, std::nullopt};
    run.last_pc = m.PC;
    // The time limit is the processor time this thread used, so that a run
    // gets the same time whatever else runs beside it.
    const double deadline = thread_seconds() + limits.seconds;
    bool timed_out = false;
    for (std::uint64_t left = test.limit; left > 0 && outcome.end == RunEnd::LIMIT;) {
        if (thread_seconds() > deadline) {
            timed_out = true;
            break;
        }
        // The limit's last instruction runs alone, so that a report can say
        // where it was.
        std::uint64_t slice = left == 1 ? 1 : std::min(left - 1, RUN_SLICE);
        run.last_pc = m.PC;
        // The counts go on in 64 bits here whatever width the machine keeps:
        // a slice's difference is far below 2^32.
        auto instructions_before = m.instruction_count;
        auto clocks_before = m.clock_count;
        outcome = run_headless_fast(m, io, slice, *monitor);
        facts.instructions += static_cast<std::uint32_t>(m.instruction_count - instructions_before);
        facts.clocks += static_cast<std::uint32_t>(m.clock_count - clocks_before);
        // The return to the mark is the one way a ret leaves PC there.
        if (test.call && outcome.end == RunEnd::STOPPED && returned_from_case(m, *outcome.stop))
            run.returned = true;
        left -= slice;
        for (std::uint8_t value : io.port0) {
            run.seen.see(value);
            if (keep_every_value || facts.port0.size() < PORT0_KEPT) facts.port0.push_back(value);
        }
        io.port0.clear();
        if (run.returned) break;
    }
    facts.end = outcome.end;
    if (timed_out) facts.end = RunEnd::TIMEOUT;
    facts.stop = outcome.stop;
    if (run.returned) {
        facts.end = RunEnd::RETURNED;
        facts.stop.reset();
    }
    facts.port0_count = run.seen.count;
    facts.final_pc = m.PC;
    facts.final_sp = m.SP;
    if (timed_out) {
        // How far a run got in its time differs from one run to the next:
        // none of it is reported, so that two gradings give one report.
        facts = RunFacts{};
        facts.end = RunEnd::TIMEOUT;
        return "";
    }
    if (std::optional<StackLeak> leak = stack_leak(monitor->stack_origins(), m.SP)) {
        std::string line = line_name(program, leak->pushed_by);
        facts.stack_leak = stack_leak_lead(*leak) +
                           (line.empty() ? std::to_string(leak->pushed_by) : line.substr(2));
    }
    SourceMap source = source_map_of(program);
    for (const MachineFinding& f : monitor->findings())
        facts.findings.push_back(finding_text(f, &source));
    return "";
}

// What a reference run leaves for the student's run to match.
struct ReferenceFacts {
    RunFacts facts;
    std::vector<std::uint8_t> out;                    // every port 0 value
    std::vector<std::vector<std::uint8_t>> mem_same;  // per "mem ... same N", in order
};

}  // namespace

std::string assembly_failure(const AssemblyResult& program) {
    if (!program.ok) {
        std::vector<std::string> lines = message_lines(program.error_message);
        // The heading "ERROR" says nothing the report does not.
        if (lines.size() > 1 && lines.front() == "ERROR") lines.erase(lines.begin());
        std::string where =
            program.error_line > 0 ? " on line " + std::to_string(program.error_line) : "";
        return "assembler error" + where + ": " + join_lines(lines);
    }
    if (!program.load_error.empty())
        return "object code refused: " + join_lines(message_lines(program.load_error));
    return "";
}

std::uint64_t submission_key(std::string_view identity) { return mix(bytes_hash(identity)); }

std::uint64_t seed_from_text(std::string_view text) {
    std::size_t end = text.find_last_not_of(" \t\r\n");
    text = end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
    // Never the default seed, whatever the text.
    std::uint64_t seed = mix(bytes_hash(text) ^ 0x5EEDF11EULL);
    return seed == DEFAULT_SEED ? seed + 1 : seed;
}

namespace {

// A failure "expected WHAT = V, got G" as "WHAT is not what was expected:
// got G", for a case whose expected values the students may not read.
std::string without_expected(const std::string& failure) {
    constexpr std::string_view EXPECTED = "expected ", GOT = ", got ";
    std::size_t got = failure.find(GOT);
    if (failure.rfind(EXPECTED, 0) != 0 || got == std::string::npos) return failure;
    std::string what = failure.substr(EXPECTED.size(), got - EXPECTED.size());
    std::size_t equals = what.find(" = ");
    if (equals != std::string::npos) {
        what.resize(equals);
    } else if (what.find(" out values") != std::string::npos) {
        what = "the number of out values";
    } else if (what.rfind("a return", 0) != 0 && what != "no findings" && what != "stack empty") {
        what.resize(std::min(what.find(' '), what.size()));  // "status", "stop", "sp", ...
    }
    return what + " is not what was expected: got " + failure.substr(got + GOT.size());
}

}  // namespace

CaseResult check_case(const AssemblyResult& program, const TestCase& test, const RunLimits& limits,
                      const AssemblyResult* reference, std::uint64_t key) {
    CaseResult result;
    result.failures = test.problems;
    std::string refused = assembly_failure(program);
    if (!refused.empty()) {
        result.failures.push_back(refused);
        return result;
    }
    bool compared = test.needs_reference();
    if (compared && reference == nullptr) {
        result.failures.push_back("the case compares with a reference: --reference names none");
        return result;
    }
    std::optional<CaseResult> first_failed;
    const std::uint64_t drawn_from = case_key(test);
    for (long long k = 0; k < test.repeat; ++k) {
        std::vector<MemoryBytes> presets =
            draw_presets(test, run_seed(limits.seed, key, drawn_from, k));
        result.presets.clear();
        if (test.repeat > 1) {
            result.presets.push_back("repeat " + std::to_string(k + 1) + " of " +
                                     std::to_string(test.repeat));
        }
        for (const MemoryBytes& preset : presets) result.presets.push_back(preset.text);
        if (test.call) {
            if (test.stack_before)
                result.presets.push_back("stack " + bytes_text(*test.stack_before));
            result.presets.push_back("call " + test.call->text);
        }

        // The reference runs first, on its own symbols.
        std::optional<ReferenceFacts> ref;
        if (compared) {
            Run reference_run;
            std::string error = execute(*reference, test, presets, limits, true, reference_run);
            bool ended = reference_run.facts.end == (test.call ? RunEnd::RETURNED : RunEnd::HALTED);
            if (!error.empty() || !ended) {
                result.failures.push_back(
                    "the reference " +
                    (error.empty() ? "did not " + std::string(test.call ? "return" : "halt") +
                                         ": " + describe_end(reference_run.facts)
                                   : "could not run: " + error));
                return result;
            }
            ref.emplace();
            ref->facts = reference_run.facts;
            ref->out = reference_run.facts.port0;
            for (const MemoryBytes& bytes : test.mem) {
                if (!bytes.same) continue;
                std::string where_error;
                std::optional<long long> address =
                    resolve(*reference, bytes.where, bytes.values.size(), where_error);
                if (!address) {
                    result.failures.push_back("the reference: mem: " + where_error);
                    return result;
                }
                const std::uint8_t* bytes_at = reference_run.machine->memory + *address;
                ref->mem_same.emplace_back(bytes_at,
                                           bytes_at + static_cast<long long>(bytes.values.size()));
            }
        }

        Run run;
        if (test.out) run.seen.want = &*test.out;
        if (ref && test.out_same) run.seen.want = &ref->out;
        std::string error = execute(program, test, presets, limits, false, run);
        result.run = run.facts;
        if (!error.empty()) {
            result.failures.push_back(error);
            return result;
        }
        check_end(program, test, limits, run.facts, run.last_pc, result.failures);
        if (run.facts.end == RunEnd::TIMEOUT) break;
        if (run.seen.want != nullptr) {
            std::string out = out_failure(run.seen, test.show_expected);
            if (!out.empty()) result.failures.push_back(out);
        }
        std::size_t same_index = 0;
        for (MemoryBytes bytes : test.mem) {
            if (bytes.same) bytes.values = ref->mem_same[same_index++];
            check_memory(*run.machine, program, bytes, result.failures);
        }
        for (const CountCheck& check : test.counts)
            check_count(check, run.facts, ref ? &ref->facts : nullptr, result.failures);
        std::optional<std::vector<std::uint8_t>> want_stack =
            test.call ? test.stack_after : test.stack_before;
        check_stack_and_findings(test, run.facts, result.failures);
        if (want_stack) {
            std::vector<std::uint8_t> got = stack_bytes(*run.machine);
            if (got != *want_stack) {
                result.failures.push_back("expected stack " + bytes_text(*want_stack) + ", got " +
                                          bytes_text(got));
            }
        }
        if (result.failures.empty()) {
            ++result.runs_passed;
        } else if (!test.partial) {
            break;
        } else if (!first_failed) {
            // A partial case runs on: its report keeps the first failing run.
            first_failed = result;
            result.failures = test.problems;
        } else {
            result.failures = test.problems;
        }
    }
    if (first_failed) {
        long long passed_runs = result.runs_passed;
        result = std::move(*first_failed);
        result.runs_passed = passed_runs;
    }
    if (!test.show_expected) {
        for (std::string& failure : result.failures) failure = without_expected(failure);
    }
    // The bytes drawn are shown for the run that failed only: a passing
    // run's bytes would tell the next submission what to answer.
    // What port 0 received tells them as well.
    if (result.passed()) {
        result.presets.clear();
        for (const MemoryBytes& preset : test.presets) result.presets.push_back(preset.text);
        if (test.call) {
            if (test.stack_before)
                result.presets.push_back("stack " + bytes_text(*test.stack_before));
            result.presets.push_back("call " + test.call->text);
        }
        bool drawn = std::any_of(test.presets.begin(), test.presets.end(),
                                 [](const MemoryBytes& p) { return p.random.has_value(); });
        if (drawn) result.run.port0.clear();
    }
    return result;
}
