#include "check.hpp"

#include <algorithm>
#include <memory>
#include <chrono>
#include <cstdio>

#include "machine/findings.hpp"
#include "machine/headless.hpp"
#include "machine/loader.hpp"
#include "machine/machine.hpp"

namespace {

// A run goes in slices of this many instructions, so that the port 0 values
// of one slice are compared and dropped before the next.
constexpr std::uint64_t RUN_SLICE = 1 << 16;

// What port 0 received, compared with "out" value by value as it comes.
struct OutSeen {
    const std::vector<std::uint8_t>* want = nullptr;  // "out" values, if the case has them
    std::uint64_t count = 0;
    std::optional<std::uint64_t> first_difference;  // index of the first value unlike want's
    std::uint8_t different_value = 0;
    std::optional<std::uint8_t> first_extra;  // the value after the last expected one

    void see(std::uint8_t value) {
        if (want != nullptr) {
            if (count < want->size()) {
                if (!first_difference && (*want)[count] != value) {
                    first_difference = count;
                    different_value = value;
                }
            } else if (count == want->size()) {
                first_extra = value;
            }
        }
        ++count;
    }
};

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
    if (run.end == RunEndKind::HALTED) return "0 (halted)";
    return "255 (stop \"" + stop_text(*run.stop) + "\" at PC " + std::to_string(run.stop->pc) + ")";
}

// The way the run ended against "stop" and "status" (0 when neither is given).
void check_end(const AssemblyResult& program, const TestCase& test, const RunLimits& limits,
               const RunFacts& run, std::uint16_t last_pc, std::vector<std::string>& failures) {
    if (run.end == RunEndKind::TIMEOUT) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", limits.seconds);
        failures.push_back("did not halt within " + std::string(seconds) +
                           " seconds of wall clock (" + std::to_string(run.instructions) +
                           " instructions); the last ran at PC " +
                           address_name(program, last_pc) + line_name(program, last_pc));
        return;
    }
    if (run.end == RunEndKind::LIMIT) {
        failures.push_back("did not halt within " + std::to_string(test.limit) +
                           " instructions; the last ran at PC " + address_name(program, last_pc) +
                           line_name(program, last_pc));
        return;
    }
    bool halted = run.end == RunEndKind::HALTED;
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

