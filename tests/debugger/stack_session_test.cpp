// The stack as the program built it, driven through a pipe: backtrace and
// stack on a nested program whose routine keeps its return address in
// memory (its frame still shows) and on a recursive one 40 calls deep (the
// innermost 32 frames, then how many more), going forward, back and by
// reverse-continue; the leak line at hlt names the instruction that left
// the bytes. Each transcript is compared byte for byte.
#include <string>

#include <gtest/gtest.h>

#include "run_program.hpp"
#include "session_output.hpp"

namespace {

const char* const NESTED = R"(; main calls outer, which keeps its return address in memory and calls
; inner; then a loop leaves one byte on the stack each pass
        ldi 10
        call outer
        std res
        ldi 3
        std i
[leak   ldd i           ; pushed and never taken back
        ldd i
        dec
        std i
        ldi 0
        ldd i
        cmp
        jnz leak
        hlt

[outer  stdw oret       ; the return address kept in memory
        inc
        call inner
        lddw oret
        ret

[inner  ldi 7
        std res
        ret

[i      db 0
[res    db 0
[oret   dw 0
)";

const char* const NESTED_SCRIPT = R"(echo =nested
break inner
c
bt
stack
stack 2
finish
bt
stack
delete
c
stack 1
back 5
stack
bt
backtrace 3
stack 0
)";

const char* const NESTED_TRANSCRIPT = R"(nest.asm: source, assembled in memory
at 0000 ldi 10
    3:         ldi 10
=nested
breakpoint 1 at 002C (inner)
breakpoint 1 at inner (line 24)
5 0025 call 44 | SP=3FFC Z=0 S=0 O=0 C=0 | 28 00 0B
    20:         call inner
at 002C (inner) ldi 7
    24: [inner  ldi 7
#0 inner (002C), line 24: ldi 7, called from line 20
#1 outer+4 (0025), line 20: call inner, called from line 4
#2 0002, line 4: call outer
3FFD-3FFE  return address 0028 (to line 21, after the call at line 20)
3FFF  0B   11  pushed by line 19: inc
3FFD-3FFE  return address 0028 (to line 21, after the call at line 20)
... 1 more (stack all shows them)
returned; the stack is as deep as before the call
8 0031 ret | SP=3FFE Z=0 S=0 O=0 C=0 | 0B
    26:         ret
at 0028 lddw 52
    21:         lddw oret
#0 outer+7 (0028), line 21: lddw oret, called from line 4
#1 0002, line 4: call outer
3FFF  0B   11  pushed by line 19: inc
deleted every breakpoint and watchpoint
program halted with 3 bytes on the stack
of the 3 bytes on the stack, 3 were pushed by line 8: ldd i
38 0020 hlt | SP=3FFC Z=1 S=0 O=0 C=0 | 01 02 03
    16:         hlt
3FFD  01    1  pushed by line 8: ldd i
... 2 more (stack all shows them)
at 0017 ldi 0
    12:         ldi 0
3FFD  01    1  pushed by line 8: ldd i
3FFE  02    2  pushed by line 8: ldd i
3FFF  03    3  pushed by line 8: ldd i
#0 leak+10 (0017), line 12: ldi 0
backtrace takes no word but all
'0' is not a count (a number from 1)
)";

const char* const RECURSIVE = R"(; down calls itself until n is 0: 40 calls deep at the bottom
        ldi 40
        std n
        call down
        hlt

[down   ldd n
        dec
        jz bottom       ; n was 1: the 0 stays on the stack
        std n
        call down
        ret
[bottom std n
        ret

[n      db 0
)";

const char* const RECURSIVE_SCRIPT = R"(echo =recursive
break bottom
c
bt
stack 5
break down if [n] == 37
rc
bt
stack
bt all
delete
c
)";

const char* const RECURSIVE_TRANSCRIPT = R"(down.asm: source, assembled in memory
at 0000 ldi 40
    2:         ldi 40
=recursive
breakpoint 1 at 0017 (bottom)
breakpoint 1 at bottom (line 13)
201 000D jz 23 | SP=3FAE Z=1 S=0 O=0 C=0 | 00 16 00 16 00 16 00 16
    9:         jz bottom       ; n was 1: the 0 stays on the stack
at 0017 (bottom) std 27
    13: [bottom std n
#0 down+14 (0017), line 13: std n, called from line 11
#1 down+10 (0013), line 11: call down, called from line 11
#2 down+10 (0013), line 11: call down, called from line 11
#3 down+10 (0013), line 11: call down, called from line 11
#4 down+10 (0013), line 11: call down, called from line 11
#5 down+10 (0013), line 11: call down, called from line 11
#6 down+10 (0013), line 11: call down, called from line 11
#7 down+10 (0013), line 11: call down, called from line 11
#8 down+10 (0013), line 11: call down, called from line 11
#9 down+10 (0013), line 11: call down, called from line 11
#10 down+10 (0013), line 11: call down, called from line 11
#11 down+10 (0013), line 11: call down, called from line 11
#12 down+10 (0013), line 11: call down, called from line 11
#13 down+10 (0013), line 11: call down, called from line 11
#14 down+10 (0013), line 11: call down, called from line 11
#15 down+10 (0013), line 11: call down, called from line 11
#16 down+10 (0013), line 11: call down, called from line 11
#17 down+10 (0013), line 11: call down, called from line 11
#18 down+10 (0013), line 11: call down, called from line 11
#19 down+10 (0013), line 11: call down, called from line 11
#20 down+10 (0013), line 11: call down, called from line 11
#21 down+10 (0013), line 11: call down, called from line 11
#22 down+10 (0013), line 11: call down, called from line 11
#23 down+10 (0013), line 11: call down, called from line 11
#24 down+10 (0013), line 11: call down, called from line 11
#25 down+10 (0013), line 11: call down, called from line 11
#26 down+10 (0013), line 11: call down, called from line 11
#27 down+10 (0013), line 11: call down, called from line 11
#28 down+10 (0013), line 11: call down, called from line 11
#29 down+10 (0013), line 11: call down, called from line 11
#30 down+10 (0013), line 11: call down, called from line 11
#31 down+10 (0013), line 11: call down, called from line 11
... 9 more frames (backtrace all)
3FAF  00    0  pushed by line 8: dec
3FB0-3FB1  return address 0016 (to line 12, after the call at line 11)
3FB2-3FB3  return address 0016 (to line 12, after the call at line 11)
... 76 more (stack all shows them)
breakpoint 2 at 0009 (down) if [n] == 37
breakpoint 2 at down (line 7)
at 0009 (down) ldd 27
    7: [down   ldd n
#0 down (0009), line 7: ldd n, called from line 11
#1 down+10 (0013), line 11: call down, called from line 11
#2 down+10 (0013), line 11: call down, called from line 11
#3 down+10 (0013), line 11: call down, called from line 4
#4 0005, line 4: call down
3FF8-3FF9  return address 0016 (to line 12, after the call at line 11)
3FFA-3FFB  return address 0016 (to line 12, after the call at line 11)
3FFC-3FFD  return address 0016 (to line 12, after the call at line 11)
3FFE-3FFF  return address 0008 (to line 5, after the call at line 4)
#0 down (0009), line 7: ldd n, called from line 11
#1 down+10 (0013), line 11: call down, called from line 11
#2 down+10 (0013), line 11: call down, called from line 11
#3 down+10 (0013), line 11: call down, called from line 4
#4 0005, line 4: call down
deleted every breakpoint and watchpoint
program halted
243 0008 hlt | SP=3FFF Z=1 S=0 O=0 C=0 |
    5:         hlt
)";

TEST(DebuggerStack, NestedCallsAndALeak) {
    EXPECT_EQ(session_output("nest.asm", NESTED, NESTED_SCRIPT), NESTED_TRANSCRIPT);
}

TEST(DebuggerStack, DeepRecursion) {
    EXPECT_EQ(session_output("down.asm", RECURSIVE, RECURSIVE_SCRIPT), RECURSIVE_TRANSCRIPT);
}

}  // namespace
