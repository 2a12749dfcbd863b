; wordmath.asm - 16-bit arithmetic and printing a word in decimal
;
; Words are kept in memory low byte first and travel on the stack with the
; low byte on top; lddw and stdw move them between the two unchanged. The
; program computes 8! = 40320 with mulw and decw, and 1 + 2 + ... + 100 =
; 5050 with addw, incw and cmpw, and prints each as five decimal digits,
; one digit per port 0 write, leading zeros included.
;
; Printing a digit: the quotient of number / divisor is the digit, and
; number - digit * divisor is what is left for the next digit. divw and
; subw take the value on top of the stack as the left-hand operand, so the
; divisor and the subtrahend are pushed first.
;
; expect: out 4 0 3 2 0
; expect: out 0 5 0 5 0
; expect: instructions 1361
; expect: clocks 7452

; 8! by repeated multiplication
        ldiw 1
        stdw result     ; result = 1
        ldiw 8
        stdw n          ; n = 8
[fact   lddw result
        lddw n
        mulw            ; result * n
        stdw result
        lddw n
        decw            ; n - 1; Z = 1 when the result is 0
        stdw n          ; stores leave the flags alone
        jnz fact
        lddw result
        stdw number
        call print

; 1 + 2 + ... + 100
        ldiw 0
        stdw result     ; sum = 0
        ldiw 1
        stdw n          ; n = 1
[sum    lddw result
        lddw n
        addw            ; sum + n
        stdw result
        lddw n
        incw
        stdw n          ; n = n + 1
        ldiw 101        ; beneath: the limit
        lddw n          ; on top: n
        cmpw            ; Z = 1 when n = 101
        jnz sum
        lddw result
        stdw number
        call print
        hlt

; print: writes the word in number as five decimal digits to port 0
[print  ldiw 10000
        call digit
        ldiw 1000
        call digit
        ldiw 100
        call digit
        ldiw 10
        call digit
        ldiw 1
        call digit
        ret

; digit: takes the divisor word beneath its return address, prints
; number / divisor and leaves number - digit * divisor in number
[digit  stdw digret     ; save the return address
        stdw divisor    ; take the divisor
        lddw divisor    ; beneath: divisor
        lddw number     ; on top: number
        divw            ; number / divisor
        stdw quotient
        ldd quotient    ; the low byte is the digit 0 to 9
        out 0
        lddw quotient
        lddw divisor
        mulw            ; digit * divisor
        lddw number
        subw            ; number - digit * divisor
        stdw number
        lddw digret
        ret

[result   dw 0
[n        dw 0
[number   dw 0
[divisor  dw 0
[quotient dw 0
[digret   dw 0
