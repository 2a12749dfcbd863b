// The debugger's commands that show and change memory, and go back by
// calls, in one scripted session: print, x and display in every format,
// label+N, undisplay; set of bytes, SP and PC (the run forgets what came
// after and goes on from the change); reverse-next over a whole call and
// reverse-finish out of a subroutine; help COMMAND; list outside the
// program; the messages for wrong words.
#include <string>

#include <gtest/gtest.h>

#include "run_program.hpp"
#include "session_output.hpp"

namespace {

const char* const PROGRAM = R"(; adds the numbers from n down to 1 into total, in a subroutine
        ldi 3
        std n
[again  call addn
        ldd n
        dec
        std n
        jnz again
        hlt
[addn   ldd total
        ldd n
        add
        std total
        ret
[n      db 0
[total  db 0
[big    dw 258
[text   db 72
        db 105
        db 10
        db 0
[spare
)";

const char* const SCRIPT = R"(print n
print spare
print big word
print text string
print text+1 char
x text 4 char
x text 4
x text 2 hex
x text 3 dec
x big 2 word
display total
display n
next 3
undisplay 2
rn
rfinish
next
step 2
rfinish
rn
rn
step 6
rn
rn
set total = 10
set big = 1 0x02
c
back 3
set sp = 0x3FF0
set pc = addn
step
set big+1 = 256
set n = 1 2 3 x
set pc = 99999
set sp
print n float
print nowhere+2
print n+z
x 16383 word
undisplay 5
back 9999
back
rn
rfinish
help print
help rn
help nothing
list 0x2000
)";

const char* const TRANSCRIPT = R"(q.asm: source, assembled in memory
at 0000 ldi 3
    2:         ldi 3
001E (n) = 0x00 0 '\0'
0026 (spare) = 0x00 0 '\0'
0020 (big) = 0x0102 258
0022 (text) = "Hi\n"
0023 (text+1) = 'i'
0022 (text): 'H' 'i' '\n' '\0'
0022 (text): 48 69 0A 00 | 72 105 10 0
0022 (text): 48 69
0022 (text): 72 105 10
0020 (big): 0102 258 6948 26952
1: 001F (total) = 0x00 0 '\0'
2: 001E (n) = 0x00 0 '\0'
1 0000 ldi 3 | SP=3FFE Z=0 S=0 O=0 C=0 | 03
    2:         ldi 3
2 0002 std 30 | SP=3FFF Z=0 S=0 O=0 C=0 |
    3:         std n
3 0005 call 19 | SP=3FFD Z=0 S=0 O=0 C=0 | 08 00
    4: [again  call addn
8 001D ret | SP=3FFF Z=0 S=0 O=0 C=0 |
    14:         ret
1: 001F (total) = 0x03 3 '\x03'
2: 001E (n) = 0x03 3 '\x03'
display 2 removed
at 0005 (again) call 19
    4: [again  call addn
1: 001F (total) = 0x00 0 '\0'
no subroutine is open here: nothing to go back out of
3 0005 call 19 | SP=3FFD Z=0 S=0 O=0 C=0 | 08 00
    4: [again  call addn
8 001D ret | SP=3FFF Z=0 S=0 O=0 C=0 |
    14:         ret
1: 001F (total) = 0x03 3 '\x03'
9 0008 ldd 30 | SP=3FFE Z=0 S=0 O=0 C=0 | 03
    5:         ldd n
10 000B dec | SP=3FFE Z=0 S=0 O=0 C=0 | 02
    6:         dec
1: 001F (total) = 0x03 3 '\x03'
no subroutine is open here: nothing to go back out of
at 000B dec
    6:         dec
1: 001F (total) = 0x03 3 '\x03'
at 0008 ldd 30
    5:         ldd n
1: 001F (total) = 0x03 3 '\x03'
9 0008 ldd 30 | SP=3FFE Z=0 S=0 O=0 C=0 | 03
    5:         ldd n
10 000B dec | SP=3FFE Z=0 S=0 O=0 C=0 | 02
    6:         dec
11 000C std 30 | SP=3FFF Z=0 S=0 O=0 C=0 |
    7:         std n
12 000F jnz 5 | SP=3FFF Z=0 S=0 O=0 C=0 |
    8:         jnz again
13 0005 call 19 | SP=3FFD Z=0 S=0 O=0 C=0 | 08 00
    4: [again  call addn
14 0013 ldd 31 | SP=3FFC Z=0 S=0 O=0 C=0 | 03 08 00
    10: [addn   ldd total
1: 001F (total) = 0x03 3 '\x03'
at 0013 (addn) ldd 31
    10: [addn   ldd total
1: 001F (total) = 0x03 3 '\x03'
at 0005 (again) call 19
    4: [again  call addn
1: 001F (total) = 0x03 3 '\x03'
set 001F (total) = 10
the run goes on from here: the 2 instructions recorded after instruction 12 are forgotten
1: 001F (total) = 0x0A 10 '\n'
set 0020 (big) = 1 2
1: 001F (total) = 0x0A 10 '\n'
program halted
33 0012 hlt | SP=3FFF Z=1 S=0 O=0 C=0 |
    9:         hlt
1: 001F (total) = 0x0D 13 '\r'
at 000C std 30
    7:         std n
1: 001F (total) = 0x0D 13 '\r'
set SP = 3FF0
the run goes on from here: the 3 instructions recorded after instruction 30 are forgotten
1: 001F (total) = 0x0D 13 '\r'
set PC = 0013 (addn)
at 0013 (addn) ldd 31
    10: [addn   ldd total
1: 001F (total) = 0x0D 13 '\r'
31 0013 ldd 31 | SP=3FEF Z=1 S=0 O=0 C=0 | 0D 00 00 00 00 00 00 00
    10: [addn   ldd total
1: 001F (total) = 0x0D 13 '\r'
'256' is not a byte (0 to 255)
'x' is not a byte (0 to 255)
address 99999 out of range (0 to 12287)
set takes LOC = V..., sp = V or pc = LOC
'float' is not a format (byte, word, char or string)
unknown label 'nowhere'
'n+z' is not a location (label+N takes a number)
a word at 3FFF would end past memory
no display 5
went back 31 (the start of the run)
at 0000 ldi 3
    2:         ldi 3
1: 001F (total) = 0x00 0 '\0'
already at the start of the run
already at the start of the run
no subroutine is open here: nothing to go back out of
print LOC [byte|word|char|string] (p)
  the byte (or word, character, string) at LOC in hex, decimal and as a character
  LOC: a decimal or 0x address, a label, label+N or :LINE (a source line)
  example: print total word
reverse-next [N] (rn)
  back N instructions (default 1) at this call depth, over whole calls
  N: a number, decimal or 0x
  example: rn 2
no command 'nothing' (help lists the commands)
2000 is outside the program: the bytes there, decoded
  2000  00 00     ldi 0
  2002  00 00     ldi 0
  2004  00 00     ldi 0
  2006  00 00     ldi 0
  2008  00 00     ldi 0
  200A  00 00     ldi 0
)";

TEST(MemoryAndStateSession, ShowsAndChangesMemoryAndGoesBackByCalls) {
    EXPECT_EQ(session_output("q.asm", PROGRAM, SCRIPT), TRANSCRIPT);
}

}  // namespace
