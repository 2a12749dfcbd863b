; selection sort: the smallest of the rest goes to the front
; expect: out 3 9 17 28 42 64 100 200
[outer  lddw base
        stdw m          ; m -> smallest so far
        lddw base
        incw
        stdw r          ; r -> the next byte to look at
        ldd rest
        std n
[scan   lda r
        std y
        lda m
        std x
        ldd x
        ldd y
        cmp             ; S when y < x
        jns keep
        lddw r
        stdw m
[keep   lddw r
        incw
        stdw r
        ldd n
        dec
        std n
        jnz scan
        lda base        ; swap the front with the smallest
        std x
        lda m
        sta base
        ldd x
        sta m
        lddw base
        incw
        stdw base
        ldd rest
        dec
        std rest
        jnz outer
        ldi 0
        std n
[show   ldiw data
        ldd n
        addw
        stdw r
        lda r
        out 0
        ldd n
        inc
        std n
        ldi 8
        ldd n
        cmp
        jnz show
        hlt
[base   dw data
[m      dw 0
[r      dw 0
[rest   db 7
[n      db 0
[x      db 0
[y      db 0
[data   db 64
        db 17
        db 200
        db 3
        db 42
        db 9
        db 100
        db 28
