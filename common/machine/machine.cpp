#include "machine/machine.hpp"

#include <cstring>

std::uint8_t memory[MEMORY_SIZE];
Machine machine{};
std::uint8_t ports[256];

void machine_reset() {
    std::memset(memory, 0, MEMORY_SIZE);
    std::memset(ports, 0, sizeof ports);
    std::uint8_t ir = machine.IR;  // a reset leaves IR alone
    machine = Machine{};
    machine.IR = ir;
}
