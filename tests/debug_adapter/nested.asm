; Nested calls for the debug adapter's session: main calls outer, outer
; calls inner, inner changes n; then main writes into its own code.
[start  ldi 3
        std n
        call outer
        out 0

        ldi 7
        std start       ; writing into code
        hlt

[outer  stdw oret
        ldd n
        call inner
        lddw oret
        ret

[inner  stdw iret
        inc
        std n
        ldd n
        lddw iret
        ret

[n      db 0
[oret   dw 0
[iret   dw 0
