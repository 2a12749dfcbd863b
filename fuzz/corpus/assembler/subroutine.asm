; subroutine.asm - subroutines with call and ret, values passed on the stack
;
; call pushes the return address as a word (low byte on top), so on entry
; a subroutine finds its return address above its argument. Each routine
; here first saves its return address with stdw, takes its argument, leaves
; its result on the stack and pushes the return address again just before
; ret. Every routine has its own save slot, so routines may call each other
; (but not themselves). The main program prints n, n*n and n*n*n for n = 1
; to 5.
;
; expect: out 1 1 1
; expect: out 2 4 8
; expect: out 3 9 27
; expect: out 4 16 64
; expect: out 5 25 125
; expect: instructions 188
; expect: clocks 767

        ldi 1
        std n
[next   ldd n
        out 0           ; n
        ldd n
        call square
        out 0           ; n * n
        ldd n
        call cube
        out 0           ; n * n * n
        ldd n
        inc
        std n
        ldi 6
        ldd n
        cmp
        jnz next
        hlt

; square: ( x -- x*x )
[square stdw sqret      ; save the return address
        std sqx         ; take the argument
        ldd sqx
        ldd sqx
        mul             ; x * x, low 8 bits
        lddw sqret      ; return address back on top
        ret

; cube: ( x -- x*x*x ), calls square
[cube   stdw cuberet
        std cubex
        ldd cubex
        call square     ; x * x
        ldd cubex
        mul             ; x * x * x
        lddw cuberet
        ret

[n       db 0
[sqret   dw 0
[sqx     db 0
[cuberet dw 0
[cubex   db 0
