#include "machine/stops.hpp"

#include <cstdio>
#include <cstring>

#include "opcode_table.hpp"

void raise_stop(StopKind kind, std::uint16_t pc, std::uint8_t ir) {
    throw MachineStop{Stop{kind, pc, ir, {}}};
}

void raise_stop(StopKind kind, const char* detail) {
    Stop stop{kind, 0, 0, {}};
    std::snprintf(stop.detail, sizeof stop.detail, "%s", detail);
    throw MachineStop{stop};
}

std::string stop_message(const Stop& stop) {
    const char* format = stop_form(stop.kind).message;
    char argument[STOP_DETAIL_CAPACITY];
    if (stop.kind == StopKind::ADDRESS_OVERLOAD) {
        // The instruction's mnemonic in upper case: LDD, STDW, LDAW...
        const char* mnemonic = OpcodeTable[stop.ir].mnemonic;
        std::size_t i = 0;
        for (; mnemonic[i] != '\0' && i + 1 < sizeof argument; ++i)
            argument[i] = static_cast<char>(mnemonic[i] - 'a' + 'A');
        argument[i] = '\0';
    } else {
        std::snprintf(argument, sizeof argument, "%s", stop.detail);
    }
    char text[128];
    std::snprintf(text, sizeof text, format, argument);
    return text;
}

std::string stop_position_line(const Stop& stop) {
    char text[64];
    switch (stop_form(stop.kind).position) {
        case PositionLine::STANDARD:
            std::snprintf(text, sizeof text, "PC = %05d [%04X], IR = %03d [%02X]\n", stop.pc,
                          stop.pc, stop.ir, stop.ir);
            return text;
        case PositionLine::SHORT:
            std::snprintf(text, sizeof text, "PC = %u, IR = %d\n", static_cast<unsigned>(stop.pc),
                          stop.ir);
            return text;
        case PositionLine::NONE: break;
    }
    return "";
}
