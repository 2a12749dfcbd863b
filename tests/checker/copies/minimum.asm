; print the smallest byte left eight times, each time marking it used
; expect: out 3 9 17 28 42 64 100 200
        ldi 8
        std count
[round  ldi 255
        std low         ; the smallest so far
        ldiw data
        stdw at
        ldi 8
        std k
[look   lda at
        std v
        ldd low
        ldd v
        cmp             ; S when v < low
        jns next
        ldd v
        std low
        lddw at
        stdw spot       ; where it is
[next   lddw at
        incw
        stdw at
        ldd k
        dec
        std k
        jnz look
        ldd low
        out 0
        ldi 255
        sta spot        ; used
        ldd count
        dec
        std count
        jnz round
        hlt
[count  db 0
[low    db 0
[k      db 0
[v      db 0
[at     dw 0
[spot   dw 0
[data   db 64
        db 17
        db 200
        db 3
        db 42
        db 9
        db 100
        db 28
