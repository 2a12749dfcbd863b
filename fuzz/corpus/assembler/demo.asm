; demo
org 100
[start
ldi 5
jmp start
db 7
dw 1000
end
