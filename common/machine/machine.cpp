#include "machine/machine.hpp"

void machine_reset(Machine& m) {
    m.registers() = Registers{};
    std::memset(m.memory, 0, sizeof m.memory);
    std::memset(m.ports, 0, sizeof m.ports);
}
