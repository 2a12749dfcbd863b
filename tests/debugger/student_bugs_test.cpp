// The faults first-year students make, each as a short program and the
// debugger session that finds it: the first command after the symptom
// names the causing line. One row per fault, the transcript beside it.
#include <string>

#include <gtest/gtest.h>

#include "session_output.hpp"

namespace {

struct Bug {
    const char* name;
    const char* source;
    const char* script;
    const char* transcript;
};

const Bug BUGS[] = {
    // A variable whose label reserves no byte: its first read is a finding
    // by default, and print and last-write name the label.
    {"best.asm",
     R"(        ldi 5
        std count
[loop   ldd best
        ldd count
        cmp
        jz done
        ldd count
        std best
[done   hlt
[count  db 0
[best
)",
     "continue\nprint best\nlast-write best\ncontinue\nlast-write best\n",
     R"(best.asm: source, assembled in memory
at 0000 ldi 5
    1:         ldi 5
finding: reading memory never written at instruction 3, PC 0005 (5): ldd at line 3 (loop) reads 0017 (best), which was never written
    3: [loop   ldd best
3 0005 ldd 23 | SP=3FFE Z=0 S=0 O=0 C=0 | 00
    3: [loop   ldd best
at 0008 ldd 22
    4:         ldd count
0017 (best) = 0x00 0 '\0'
nothing changed 0017 (best) since the start
program halted
9 0015 hlt | SP=3FFF Z=0 S=0 O=0 C=0 |
    9: [done   hlt
0017 (best) last changed by instruction 8 at 0012
8 0012 std 23 | SP=3FFF Z=0 S=0 O=0 C=0 |
    8:         std best
)"},
};

TEST(DebuggerStudentBugs, TheFirstCommandAfterTheSymptomNamesTheCause) {
    for (const Bug& bug : BUGS) {
        SCOPED_TRACE(bug.name);
        EXPECT_EQ(session_output(bug.name, bug.source, bug.script), bug.transcript);
    }
}

}  // namespace
