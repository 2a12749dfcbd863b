; sieve.asm - the primes below 50 with a sieve over a byte array
;
; sieve is an array of 50 bytes, one per number, all 0 at the start, each
; given with db (memory no record fills is 0 too, but a read of it is a
; finding in the debugger, as a variable never set). For each i from 2 on
; whose byte is still 0, i is a prime: it is printed, and the bytes of all
; its multiples are set to 1. The byte of i is reached through the pointer
; p = sieve + i, computed with addw after i is pushed as a word.
;
; expect: out 2 3 5 7 11 13 17 19 23 29 31 37 41 43 47
; expect: instructions 1836
; expect: clocks 8248

        ldi 2
        std i           ; i = 2
[outer  ldi 0           ; i as a word: high byte 0 first ...
        ldd i           ; ... low byte on top
        ldiw sieve
        addw
        stdw p          ; p = sieve + i
        ldi 0
        lda p
        cmp             ; Z = 1 when sieve[i] is 0
        jnz nexti       ; crossed out: not a prime
        ldd i
        out 0           ; i is a prime
        ldd i
        ldd i
        add
        std j           ; j = i + i
        jmp test
[mark   ldi 0
        ldd j
        ldiw sieve
        addw
        stdw p          ; p = sieve + j
        ldi 1
        sta p           ; sieve[j] = 1
        ldd i
        ldd j
        add
        std j           ; j = j + i
[test   ldi 50
        ldd j
        cmp             ; S = 1 when j < 50
        js mark
[nexti  ldd i
        inc
        std i           ; i = i + 1
        ldi 50
        ldd i
        cmp
        js outer        ; go on while i < 50
        hlt

[i      db 0
[j      db 0
[p      dw 0
[sieve  db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0 ; 50 bytes
        db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0
        db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0
        db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0
        db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0 db 0
