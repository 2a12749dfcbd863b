#include "machine/headless.hpp"

RunOutcome run_headless(Machine& m, HeadlessIo& io, std::uint64_t limit) {
    // The registers live in a local during the run; every way out writes
    // them back.
    RunningMachine local(m);
    try {
        for (std::uint64_t n = 0; n < limit; ++n) {
            step(local, io);
            if (local.IR == OP_HLT) {
                local.write_back(m);
                return {RunEnd::HALTED, std::nullopt};
            }
        }
    } catch (const MachineStop& s) {
        local.write_back(m);
        return {RunEnd::STOPPED, s.stop};
    }
    local.write_back(m);
    return {RunEnd::LIMIT, std::nullopt};
}
