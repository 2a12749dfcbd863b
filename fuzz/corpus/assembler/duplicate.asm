[dup
[dup
nop
jmp dup
