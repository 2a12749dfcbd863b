; pointers.asm - pointers, tables and inline data
;
; lda and sta read and write the byte that a pointer word points to;
; ldaw and staw do the same for a word. A pointer is a word in memory that
; holds an address, and is moved on with incw, decw or addw. Pointers are
; set up at run time with ldiw and a label, since dw takes only numbers.
;
; Step 1 copies the text STACK, which sits in the code itself behind a jmr
; that jumps over it, into a buffer in reverse order and prints the buffer.
; Step 2 adds up a table of four words with ldaw and writes the total
; through a pointer with staw. Printing the total's two bytes shows that a
; word lies in memory low byte first: 10000 is 16 + 39 * 256.
;
; expect: out 75 67 65 84 83
; expect: out 16 39
; expect: instructions 184
; expect: clocks 906

        jmr 8           ; skip the 6 bytes of text: 2 for the jmr itself + 6
[text   db 83           ; S
        db 84           ; T
        db 65           ; A
        db 67           ; C
        db 75           ; K
        db 0            ; end of the text

; Step 1: copy the text backwards into buffer
        ldiw text
        stdw src        ; src -> first character
        ldiw 4          ; the text is 5 characters long,
        ldiw buffer     ; so its first character goes to buffer + 4
        addw
        stdw dst
[copy   ldi 0
        lda src         ; the character src points to
        cmp             ; Z = 1 at the 0 that ends the text
        jz copied
        lda src
        sta dst         ; *dst = *src
        lddw src
        incw
        stdw src        ; src = src + 1
        lddw dst
        decw
        stdw dst        ; dst = dst - 1
        jmp copy
[copied ldiw buffer
        stdw src
[show   ldi 0
        lda src
        cmp
        jz shown        ; the buffer ends with a 0 as well
        lda src
        out 0
        lddw src
        incw
        stdw src
        jmp show

; Step 2: total = table[0] + table[1] + table[2] + table[3]
[shown  ldiw table
        stdw src
        ldi 4
        std left
        ldiw 0          ; running total on the stack
[addup  ldaw src        ; the word src points to
        addw
        ldiw 2
        lddw src
        addw
        stdw src        ; src = src + 2
        ldd left
        dec
        std left
        jnz addup
        ldiw total
        stdw dst
        staw dst        ; *dst = the total, low byte at total
        lddw total      ; low byte on top ...
        out 0           ; ... so it is printed first
        out 0
        hlt

[src    dw 0
[dst    dw 0
[left   db 0
[table  dw 1000
        dw 2000
        dw 3000
        dw 4000
[total  dw 0
[buffer db 0
        db 0
        db 0
        db 0
        db 0
        db 0
