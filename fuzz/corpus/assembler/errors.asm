nop
; c

ldi 5 ?
