; bits.asm - shifts, rotates and bit masks on bytes and words
;
; The shifts and rotates move one bit per instruction and put the bit that
; leaves the value into the carry flag C, which jc and jnc test. and, or and
; xor work bit by bit; not is a logical negation (1 for 0, 0 for anything
; else), so the bitwise complement of a byte is taken with xor 255.
;
; Bytes, on 181 (binary 10110101, hexadecimal B5):
;   the number of 1 bits (5), counted with shl and jnc;
;   the low and high nibble (5 and 11) with and and shr;
;   the nibbles swapped (91, hexadecimal 5B) twice: once with shl and or,
;   once with four rol; four ror turn it back into 181;
;   the complement (74) with xor; not of 181 and of 0 (0 and 1);
;   the lowest bit tested with ror and jc (181 is odd: 1).
; Words, printed low byte first:
;   4660 (hexadecimal 1234) with its bytes swapped by eight rolw: 18 52;
;   1000 * 10 as (1000 shlw 3 times) + (1000 shlw once): 10000 = 16 39;
;   10000 shrw 4 times: 625 = 113 2;
;   the low byte of 4660 with andw 255: 52 0; 4660 orw 15: 63 18;
;   4660 xorw 4660 and notw of the result, 0: 1 0; 1 rorw once: 0 128.
;
; expect: out 5 5 11 91 91 181 74 0 1 1
; expect: out 18 52 16 39 113 2 52 0 63 18 1 0 0 128
; expect: instructions 211
; expect: clocks 890

; count the 1 bits of 181
        ldi 0
        std ones
        ldi 8
        std k
        ldi 181
[bitloop shl            ; C = the bit shifted out at the left
        jnc zero
        ldd ones
        inc
        std ones
[zero   ldd k
        dec
        std k
        jnz bitloop
        std k           ; drop what is left of the shifted byte
        ldd ones
        out 0           ; 5

; nibbles
        ldi 15
        ldi 181
        and             ; 181 and 15
        out 0           ; 5
        ldi 181
        shr
        shr
        shr
        shr             ; 181 shifted right by four places
        out 0           ; 11

; swap the nibbles: (low shl 4) or high ...
        ldi 181
        shr
        shr
        shr
        shr
        ldi 15
        ldi 181
        and
        shl
        shl
        shl
        shl
        or
        out 0           ; 91
; ... or rotate by four places
        ldi 181
        rol
        rol
        rol
        rol
        in 0            ; 91 again from port 0, to compare with
        cmp
        jnz wrong
        in 0
        out 0           ; 91
        in 0
        ror
        ror
        ror
        ror
        out 0           ; 181

; complement and logical negation
        ldi 255
        ldi 181
        xor
        out 0           ; 74
        ldi 181
        not
        out 0           ; 0
        ldi 0
        not
        out 0           ; 1

; is 181 odd? ror moves bit 0 into C
        ldi 181
        ror
        std k           ; drop the rotated byte
        jc odd
        ldi 0
        jmp parity
[odd    ldi 1
[parity out 0           ; 1

; words: swap the bytes of 4660 with eight rolw
        ldi 8
        std k
        ldiw 4660
[swap   rolw
        ldd k
        dec
        std k
        jnz swap
        out 0           ; 18, the low byte
        out 0           ; 52, the high byte

; 1000 * 10 = 1000 * 8 + 1000 * 2
        ldiw 1000
        shlw
        shlw
        shlw            ; 8000
        ldiw 1000
        shlw            ; 2000
        addw
        stdw w
        lddw w
        out 0
        out 0           ; 10000: 16 39
        lddw w
        shrw
        shrw
        shrw
        shrw
        out 0
        out 0           ; 625: 113 2

; masks on words
        ldiw 255
        ldiw 4660
        andw
        out 0
        out 0           ; 52 0
        ldiw 15
        ldiw 4660
        orw
        out 0
        out 0           ; 4671: 63 18
        ldiw 4660
        ldiw 4660
        xorw            ; 0
        notw            ; 1, since the word was 0
        out 0
        out 0           ; 1 0
        ldiw 1
        rorw            ; bit 0 wraps round into bit 15
        out 0
        out 0           ; 32768: 0 128
        hlt

[wrong  ldi 255         ; not reached: the two swaps disagree
        out 0
        hlt

[ones   db 0
[k      db 0
[w      dw 0
