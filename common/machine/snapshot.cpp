#include "machine/snapshot.hpp"

namespace {

void keep(UndoRecord& r, unsigned address) {
    if (address >= static_cast<unsigned>(MEMORY_SIZE) || r.count == UndoRecord::CAPACITY) return;
    r.address[r.count] = static_cast<std::uint16_t>(address);
    r.value[r.count] = memory[address];
    ++r.count;
}

}  // namespace

UndoRecord capture_undo(const Machine& m) {
    UndoRecord r{};
    r.regs = m;
    // Pushes store at SP and SP - 1 (after a reset at 0x3FFF and 0x3FFE);
    // a word result after four pops lands at SP + 4 and SP + 3.
    unsigned sp = m.SP == 0 ? STACK_TOP : m.SP;
    unsigned low = sp - 1 < STACK_BOTTOM ? STACK_BOTTOM : sp - 1;
    unsigned high = sp + 4 > STACK_TOP ? STACK_TOP : sp + 4;
    for (unsigned a = low; a <= high; ++a) keep(r, a);
    std::uint8_t op = memory[m.PC];
    unsigned w = operand_word(m);
    switch (op) {
        case OP_STD: keep(r, w); break;
        case OP_STDW:
            keep(r, w);
            keep(r, w + 1);
            break;
        case OP_STA:
        case OP_STAW:
            if (w + 1 < static_cast<unsigned>(MEMORY_SIZE)) {
                unsigned a = memory[w] | (memory[w + 1] << 8);
                keep(r, a);
                if (op == OP_STAW) keep(r, a + 1);
            }
            break;
        case OP_OUT:
            r.has_port = true;
            r.port = static_cast<std::uint8_t>(operand_byte(m));
            r.port_value = ports[r.port];
            break;
        default: break;
    }
    return r;
}

void apply_undo(Machine& m, const UndoRecord& record) {
    for (int i = record.count - 1; i >= 0; --i) memory[record.address[i]] = record.value[i];
    if (record.has_port) ports[record.port] = record.port_value;
    m = record.regs;
}
