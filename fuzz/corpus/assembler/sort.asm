; sort.asm - bubble sort of a byte array
;
; Each pass walks the array with two pointers, p to an element and q to the
; one after it, and swaps the two when they are out of order. A pass that
; swaps nothing ends the sort. cmp with the right-hand element on top sets
; the sign flag S when it is smaller than the left-hand one; jns skips the
; swap otherwise.
;
; expect: out 3 9 17 28 42 64 100 200
; expect: instructions 812
; expect: clocks 3684

[pass   ldi 0
        std swapped     ; swapped = 0
        ldiw data
        stdw p          ; p -> first element
        ldi 7
        std left        ; 7 neighbour pairs in 8 elements
[inner  lddw p
        incw
        stdw q          ; q = p + 1
        lda p
        std a           ; a = *p
        lda q
        std b           ; b = *q
        ldd a           ; beneath: a
        ldd b           ; on top: b
        cmp             ; S = 1 when b < a
        jns inorder
        ldd b
        sta p           ; *p = b
        ldd a
        sta q           ; *q = a
        ldi 1
        std swapped
[inorder lddw q
        stdw p          ; p = q
        ldd left
        dec
        std left        ; Z = 1 when no pair is left
        jnz inner
        ldi 0
        ldd swapped
        cmp             ; Z = 1 when this pass swapped nothing
        jnz pass

        ldiw data       ; print the sorted array
        stdw p
        ldi 8
        std left
[print  lda p
        out 0
        lddw p
        incw
        stdw p
        ldd left
        dec
        std left
        jnz print
        hlt

[swapped db 0
[left    db 0
[a       db 0
[b       db 0
[p       dw 0
[q       dw 0
[data    db 64
         db 17
         db 200
         db 3
         db 42
         db 9
         db 100
         db 28
