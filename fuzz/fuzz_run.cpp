// The run loop on an arbitrary machine: a bounded number of instructions on
// a memory image with the console replaced by its test double. Every stop
// must end with status 255, and between instructions the registers must stay
// in their ranges; the sanitizers catch any access outside memory. First the
// fast run loop must do exactly what the one step procedure does, instruction
// by instruction (fast_run_check.hpp).
//
// Input: an 8-byte head, then the memory image from address 0 (at most
// MEMORY_SIZE bytes; the part past MAX_MEMORY fills the stack area).
//   bytes 0-1  SP: bit 15 set means "nothing pushed since reset" (0),
//              otherwise 0x3000 + the low 12 bits
//   byte 2     flags Z, S, O, C in bits 0 to 3
//   bytes 3-7  up to five key presses (0 means no key); bytes 3-6 also
//              choose the lengths of the fast runs of the comparison
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "console.hpp"
#include "console_double.hpp"
#include "driver.hpp"
#include "fast_run_check.hpp"
#include "fuzz_support.hpp"
#include "machine/machine.hpp"
#include "machine/step.hpp"

namespace {

constexpr std::size_t HEAD = 8;
constexpr int STEP_LIMIT = 20000;  // enough to fill the stack from empty

void check_registers(const Registers& m) {
    if (m.PC >= MAX_MEMORY) fuzz_fail("PC left the program and data area without a stop");
    if (m.SP != 0 && (m.SP < STACK_BOTTOM || m.SP > STACK_TOP))
        fuzz_fail("SP outside the stack area");
    if (m.Z > 1 || m.S > 1 || m.O > 1 || m.C > 1) fuzz_fail("a flag other than 0 or 1");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < HEAD || size > HEAD + MEMORY_SIZE)
        return -1;  // not a machine: keep it out of the corpus
    enter_work_directory();
    static Machine machine;
    console_double_reset();
    cpu_reset(machine);
    std::string keys;
    for (std::size_t i = 3; i < HEAD; ++i) {
        if (data[i] != 0) keys += static_cast<char>(data[i]);
    }
    console_double_reset(keys);
    std::memcpy(machine.memory, data + HEAD, size - HEAD);
    unsigned sp = data[0] | (data[1] << 8);
    machine.SP = static_cast<std::uint16_t>((sp & 0x8000) != 0 ? 0 : STACK_BOTTOM | (sp & 0x0FFF));
    machine.Z = data[2] & 1;
    machine.S = (data[2] >> 1) & 1;
    machine.O = (data[2] >> 2) & 1;
    machine.C = (data[2] >> 3) & 1;

    std::uint32_t seed = 0;
    std::memcpy(&seed, data + 3, sizeof seed);
    FastRunComparison comparison = compare_fast_run(machine, STEP_LIMIT, seed);
    if (!comparison.difference.empty()) fuzz_fail(comparison.difference.c_str());

    // The run loop's own sequence: key test, spinner, then the one step
    // procedure; a stop is reported the way the simulator reports it.
    RunningMachine m(machine);
    ConsoleIo io;
    try {
        try {
            for (int n = 0; n < STEP_LIMIT; ++n) {
                if (console_key_waiting(m.instruction_count) && console_take_key() == ESCAPE_KEY)
                    break;
                console_show_activity();
                std::uint64_t count = m.instruction_count;
                step(m, io);
                if (m.instruction_count != count + 1) fuzz_fail("an instruction was not counted");
                check_registers(m);
                if (m.IR == OP_HLT) break;
            }
        } catch (const MachineStop& s) {
            report_stop(machine, s.stop);
        }
    } catch (const ExitRequest& e) {
        if (e.status != 255) fuzz_fail("a stop did not end with status 255");
        std::string output = console_double_output();
        if (output.find("\nERROR\n") == std::string::npos &&
            output.find("\n-ERROR-\n") == std::string::npos &&
            output.find("-\n ERROR ") == std::string::npos) {
            fuzz_fail("a stop without its message");
        }
    }
    return 0;
}
