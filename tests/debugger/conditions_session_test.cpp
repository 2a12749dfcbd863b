// Breakpoint and watchpoint conditions, ignore counts, word, label+N and
// read watches, driven through a pipe as a script drives the debugger: every
// stop says why, and reverse-continue goes back through exactly the stops
// the run forward made (conditions holding, ignored hits passed), naming
// each as the run forward did. The transcript is compared byte for byte.
#include <string>

#include <gtest/gtest.h>

#include "run_program.hpp"
#include "session_output.hpp"

namespace {

// n runs from 1 to 5; a subroutine doubles it, and big grows by 100 a pass
// (its high byte changes at the third).
const char* const PROGRAM =
    R"(; n runs from 1 to 5: each pass doubles n into last and adds 100 to big
        ldi 1
        std n
[loop   ldd n
        call double
        std last
        lddw big
        ldiw 100
        addw
        stdw big
        ldd n
        inc
        std n
        ldi 6
        ldd n
        cmp
        jnz loop
        hlt

[double stdw dret       ; ( x -- 2x )
        std dx
        ldd dx
        ldd dx
        add
        lddw dret
        ret

[n      db 0
[last   db 0
[dx     db 0
[big    dw 0
[dret   dw 0
)";

const char* const SCRIPT = R"(echo =conditions
break double if [n] == 3
watch last if [last] >= 6
info breakpoints
c
c
c
c
echo =reverse stops where forward did
rc
rc
rc
rc
echo =ignore counts
delete
break loop
ignore 3 2
info breakpoints
c
c
info breakpoints
rc
rc
echo =word, label+N and read watches
run
delete
watch word big if word [big] > 0x100
watch big+1
rwatch dx if top == 3
info breakpoints
c
c
c
info breakpoints
rc
rc
echo =refused
break loop if
break loop if [n] =< 3
watch word
watch word dret+1
rwatch nowhere
break double+1
ignore 9 1
ignore 4
info breakpoints
)";

const char* const TRANSCRIPT = R"(cond.asm: source, assembled in memory
at 0000 ldi 1
    2:         ldi 1
=conditions
breakpoint 1 at 0029 (double) if [n] == 3
watchpoint 2 at 003B (last) if [last] >= 6
1 break 0029 (double) line 20 if [n] == 3
2 watch 003B (last) = 0 if [last] >= 6
breakpoint 1 at double (line 20)
46 0008 call 41 | SP=3FFC Z=0 S=1 O=0 C=0 | 0B 00 03
    5:         call double
at 0029 (double) stdw 63
    20: [double stdw dret       ; ( x -- 2x )
in double (x = 3 from line 4)
watchpoint 2: 003B (last) changed 4 -> 6 at line 6: std last
54 000B std 59 | SP=3FFF Z=0 S=0 O=0 C=0 |
    6:         std last
at 000E lddw 61
    7:         lddw big
watchpoint 2: 003B (last) changed 6 -> 8 at line 6: std last
75 000B std 59 | SP=3FFF Z=0 S=0 O=0 C=0 |
    6:         std last
at 000E lddw 61
    7:         lddw big
watchpoint 2: 003B (last) changed 8 -> 10 at line 6: std last
96 000B std 59 | SP=3FFF Z=0 S=0 O=0 C=0 |
    6:         std last
at 000E lddw 61
    7:         lddw big
=reverse stops where forward did
watchpoint 2: 003B (last) changed 6 -> 8 at line 6: std last
at 000E lddw 61
    7:         lddw big
watchpoint 2: 003B (last) changed 4 -> 6 at line 6: std last
at 000E lddw 61
    7:         lddw big
breakpoint 1 at double (line 20)
at 0029 (double) stdw 63
    20: [double stdw dret       ; ( x -- 2x )
in double (x = 3 from line 4)
no breakpoint, watchpoint or finding stops earlier: the start of the run
at 0000 ldi 1
    2:         ldi 1
=ignore counts
deleted every breakpoint and watchpoint
breakpoint 3 at 0005 (loop)
will pass 3 2 times before it stops
3 break 0005 (loop) line 4, passes 2 more
breakpoint 3 at loop (line 4)
44 0025 jnz 5 | SP=3FFF Z=0 S=1 O=0 C=0 |
    17:         jnz loop
at 0005 (loop) ldd 58
    4: [loop   ldd n
breakpoint 3 at loop (line 4)
65 0025 jnz 5 | SP=3FFF Z=0 S=1 O=0 C=0 |
    17:         jnz loop
at 0005 (loop) ldd 58
    4: [loop   ldd n
3 break 0005 (loop) line 4, hit 4 times
breakpoint 3 at loop (line 4)
at 0005 (loop) ldd 58
    4: [loop   ldd n
no breakpoint, watchpoint or finding stops earlier: the start of the run
at 0000 ldi 1
    2:         ldi 1
=word, label+N and read watches
started again from reset
at 0000 ldi 1
    2:         ldi 1
deleted every breakpoint and watchpoint
watchpoint 4 at word 003D (big) if word [big] > 0x100
watchpoint 5 at 003E
read watchpoint 6 at 003C (dx) if top == 3
4 watch word 003D (big) = 0 if word [big] > 0x100
5 watch 003E = 0
6 rwatch 003C (dx) = 0 if top == 3
read watchpoint 6: 003C (dx) read (3) at line 22: ldd dx
49 002F ldd 60 | SP=3FFE Z=0 S=1 O=0 C=0 | 03
    22:         ldd dx
at 0032 ldd 60
    23:         ldd dx
read watchpoint 6: 003C (dx) read (3) at line 23: ldd dx
50 0032 ldd 60 | SP=3FFD Z=0 S=1 O=0 C=0 | 03 03
    23:         ldd dx
at 0035 add
    24:         add
watchpoint 4: word 003D (big) changed 200 -> 300 at line 10: stdw big
58 0015 stdw 61 | SP=3FFF Z=0 S=0 O=0 C=0 |
    10:         stdw big
at 0018 ldd 58
    11:         ldd n
4 watch word 003D (big) = 300 if word [big] > 0x100, hit 1 time
5 watch 003E = 1, hit 1 time
6 rwatch 003C (dx) = 3 if top == 3, hit 2 times
read watchpoint 6: 003C (dx) read (3) at line 23: ldd dx
at 0035 add
    24:         add
read watchpoint 6: 003C (dx) read (3) at line 22: ldd dx
at 0032 ldd 60
    23:         ldd dx
=refused
no condition after if (a condition is [LOC], word [LOC], sp, pc or top, then ==, !=, <, <=, > or >=, then a number)
no comparison in '[n] =< 3' (a condition is [LOC], word [LOC], sp, pc or top, then ==, !=, <, <=, > or >=, then a number)
watch takes one location, then if and a condition if any
watchpoint 7 at word 0040
unknown label 'nowhere'
double+1 is inside stdw at double (3 bytes); break at double?
no breakpoint 9
ignore takes a breakpoint or watchpoint ID and a count
4 watch word 003D (big) = 200 if word [big] > 0x100, hit 1 time
5 watch 003E = 0, hit 1 time
6 rwatch 003C (dx) = 3 if top == 3, hit 2 times
7 watch word 0040 = 0
)";

TEST(DebuggerConditions, StopsOnlyWhereTheyHoldForwardAndBack) {
    EXPECT_EQ(session_output("cond.asm", PROGRAM, SCRIPT), TRANSCRIPT);
}

}  // namespace