void check_out(const OutSeen& seen, std::vector<std::string>& failures) {
    const std::vector<std::uint8_t>& want = *seen.want;
    if (seen.first_difference) {
        std::uint64_t i = *seen.first_difference;
        failures.push_back("expected out #" + std::to_string(i + 1) + " = " +
                           std::to_string(want[i]) + ", got " +
                           std::to_string(seen.different_value));
    } else if (seen.count < want.size()) {
        std::uint64_t n = seen.count;
        failures.push_back("expected out #" + std::to_string(n + 1) + " = " +
                           std::to_string(want[n]) + ", got only " + std::to_string(n) + " values");
    } else if (seen.count > want.size()) {
        failures.push_back("expected " + std::to_string(want.size()) + " out values, got " +
                           std::to_string(seen.count) + " (#" + std::to_string(want.size() + 1) +
                           " = " + std::to_string(*seen.first_extra) + ")");
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

void check_count(const CountCheck& check, const RunFacts& run, std::vector<std::string>& failures) {
    bool instructions = check.kind == CountKind::INSTRUCTIONS;
    long long got = instructions ? run.instructions : run.clocks;
    if (check.at_most ? got <= check.value : got == check.value) return;
    failures.push_back(std::string("expected ") + (instructions ? "instructions " : "clocks ") +
                       (check.at_most ? "<= " : "") + std::to_string(check.value) + ", got " +
                       std::to_string(got));
}

// "no findings", "stack empty" and "sp V".
void check_stack_and_findings(const TestCase& test, const RunFacts& run,
                              std::vector<std::string>& failures) {
    if (test.no_findings && !run.findings.empty()) {
        failures.push_back("expected no findings, got " + std::to_string(run.findings.size()) +
                           ": " + run.findings.front());
    }
    if (test.stack_empty && stack_depth(run.final_sp) != 0) {
        failures.push_back("expected stack empty, got " + std::to_string(stack_depth(run.final_sp)) +
                           " bytes on the stack (SP " + std::to_string(run.final_sp) + ")");
    }
    if (test.sp && *test.sp != run.final_sp) {
        failures.push_back("expected sp " + std::to_string(*test.sp) + ", got " +
                           std::to_string(run.final_sp));
    }
}

}  // namespace

SourceMap source_map_of(const AssemblyResult& program) {
    SourceMap map;
    map.line_of_address = program.source_line_of_address;
    for (const Symbol& s : program.symbols) map.labels.emplace_back(s.name, s.value);
    return map;
}

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

CaseResult check_case(const AssemblyResult& program, const TestCase& test,
                      const RunLimits& limits) {
    CaseResult result;
    result.failures = test.problems;
    std::string refused = assembly_failure(program);
    if (!refused.empty()) {
        result.failures.push_back(refused);
        return result;
    }

    // Each case runs on a machine of its own, with a monitor for findings.
    std::unique_ptr<Machine> machine = std::make_unique<Machine>();
    Machine& m = *machine;
    reset_and_load(m, program.image);
    WrittenSet loaded;
    for (std::size_t a = 0; a < MAX_MEMORY; ++a) loaded[a] = program.written[a];
    auto monitor = std::make_unique<FindingMonitor>(loaded, program.code);
    for (const MemoryBytes& preset : test.presets) {
        std::string error;
        std::optional<long long> address =
            resolve(program, preset.where, preset.values.size(), error);
        if (!address) {
            result.failures.push_back("set: " + error);
            return result;
        }
        std::copy(preset.values.begin(), preset.values.end(), m.memory + *address);
        monitor->mark_written(static_cast<unsigned>(*address),
                              static_cast<unsigned>(preset.values.size()));
    }

    HeadlessIo io;
    RunFacts& run = result.run;
    OutSeen seen;
    if (test.out) seen.want = &*test.out;
    RunOutcome outcome{RunEnd::LIMIT, std::nullopt};
    std::uint16_t last_pc = m.PC;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(limits.seconds));
    bool timed_out = false;
    for (std::uint64_t left = test.limit; left > 0 && outcome.end == RunEnd::LIMIT;) {
        if (std::chrono::steady_clock::now() > deadline) {
            timed_out = true;
            break;
        }
        // The limit's last instruction runs alone, so that a report can say
        // where it was.
        std::uint64_t slice = left == 1 ? 1 : std::min(left - 1, RUN_SLICE);
        last_pc = m.PC;
        outcome = run_headless(m, io, slice, *monitor);
        left -= slice;
        for (std::uint8_t value : io.port0) {
            seen.see(value);
            if (run.port0.size() < PORT0_KEPT) run.port0.push_back(value);
        }
        io.port0.clear();
    }
    run.end = outcome.end == RunEnd::HALTED    ? RunEndKind::HALTED
              : outcome.end == RunEnd::STOPPED ? RunEndKind::STOPPED
                                               : RunEndKind::LIMIT;
    if (timed_out) run.end = RunEndKind::TIMEOUT;
    run.stop = outcome.stop;
    run.instructions = m.instruction_count;
    run.clocks = m.clock_count;
    run.port0_count = seen.count;
    run.final_pc = m.PC;
    run.final_sp = m.SP;
    SourceMap source = source_map_of(program);
    for (const MachineFinding& f : monitor->findings())
        run.findings.push_back(finding_text(f, &source));

    check_end(program, test, limits, run, last_pc, result.failures);
    if (test.out) check_out(seen, result.failures);
    for (const MemoryBytes& bytes : test.mem) check_memory(m, program, bytes, result.failures);
    for (const CountCheck& check : test.counts) check_count(check, run, result.failures);
    check_stack_and_findings(test, run, result.failures);
    return result;
}
