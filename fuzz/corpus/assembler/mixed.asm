ldi	5
ldié7
out€0 ; ÿ
LDI 0300
[Loop
JmP LOOP
add 5
ldi 12ab
[end nop
