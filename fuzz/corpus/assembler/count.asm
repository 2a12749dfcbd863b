; count.asm - counting loops with cmp and conditional jumps
;
; The first loop counts from 1 to 10 with the counter in memory and the
; test at the bottom: cmp compares the value on top of the stack with the
; value beneath it and removes both, so each test pushes its operands anew.
; The second loop counts down from 5 and ends when dec reaches zero: dec
; sets the Z flag when its result is 0, so no cmp is needed.
;
; expect: out 1 2 3 4 5 6 7 8 9 10
; expect: out 5 4 3 2 1
; expect: instructions 119
; expect: clocks 469

        ldi 1
        std counter     ; counter = 1
[up     ldd counter
        out 0           ; print counter
        ldd counter
        inc
        std counter     ; counter = counter + 1
        ldi 11          ; beneath: the limit
        ldd counter     ; on top: the counter
        cmp             ; Z = 1 when counter = 11
        jnz up          ; go on while counter is not 11

        ldi 5           ; the second counter lives on the stack
[down   out 0           ; print it (this pops it) ...
        in 0            ; ... and take it back from port 0
        dec             ; Z = 1 when the result is 0
        jz done
        jmp down
[done   std counter     ; drop the 0 that is left on the stack
        hlt

[counter db 0
