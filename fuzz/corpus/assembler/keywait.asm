; keywait.asm - waiting for a key with in 1
;
; "in 1" does not read a port: it waits until a key is pressed, takes the
; key and pushes nothing. This program prints the multiples of 7 below 100
; in pages of five and waits for a key after each full page, like a pager.
; Run it in a terminal and press any key to see the next page; the final
; hlt waits for one more key. When the simulator's input is a pipe, the
; bytes after the file name line are the keys, and at the end of the input
; every wait returns at once.
;
; expect: out 7 14 21 28 35
; expect: out 42 49 56 63 70
; expect: out 77 84 91 98
; expect: instructions 207
; expect: clocks 846

        ldi 5
        std onpage      ; values left on this page
        ldi 7
        std value
[next   ldd value
        out 0
        ldd onpage
        dec
        std onpage      ; Z = 1 when the page is full
        jnz same
        in 1            ; wait for a key
        ldi 5
        std onpage
[same   ldi 7
        ldd value
        add
        std value       ; value = value + 7
        ldi 100
        ldd value
        cmp             ; S = 1 when value < 100
        js next
        hlt

[onpage db 0
[value  db 0
