; flags.asm - overflow, sign and division
;
; add and mul set the overflow flag O when the true result is above 127,
; the largest signed byte, even though the pushed byte is the low 8 bits of
; the result. sub sets the sign flag S when it borrows, that is when the
; value on top is smaller than the value beneath it. div divides the value
; on top by the value beneath it and drops the remainder.
;
; Step 1 doubles 1 until add reports an overflow (jo): 1 2 4 ... 128.
; Step 2 finds the largest n whose square fits in 7 bits (jno): 11.
; Step 3 divides 200 by 7 with div and takes the remainder with mul and sub:
; 28, remainder 4.
; Step 4 prints the distance |x - y| of 3 and 5, and of 9 and 4, choosing
; the order of the subtraction by S: 2 and 5.
;
; expect: out 1 2 4 8 16 32 64 128
; expect: out 11
; expect: out 28 4
; expect: out 2 5
; expect: instructions 183
; expect: clocks 752

; Step 1: powers of two
        ldi 1
        out 0
[double in 0            ; the value just printed, twice
        in 0
        add             ; O = 1 when the true sum is above 127
        jo toobig
        out 0
        jmp double
[toobig out 0           ; 64 + 64 = 128 still fits in the byte

; Step 2: largest n with n * n <= 127
        ldi 0
        std n
[square ldd n
        inc
        std n           ; n = n + 1
        ldd n
        ldd n
        mul             ; O = 1 when n * n is above 127
        std n2          ; stores leave the flags alone
        jno square
        ldd n
        dec
        out 0           ; 11

; Step 3: 200 / 7 and 200 mod 7
        ldi 7           ; beneath: divisor
        ldi 200         ; on top: dividend
        div             ; 200 / 7
        std n
        ldd n
        out 0           ; 28
        ldi 7
        ldd n
        mul             ; 28 * 7 = 196
        ldi 200
        sub             ; 200 - 196
        out 0           ; 4

; Step 4: distances
        ldi 3
        std x
        ldi 5
        std y
        call distance
        ldi 9
        std x
        ldi 4
        std y
        call distance
        hlt

; distance: prints |x - y|
[distance ldd y
        ldd x
        sub             ; x - y; S = 1 when x < y
        jns positive
        std n           ; drop the wrapped difference
        ldd x
        ldd y
        sub             ; y - x
[positive out 0
        ret

[n      db 0
[n2     db 0
[x      db 0
[y      db 0
