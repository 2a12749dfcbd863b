db 5 6
db 5
db 5 org 9
dw 1 2x
jmp missing
