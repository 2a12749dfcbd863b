// The fast run loop against the one step procedure on programs built from
// the stack-code shapes it runs as blocks, rewriting their own code, with
// stacks near both ends and faults (ShapedProgram in fast_run_check.hpp).
//
// The monitored fast run (the debugger's) likewise against the
// instruction-by-instruction monitored loop.
//
// Input: bytes 0-3 choose the lengths of the fast runs of the comparison;
// the rest are the program's choices.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fast_run_check.hpp"
#include "fuzz_support.hpp"
#include "machine/machine.hpp"

namespace {
constexpr int STEP_LIMIT = 20000;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4 || size > 4096) return -1;
    static auto machine = std::make_unique<Machine>();
    machine_reset(*machine);
    ShapedProgram shaped(data + 4, size - 4);
    shaped.build(*machine);
    std::uint32_t seed = 0;
    std::memcpy(&seed, data, sizeof seed);
    FastRunComparison comparison = compare_fast_run(*machine, STEP_LIMIT, seed);
    if (!comparison.difference.empty()) fuzz_fail(comparison.difference.c_str());
    WrittenSet loaded, code;
    shaped.written(loaded, code);
    std::string monitored = compare_monitored_run(*machine, loaded, code, STEP_LIMIT, seed);
    if (!monitored.empty()) fuzz_fail(("monitored: " + monitored).c_str());
    return 0;
}
