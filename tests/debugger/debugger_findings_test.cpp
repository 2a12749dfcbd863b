// Findings in the debugger, driven through a pipe: the manual's worked
// example (a subroutine that stores its arguments before saving its return
// address) stops at the ret that goes astray, naming its line and the
// call's, then where execution left the program, then at the machine's
// stop with the place of the instruction that stopped. Going back and
// forward again stops at the same findings without listing them twice; a
// kind turned off neither stops nor is listed, and turned on again shows
// what the run passed. finish and next say how the stack's depth changed
// across the call, hlt how many bytes are left.
#include <string>

#include <gtest/gtest.h>

#include "run_program.hpp"
#include "session_output.hpp"

namespace {

constexpr const char* WORKED = R"(; expect: no findings
        ldi 3
        ldi 4
        call mult
        out 0
        hlt
[mult   std a           ; takes the low byte of the return address
        std b
        stdw mret       ; saves the arguments as the return address
        lddw mret
        ret
[a      db 0
[b      db 0
[mret   dw 0
)";

constexpr const char* WORKED_SCRIPT = R"(echo =run into the finding
continue
info findings
continue
continue
echo =back and forth
back 3
continue
reverse-continue
reverse-continue
info findings
step
echo =a kind off
check stray off
check
run
continue
continue
info findings
check all on
info findings
echo =the call
run
break mult
continue
finish
echo =goto
run
goto 20
quit
)";

constexpr const char* WORKED_TRANSCRIPT = R"(worked.asm: source, assembled in memory
at 0000 ldi 3
    2:         ldi 3
=run into the finding
finding: return mismatch at instruction 8, PC 0016 (22): ret at line 11 (mult+12) goes to 0304, but the call at line 4 (to mult) pushed 0007
    11:         ret
    4:         call mult
8 0016 ret | SP=3FFF Z=0 S=0 O=0 C=0 |
    11:         ret
at 0304 (outside the program) ldi 0
return mismatch at instruction 8, PC 0016 (22): ret at line 11 (mult+12) goes to 0304, but the call at line 4 (to mult) pushed 0007
finding: stray PC at instruction 9, PC 0304 (772): execution left the program at 0304 after the ret at line 11 (mult+12)
    11:         ret
9 0304 ldi 0 | SP=3FFE Z=0 S=0 O=0 C=0 | 00
at 0306 (outside the program) ldi 0

ERROR
 Stack overflow
PC = 08962 [2302], IR = 000 [00]
of the 4095 bytes on the stack, 1 was pushed by ldi at 2300
at 2302 (outside the program) ldi 0
=back and forth
at 22FE (outside the program) ldi 0

ERROR
 Stack overflow
PC = 08962 [2302], IR = 000 [00]
of the 4095 bytes on the stack, 1 was pushed by ldi at 2300
at 2302 (outside the program) ldi 0
finding: stray PC at instruction 9, PC 0304 (772): execution left the program at 0304 after the ret at line 11 (mult+12)
    11:         ret
at 0306 (outside the program) ldi 0
finding: return mismatch at instruction 8, PC 0016 (22): ret at line 11 (mult+12) goes to 0304, but the call at line 4 (to mult) pushed 0007
    11:         ret
    4:         call mult
at 0304 (outside the program) ldi 0
return mismatch at instruction 8, PC 0016 (22): ret at line 11 (mult+12) goes to 0304, but the call at line 4 (to mult) pushed 0007
stray PC at instruction 9, PC 0304 (772): execution left the program at 0304 after the ret at line 11 (mult+12) (ahead)
9 0304 ldi 0 | SP=3FFE Z=0 S=0 O=0 C=0 | 00
finding: stray PC at instruction 9, PC 0304 (772): execution left the program at 0304 after the ret at line 11 (mult+12)
    11:         ret
at 0306 (outside the program) ldi 0
=a kind off
stray PC: off
return     on  return mismatch
stray      off stray PC
data       on  executing data
code       on  writing into code
unwritten  on  reading memory never written
bounds     on  past the end
started again from reset
at 0000 ldi 3
    2:         ldi 3
finding: return mismatch at instruction 8, PC 0016 (22): ret at line 11 (mult+12) goes to 0304, but the call at line 4 (to mult) pushed 0007
    11:         ret
    4:         call mult
8 0016 ret | SP=3FFF Z=0 S=0 O=0 C=0 |
    11:         ret
at 0304 (outside the program) ldi 0

ERROR
 Stack overflow
PC = 08962 [2302], IR = 000 [00]
of the 4095 bytes on the stack, 1 was pushed by ldi at 2300
at 2302 (outside the program) ldi 0
return mismatch at instruction 8, PC 0016 (22): ret at line 11 (mult+12) goes to 0304, but the call at line 4 (to mult) pushed 0007
of the 4095 bytes on the stack, 1 was pushed by ldi at 2300
1 finding of kinds turned off: stray (check stray on shows it)
every kind: on
return mismatch at instruction 8, PC 0016 (22): ret at line 11 (mult+12) goes to 0304, but the call at line 4 (to mult) pushed 0007
stray PC at instruction 9, PC 0304 (772): execution left the program at 0304 after the ret at line 11 (mult+12)
of the 4095 bytes on the stack, 1 was pushed by ldi at 2300
=the call
started again from reset
at 0000 ldi 3
    2:         ldi 3
breakpoint 1 at 000A (mult)
breakpoint 1 at mult (line 7)
3 0004 call 10 | SP=3FFB Z=0 S=0 O=0 C=0 | 07 00 04 03
    4:         call mult
at 000A (mult) std 23
    7: [mult   std a           ; takes the low byte of the return address
finding: return mismatch at instruction 8, PC 0016 (22): ret at line 11 (mult+12) goes to 0304, but the call at line 4 (to mult) pushed 0007
    11:         ret
    4:         call mult
returned; the stack is 2 bytes shallower than before the call
8 0016 ret | SP=3FFF Z=0 S=0 O=0 C=0 |
    11:         ret
at 0304 (outside the program) ldi 0
=goto
started again from reset
at 0000 ldi 3
    2:         ldi 3
2 findings on the way (info findings lists them)
at 031C (outside the program) ldi 0
)";

constexpr const char* DUP = R"(; dup returns its argument twice: one byte more than it was given
        ldi 5
        call dup
        out 0
        out 0
        ldd 200         ; no line placed a byte there
        hlt
[dup    stdw back       ; the return address
        std v
        ldd v
        ldd v
        lddw back
        ret
[back   dw 0
[v      db 0
)";

constexpr const char* DUP_SCRIPT = R"(check unwritten off
next 2
continue
back 2
check unwritten on
continue
continue
info findings
)";

constexpr const char* DUP_TRANSCRIPT = R"(dup.asm: source, assembled in memory
at 0000 ldi 5
    2:         ldi 5
reading memory never written: off
1 0000 ldi 5 | SP=3FFE Z=0 S=0 O=0 C=0 | 05
    2:         ldi 5
2 0002 call 13 | SP=3FFC Z=0 S=0 O=0 C=0 | 05 00 05
    3:         call dup
8 001C ret | SP=3FFD Z=0 S=0 O=0 C=0 | 05 05
    13:         ret
returned; the stack is 1 byte deeper than before the call
-[5 : 05h]-
-[5 : 05h]-
program halted with 1 byte on the stack
of the 1 byte on the stack, 1 was pushed by line 6: ldd 200
12 000C hlt | SP=3FFE Z=0 S=0 O=0 C=0 | 00
    7:         hlt
at 0009 ldd 200
    6:         ldd 200         ; no line placed a byte there
reading memory never written: on
finding: reading memory never written at instruction 11, PC 0009 (9): ldd at line 6 reads 00C8 (v+169), which was never written
    6:         ldd 200         ; no line placed a byte there
11 0009 ldd 200 | SP=3FFE Z=0 S=0 O=0 C=0 | 00
    6:         ldd 200         ; no line placed a byte there
at 000C hlt
    7:         hlt
program halted with 1 byte on the stack
of the 1 byte on the stack, 1 was pushed by line 6: ldd 200
12 000C hlt | SP=3FFE Z=0 S=0 O=0 C=0 | 00
    7:         hlt
reading memory never written at instruction 11, PC 0009 (9): ldd at line 6 reads 00C8 (v+169), which was never written
of the 1 byte on the stack, 1 was pushed by line 6: ldd 200
)";

TEST(DebuggerFindings, TheWorkedExample) {
    EXPECT_EQ(session_output("worked.asm", WORKED, WORKED_SCRIPT), WORKED_TRANSCRIPT);
}

TEST(DebuggerFindings, StackBalanceAndAKindTurnedOnLater) {
    EXPECT_EQ(session_output("dup.asm", DUP, DUP_SCRIPT), DUP_TRANSCRIPT);
}

}  // namespace
