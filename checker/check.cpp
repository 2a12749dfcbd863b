#include "check.hpp"

#include <algorithm>
#include <memory>

#include "machine/headless.hpp"
#include "machine/loader.hpp"
#include "machine/machine.hpp"

namespace {

// The non-empty lines of a message, each without leading blanks.
std::vector<std::string> message_lines(const std::string& message) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at <= message.size()) {
        std::size_t end = std::min(message.find('\n', at), message.size());
        std::size_t start = message.find_first_not_of(' ', at);
        if (start < end) lines.push_back(message.substr(start, end - start));
        at = end + 1;
    }
    return lines;
}

std::string join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : " ") + line;
    return text;
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

std::string describe_end(const RunFacts& run) {
    if (run.end == RunEndKind::HALTED) return "0 (halted)";
    return "255 (stop \"" + stop_text(*run.stop) + "\" at PC " + std::to_string(run.stop->pc) + ")";
}

// The way the run ended against "stop" and "status" (0 when neither is given).
void check_end(const TestCase& test, const RunFacts& run, std::vector<std::string>& failures) {
    if (run.end == RunEndKind::LIMIT) {
        failures.push_back("did not halt within " + std::to_string(test.limit) + " instructions");
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

void check_out(const std::vector<std::uint8_t>& want, const std::vector<std::uint8_t>& got,
               std::vector<std::string>& failures) {
    std::size_t n = std::min(want.size(), got.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (want[i] != got[i]) {
            failures.push_back("expected out #" + std::to_string(i + 1) + " = " +
                               std::to_string(want[i]) + ", got " + std::to_string(got[i]));
            return;
        }
    }
    if (got.size() < want.size()) {
        failures.push_back("expected out #" + std::to_string(n + 1) + " = " +
                           std::to_string(want[n]) + ", got only " + std::to_string(n) + " values");
    } else if (got.size() > want.size()) {
        failures.push_back("expected " + std::to_string(want.size()) + " out values, got " +
                           std::to_string(got.size()) + " (#" + std::to_string(n + 1) + " = " +
                           std::to_string(got[n]) + ")");
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

}  // namespace

std::string stop_text(const Stop& stop) {
    std::vector<std::string> lines = message_lines(stop_message(stop));
    return lines.empty() ? "" : lines.back();
}

std::string stop_full_text(const Stop& stop) { return join(message_lines(stop_message(stop))); }

std::string assembly_failure(const AssemblyResult& program) {
    if (!program.ok) {
        std::vector<std::string> lines = message_lines(program.error_message);
        // The heading "ERROR" says nothing the report does not.
        if (lines.size() > 1 && lines.front() == "ERROR") lines.erase(lines.begin());
        std::string where =
            program.error_line > 0 ? " on line " + std::to_string(program.error_line) : "";
        return "assembler error" + where + ": " + join(lines);
    }
    if (!program.load_error.empty())
        return "object code refused: " + join(message_lines(program.load_error));
    return "";
}

CaseResult check_case(const AssemblyResult& program, const TestCase& test) {
    CaseResult result;
    result.failures = test.problems;
    std::string refused = assembly_failure(program);
    if (!refused.empty()) {
        result.failures.push_back(refused);
        return result;
    }

    // Each case runs on a machine of its own.
    std::unique_ptr<Machine> machine = std::make_unique<Machine>();
    Machine& m = *machine;
    reset_and_load(m, program.image);
    for (const MemoryBytes& preset : test.presets) {
        std::string error;
        std::optional<long long> address =
            resolve(program, preset.where, preset.values.size(), error);
        if (!address) {
            result.failures.push_back("set: " + error);
            return result;
        }
        std::copy(preset.values.begin(), preset.values.end(), m.memory + *address);
    }

    HeadlessIo io;
    RunOutcome outcome = run_headless(m, io, test.limit);
    RunFacts& run = result.run;
    run.end = outcome.end == RunEnd::HALTED    ? RunEndKind::HALTED
              : outcome.end == RunEnd::STOPPED ? RunEndKind::STOPPED
                                               : RunEndKind::LIMIT;
    run.stop = outcome.stop;
    run.instructions = m.instruction_count;
    run.clocks = m.clock_count;
    run.port0 = std::move(io.port0);

    check_end(test, run, result.failures);
    if (test.out) check_out(*test.out, run.port0, result.failures);
    for (const MemoryBytes& bytes : test.mem) check_memory(m, program, bytes, result.failures);
    for (const CountCheck& check : test.counts) check_count(check, run, result.failures);
    return result;
}
