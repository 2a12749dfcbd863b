; A call-heavy mix: 480,000 calls of a subroutine that takes a byte on the
; stack and returns a byte there, mixing mul, div, and, or, xor, rol, inc
; and add. The accumulator is fed back into every call.
; Prints the final accumulator.
; expect: out 5
; expect: instructions 13440053
        ldi 8
        std rounds
[round
        ldiw 60000
        stdw n
[loop
        ldd acc
        call mix
        std acc
        lddw n
        decw                ; Z when n reaches 0
        stdw n
        jnz loop
        ldd rounds
        dec
        std rounds
        jnz round
        ldd acc
        out 0
        hlt

; mix(x) = ((rol((x * 3 mod 256) / ((x and 7) + 1) xor 90)) or (x and 1)) + x
[mix
        stdw retaddr        ; keep the return address; x is now on top
        std x
        ldd x               ; divisor (x and 7) + 1
        ldi 7
        and
        inc
        ldd x               ; x * 3, low byte
        ldi 3
        mul
        div                 ; top divided by the byte beneath
        ldi 90
        xor
        rol
        ldd x
        ldi 1
        and
        or
        ldd x
        add
        lddw retaddr        ; return address back on top of the result
        ret
[rounds  db 0
[n       dw 0
[acc     db 0
[x       db 0
[retaddr dw 0
