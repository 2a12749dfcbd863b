#include "driver.hpp"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "command_line.hpp"

#include "hex_text.hpp"
#include "machine/fast_run.hpp"
#include "machine/findings.hpp"
#include "machine/loader.hpp"
#include "machine/step.hpp"
#include "memory_map.hpp"
#include "output_file.hpp"
#include "run_files.hpp"
#include "trace_file.hpp"

namespace {

bool memory_map_failed = false;

void write_memory_map(const Machine& m, const char* file_name) {
    if (!dump_memory_map(m, file_name)) memory_map_failed = true;
}

// Every end of the simulator's run: the trace written out first, and a run
// that ended with hlt but whose trace or memory map could not be written
// ends with OUTPUT_FAILED_STATUS (as does one whose standard output failed,
// through console_exit).
[[noreturn]] void simulator_exit(int status) {
    bool written = trace_finish() && !memory_map_failed;
    if (!written && status == 0) status = OUTPUT_FAILED_STATUS;
    console_exit(status);
}

[[noreturn]] void end_of_run(const Machine& m, int status) {
    print_statistics(m);
    write_memory_map(m, "memmap2.txt");
    simulator_exit(status);
}

}  // namespace

void cpu_reset(Machine& m) {
    console_printf("CPU reset ... ");
    machine_reset(m);
    console_printf(" success ...\n");
}

void report_stop(const Machine& m, const Stop& stop) {
    console_printf("%s", stop_message(stop).c_str());
    console_printf("%s", stop_position_line(stop).c_str());
    if (stop_form(stop.kind).memory_map) write_memory_map(m, "memmap2.txt");
    simulator_exit(FAILURE_STATUS);
}

void load_program(Machine& m, const char* file_name, WrittenSet* loaded, WrittenSet* code) {
    if (std::optional<Stop> refused = reset_and_load(m, ObjectCode::file(file_name), loaded, code))
        report_stop(m, *refused);
    write_memory_map(m, "memmap.txt");
}

void execute_instruction(Machine& m) {
    ConsoleIo io;
    try {
        execute_instruction(m, io);
    } catch (const MachineStop& s) {
        report_stop(m, s.stop);
    }
}

namespace {

// The console side of a traced run: the trace is written out before every
// key wait, so that it shows everything up to the instruction that waits.
struct TracedConsoleIo : ConsoleIo {
    static void wait_key() {
        trace_flush();
        ConsoleIo::wait_key();
    }
    static void halt() {
        trace_flush();
        ConsoleIo::halt();
    }
};

// Runs instructions on the fast path (machine/fast_run.hpp) up to the next
// key test that can do more than say no, or up to an instruction the fast
// path leaves to step(), and shows their spinner frames in one go.
void run_to_key_test(Machine& machine, RunningMachine& m) {
    std::uint64_t start = m.instruction_count;
    m.write_back(machine);
    try {
        run_fast(machine, console_next_key_test(start));
    } catch (const MachineStop& s) {
        m = RunningMachine(machine);
        console_show_activity(instructions_begun(machine, start, s.stop));
        throw;
    }
    m = RunningMachine(machine);
    console_show_activity(m.instruction_count - start);
}

// A finding as one line on standard error, with addresses only, after
// everything the program printed before it (standard output is flushed
// first, for a terminal or a pipe both streams share).
void print_new_findings(const FindingMonitor& monitor, std::size_t& printed) {
    const std::vector<MachineFinding>& found = monitor.findings();
    if (printed < found.size()) console_flush();
    for (; printed < found.size(); ++printed)
        std::fprintf(stderr, "finding: %s\n", finding_text(found[printed], nullptr).c_str());
}

// With --check, a run that ends with bytes on the stack: the instruction
// that pushed most of them, by its address, after the program's output.
void print_stack_leak(const FindingMonitor& monitor, const Machine& m, unsigned sp) {
    std::optional<StackLeak> leak = stack_leak(monitor.stack_origins(), sp);
    if (!leak) return;
    std::uint8_t opcode = m.memory[leak->pushed_by];
    std::string name = OpcodeTable[opcode].defined() ? OpcodeTable[opcode].mnemonic
                                                     : "byte " + std::to_string(opcode);
    console_flush();
    std::fprintf(stderr, "finding: %s%s at %s\n", stack_leak_lead(*leak).c_str(), name.c_str(),
                 hex4(leak->pushed_by).c_str());
}

// Everything the loop calls is inlined into it ([[gnu::flatten]]): the
// dispatch, the handlers and the stack operations. The traced loop is an
// instantiation of its own, so the plain one carries no trace code; the
// plain one runs most instructions on the fast path and each of the others
// with its key test, its spinner frame and step(). The checked loop
// (--check) is one more instantiation: every instruction the careful way,
// the monitor looking at it first, so the plain loop is the same code as
// without findings.
template <bool TRACED, bool CHECKED>
[[gnu::flatten, gnu::noinline]] void run_loop(Machine& machine, FindingMonitor* monitor) {
    std::size_t printed = 0;
    console_start_keys();
    std::conditional_t<TRACED, TracedConsoleIo, ConsoleIo> io;
    try {
        // The registers live in a local during the run, so that the compiler
        // can keep them in CPU registers.
        RunningMachine m(machine);
        do {
            if constexpr (!TRACED && !CHECKED) run_to_key_test(machine, m);
            if (console_key_waiting(m.instruction_count) && console_take_key() == ESCAPE_KEY) {
                raise_stop(StopKind::USER_ABORT, m.PC, m.IR);
            }
            console_show_activity();
            if constexpr (CHECKED) {
                if (monitor->before(m)) print_new_findings(*monitor, printed);
            }
            if constexpr (TRACED) {
                TraceStart start = trace_start(m);
                step(m, io);
                trace_append(start, m, m.memory);
            } else {
                step(m, io);
            }
        } while (m.IR != OP_HLT);
        m.write_back(machine);
        if constexpr (CHECKED) print_stack_leak(*monitor, machine, machine.SP);
    } catch (const MachineStop& s) {
        // A push stops only at the stack's bottom, so SP is STACK_BOTTOM.
        if constexpr (CHECKED) {
            if (s.stop.kind == StopKind::STACK_OVERFLOW)
                print_stack_leak(*monitor, machine, STACK_BOTTOM);
        }
        report_stop(machine, s.stop);
    }
}

}  // namespace

