#include "driver.hpp"

#include <type_traits>

#include "machine/fast_run.hpp"
#include "machine/loader.hpp"
#include "machine/step.hpp"
#include "memory_map.hpp"
#include "trace_file.hpp"

namespace {

[[noreturn]] void end_of_run(int status) {
    print_statistics();
    dump_memory_map("memmap2.txt");
    console_exit(status);
}

}  // namespace

void cpu_reset() {
    console_printf("CPU reset ... ");
    machine_reset();
    console_printf(" success ...\n");
}

void report_stop(const Stop& stop) {
    console_printf("%s", stop_message(stop).c_str());
    console_printf("%s", stop_position_line(stop).c_str());
    if (stop_form(stop.kind).memory_map) dump_memory_map("memmap2.txt");
    console_exit(FAILURE_STATUS);
}

void load_program(const char* file_name) {
    if (std::optional<Stop> refused = load_object_file(file_name, memory)) report_stop(*refused);
    dump_memory_map("memmap.txt");
}

void execute_instruction(Machine& m) {
    ConsoleIo io;
    try {
        execute_instruction(m, io);
    } catch (const MachineStop& s) {
        report_stop(s.stop);
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
void run_to_key_test(Machine& m) {
    std::uint32_t start = m.instruction_count;
    try {
        run_fast(m, console_next_key_test(start));
    } catch (const MachineStop& s) {
        console_show_activity(instructions_begun(m, start, s.stop));
        throw;
    }
    console_show_activity(m.instruction_count - start);
}

// Everything the loop calls is inlined into it ([[gnu::flatten]]): the
// dispatch, the handlers and the stack operations. The traced loop is an
// instantiation of its own, so the plain one carries no trace code; the
// plain one runs most instructions on the fast path and each of the others
// with its key test, its spinner frame and step().
template <bool TRACED>
[[gnu::flatten, gnu::noinline]] void run_loop() {
    console_start_keys();
    std::conditional_t<TRACED, TracedConsoleIo, ConsoleIo> io;
    try {
        // The registers live in a local during the run, so that the compiler
        // can keep them in CPU registers.
        Machine m = machine;
        do {
            if constexpr (!TRACED) run_to_key_test(m);
            if (console_key_waiting(m.instruction_count) && console_take_key() == ESCAPE_KEY) {
                raise_stop(StopKind::USER_ABORT, m.PC, m.IR);
            }
            console_show_activity();
            if constexpr (TRACED) {
                TraceStart start = trace_start(m);
                step(m, io);
                trace_append(start, m);
            } else {
                step(m, io);
            }
        } while (m.IR != OP_HLT);
        machine = m;
    } catch (const MachineStop& s) {
        report_stop(s.stop);
    }
}

}  // namespace

void run_program() {
    if (trace_active()) {
        run_loop<true>();
    } else {
        run_loop<false>();
    }
}

void print_statistics() { console_printf("%s", statistics_text(machine).c_str()); }

int simulator_main() {
    cpu_reset();
    console_printf("- Stack machine simulator -\n");
    console_printf("- Object code file :");
    char name[NAME_CAPACITY];
    if (console_read_line(name, NAME_CAPACITY) <= 0) {
        console_printf("\nERROR\n Inputfile error\n");
        console_printf("program terminated!\n");
        end_of_run(FAILURE_STATUS);
    }
    load_program(name);
    run_program();
    end_of_run(0);
}
