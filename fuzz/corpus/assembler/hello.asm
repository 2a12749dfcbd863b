; hello.asm - printing values through port 0
;
; Every byte written to port 0 appears on the console as -[value : hex]-.
; The program prints the character codes of HELLO and an exclamation mark.
; It also shows that a port remembers the last byte written to it: "in 0"
; pushes the 76 that was just printed, so the second L costs no ldi, and
; port 7, which has no display, serves as a one-byte scratch register.
;
; expect: out 72 69 76 76 79 33
; expect: instructions 16
; expect: clocks 45

        ldi 72          ; H
        out 0           ; out pops the byte on top of the stack
        ldi 69          ; E
        out 0
        ldi 76          ; L
        out 0
        in 0            ; port 0 still holds 76: push it again
        out 0           ; L
        ldi 79          ; O
        out 0
        ldi 33          ; park 33 in port 7 ...
        out 7
        nop             ; ... nothing touches port 7 in between ...
        in 7            ; ... so in gives it back
        out 0           ; !
        hlt             ; HALT, then wait for a key