void run_program(Machine& m) { run_program(m, nullptr); }

void run_program(Machine& m, FindingMonitor* monitor) {
    if (monitor != nullptr) {
        if (trace_active()) {
            run_loop<true, true>(m, monitor);
        } else {
            run_loop<false, true>(m, monitor);
        }
    } else if (trace_active()) {
        run_loop<true, false>(m, nullptr);
    } else {
        run_loop<false, false>(m, nullptr);
    }
}

void print_statistics(const Machine& m) { console_printf("%s", statistics_text(m).c_str()); }

int simulator_main(const char* trace_name, FindingKinds check) {
    // The program's one machine. simulator_main never returns, so it lives
    // as long as the process.
    Machine machine{};
    cpu_reset(machine);
    console_printf("- Stack machine simulator -\n");
    console_printf("- Object code file :");
    char name[NAME_CAPACITY];
    int length = console_read_line(name, NAME_CAPACITY);
    // Neither a memory map nor a trace file may write over the object code
    // file, nor a trace over a memory map; checked before any file is opened.
    for (const char* map : {"memmap.txt", "memmap2.txt"}) {
        if (length <= 0) break;
        if (!files_distinct("simulator", {{"the memory map file", map, FileRole::NAMED_OUTPUT},
                                          {"the object code file", name, FileRole::INPUT}}))
            console_exit(USAGE_STATUS);
    }
    if (trace_name != nullptr && std::strcmp(trace_name, "-") != 0) {
        std::vector<RunFile> run = {{"the trace file", trace_name, FileRole::NAMED_OUTPUT},
                                    {"the memory map file", "memmap.txt", FileRole::OUTPUT},
                                    {"the memory map file", "memmap2.txt", FileRole::OUTPUT}};
        if (length > 0) run.push_back({"the object code file", name, FileRole::INPUT});
        if (!files_distinct("simulator", run)) console_exit(USAGE_STATUS);
    }
    if (length <= 0) {
        console_printf("\nERROR\n Inputfile error\n");
        console_printf("program terminated!\n");
        end_of_run(machine, FAILURE_STATUS);
    }
    WrittenSet loaded;
    WrittenSet code;
    if (check == 0) {
        load_program(machine, name);
    } else {
        load_program(machine, name, &loaded, &code);
    }
    // The trace is created only once the program has loaded.
    if (trace_name != nullptr && !trace_open(trace_name)) console_exit(USAGE_STATUS);
    if (check == 0) {
        run_program(machine);
    } else {
        auto monitor = std::make_unique<FindingMonitor>(loaded, code, check);
        run_program(machine, monitor.get());
    }
    end_of_run(machine, 0);
}
