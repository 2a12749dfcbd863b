#include "machine/headless.hpp"

RunOutcome run_headless(Machine& m, HeadlessIo& io, std::uint64_t limit) {
    // The registers live in a local during the run; every way out writes
    // them back.
    Machine local = m;
    try {
        for (std::uint64_t n = 0; n < limit; ++n) {
            step(local, io);
            if (local.IR == OP_HLT) {
                m = local;
                return {RunEnd::HALTED, std::nullopt};
            }
        }
    } catch (const MachineStop& s) {
        m = local;
        return {RunEnd::STOPPED, s.stop};
    }
    m = local;
    return {RunEnd::LIMIT, std::nullopt};
}
