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
    // A word summed with addw and stored with std: last-write of the word
    // names the later change of either byte, and which byte it was.
    {"width.asm",
     R"(        ldi 1
        ldi 200
        stdw sum
        ldi 0
        ldi 100
        lddw sum
        addw
        std sum
        lddw sum
        out 0
        out 0
        hlt
[sum    dw 0
)",
     "continue\nlast-write sum\nlast-write word sum+1\nlast-write sum+1\n",
     R"(width.asm: source, assembled in memory
at 0000 ldi 1
    1:         ldi 1
-[44 : 2Ch]-
-[1 : 01h]-
program halted with 1 byte on the stack
of the 1 byte on the stack, 1 was pushed by line 7: addw
12 0019 hlt | SP=3FFE Z=0 S=0 O=0 C=0 | 02
    12:         hlt
word 001A (sum) last changed by instruction 8 at 000F (the low byte; the high byte by instruction 3)
8 000F std 26 | SP=3FFE Z=0 S=0 O=0 C=0 | 02
    8:         std sum
word 001B (sum+1) last changed by instruction 3 at 0004 (the low byte; nothing changed the high byte since the start)
3 0004 stdw 26 | SP=3FFF Z=0 S=0 O=0 C=0 |
    3:         stdw sum
001B (sum+1) last changed by instruction 3 at 0004
3 0004 stdw 26 | SP=3FFF Z=0 S=0 O=0 C=0 |
    3:         stdw sum
)"},
    // Arguments pushed in the wrong order: the routine's stack comment names
    // them at the stop inside it, in bt and after a step into it, with the
    // lines that pushed them.
    {"diff.asm",
     R"(; diff: the first argument less the second
        ldi 2
        ldi 9
        call diff
        out 0
        hlt
; ( a b -- a-b )
[diff   stdw back
        sub
        lddw back
        ret
[back   dw 0
)",
     "break diff\ncontinue\nbt\nstep\nbt\nreverse-continue\ngoto 2\nstep\n",
     R"(diff.asm: source, assembled in memory
at 0000 ldi 2
    2:         ldi 2
breakpoint 1 at 000A (diff)
breakpoint 1 at diff (line 8)
3 0004 call 10 | SP=3FFB Z=0 S=0 O=0 C=0 | 07 00 09 02
    4:         call diff
at 000A (diff) stdw 18
    8: [diff   stdw back
in diff (a = 2 from line 2, b = 9 from line 3)
#0 diff (000A) (a = 2 from line 2, b = 9 from line 3), line 8: stdw back, called from line 4
#1 0004, line 4: call diff
4 000A stdw 18 | SP=3FFD Z=0 S=0 O=0 C=0 | 09 02
    8: [diff   stdw back
#0 diff+3 (000D), line 9: sub, called from line 4
#1 0004, line 4: call diff
breakpoint 1 at diff (line 8)
at 000A (diff) stdw 18
    8: [diff   stdw back
in diff (a = 2 from line 2, b = 9 from line 3)
at 0004 call 10
    4:         call diff
3 0004 call 10 | SP=3FFB Z=0 S=0 O=0 C=0 | 07 00 09 02
    4:         call diff
in diff (a = 2 from line 2, b = 9 from line 3)
)"},
    // A loop one element past a table that another label's byte follows:
    // the pointer keeps the block its ldiw loaded through incw.
    {"past.asm",
     R"(        ldiw scores
        stdw p
[loop   lda p
        out 0
        lddw p
        incw
        stdw p
        ldd left
        dec
        std left
        jnz loop
        hlt
[scores db 1
        db 2
[extra  db 9
[left   db 3
[p      dw 0
)",
     "continue\n",
     R"(past.asm: source, assembled in memory
at 0000 ldiw 29
    1:         ldiw scores
-[1 : 01h]-
-[2 : 02h]-
finding: past the end at instruction 21, PC 0006 (6): lda at line 3 (loop) reads 001F (extra), 1 past the end of scores (2 bytes, line 13)
    3: [loop   lda p
    13: [scores db 1
21 0006 lda 33 | SP=3FFE Z=0 S=0 O=0 C=0 | 09
    3: [loop   lda p
at 0009 out 0
    4:         out 0
)"},
};

TEST(DebuggerStudentBugs, TheFirstCommandAfterTheSymptomNamesTheCause) {
    for (const Bug& bug : BUGS) {
        SCOPED_TRACE(bug.name);
        EXPECT_EQ(session_output(bug.name, bug.source, bug.script), bug.transcript);
    }
}

}  // namespace
