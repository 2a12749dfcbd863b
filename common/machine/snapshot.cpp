#include "machine/snapshot.hpp"

namespace {

void keep(UndoRecord& r, const Machine& m, unsigned address) {
    if (address >= static_cast<unsigned>(MEMORY_SIZE) || r.count == UndoRecord::CAPACITY) return;
    r.address[r.count] = static_cast<std::uint16_t>(address);
    r.value[r.count] = m.memory[address];
    ++r.count;
}

}  // namespace

UndoRecord capture_undo(const Machine& m) {
    UndoRecord r{};
    r.regs = m.registers();
    // Pushes store at SP and SP - 1 (after a reset at 0x3FFF and 0x3FFE);
    // a word result after four pops lands at SP + 4 and SP + 3.
    unsigned sp = m.SP == 0 ? STACK_TOP : m.SP;
    unsigned low = sp - 1 < STACK_BOTTOM ? STACK_BOTTOM : sp - 1;
    unsigned high = sp + 4 > STACK_TOP ? STACK_TOP : sp + 4;
    for (unsigned a = low; a <= high; ++a) keep(r, m, a);
    const OpcodeEntry& row = OpcodeTable[m.memory[m.PC]];
    unsigned w = operand_word(m);
    switch (row.store) {
        case Store::NONE: break;
        case Store::OPERAND_BYTE: keep(r, m, w); break;
        case Store::OPERAND_WORD:
            keep(r, m, w);
            keep(r, m, w + 1);
            break;
        case Store::POINTED_BYTE:
        case Store::POINTED_WORD:
            if (w + 1 < static_cast<unsigned>(MEMORY_SIZE)) {
                unsigned a = m.memory[w] | (m.memory[w + 1] << 8);
                keep(r, m, a);
                if (row.store == Store::POINTED_WORD) keep(r, m, a + 1);
            }
            break;
        case Store::PORT:
            r.has_port = true;
            r.port = static_cast<std::uint8_t>(operand_byte(m));
            r.port_value = m.ports[r.port];
            break;
    }
    return r;
}

void apply_undo(Machine& m, const UndoRecord& record) {
    for (int i = record.count - 1; i >= 0; --i) m.memory[record.address[i]] = record.value[i];
    if (record.has_port) m.ports[record.port] = record.port_value;
    m.registers() = record.regs;
}
