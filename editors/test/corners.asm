; Corners where a number runs into letters, label definitions stand between
; an instruction and its operand, and text follows `end`: the colours of
; both grammars must be what the assembler reads.
; expect: nothing, this is no checker file
        5nop
[loop   ldi 1add
        jmp [a loop
        ldiw 7jmp loop
        call [b [c loop ; a comment after the operand
[x5 nop5 x5nop 55a5b inc2 2inc
        jmp nop
        jmp org 5
        ldi 300out 1
[Sqr    LDD Sqr
        db 5 dw 700
[d      dw 12ret
        jmp end ldi 9   ; `end` is no operand; the rest of its line is read
        ldi 5           ; not read
[after  jmp after
