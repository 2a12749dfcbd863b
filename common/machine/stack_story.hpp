// What the stack holds at a step of a recorded run, as the finding monitor
// follows it: the calls open (the return address each pushed and SP after
// it) and the instruction that pushed each stack byte. A StackStory is
// brought forward one instruction at a time, for states the monitor has
// passed; the recorded run keeps one every STORY_GRAIN steps of new ground,
// so that any step is a short replay away.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "machine/findings.hpp"
#include "machine/machine.hpp"
#include "machine/stack_origins.hpp"

struct StackStory {
    std::vector<OpenCall> calls;  // outermost first
    StackOrigins origins;

    // The instruction at m.PC is about to run: a call opens, a ret closes
    // the innermost call (whether it returns there or not, as the monitor
    // does), and the bytes it pushes are noted.
    void before(const Machine& m) {
        unsigned pc = m.PC;
        if (pc >= static_cast<unsigned>(MAX_MEMORY)) return;
        const OpcodeEntry& row = OpcodeTable[m.memory[pc]];
        if (row.flow == Flow::CALL) {
            if (calls.size() == FindingMonitor::MAX_OPEN_CALLS) calls.erase(calls.begin());
            calls.push_back({static_cast<std::uint16_t>(pc + 3),
                             static_cast<std::uint16_t>(m.SP == 0 ? STACK_TOP - 2u : m.SP - 2u)});
        } else if (row.flow == Flow::RETURN && m.SP != 0 && m.SP <= STACK_TOP - 2u &&
                   !calls.empty()) {
            calls.pop_back();
        }
        if (row.pushes != 0) origins.note(pc, m.SP, row.pops, row.pushes);
    }
};

// One open call as a backtrace shows it, innermost first: where the frame
// stands (PC for the innermost, else the call it made and waits on), the
// routine the call that opened it went to and that call (none for the
// outermost frame, the program itself).
struct Frame {
    std::uint16_t position;
    std::optional<std::uint16_t> routine;
    std::optional<std::uint16_t> call_site;
};

// The frames of `calls` (outermost first) with the machine m standing at
// its PC; a call's target is read from the call in m's memory.
std::vector<Frame> frames_of(const std::vector<OpenCall>& calls, const Machine& m);

// One entry of the stack as the views show it, from SP+1 up: the return
// address of an open call still where its call pushed it (two bytes), or
// one byte with the instruction that pushed it (StackOrigins::NONE when no
// instruction the monitor saw did).
struct StackEntry {
    std::uint16_t address;    // the entry's (first) byte
    const OpenCall* call;     // a return address of this call (in the story); else a byte
    std::uint16_t pushed_by;  // for a byte
};

// The entries of the `bytes` bytes above m.SP (fewer when the stack holds
// fewer); a return address cut by the end is shown as its first byte.
std::vector<StackEntry> stack_entries(const StackStory& story, const Machine& m, unsigned bytes);
