; expect: out 72 69
; expect: stop Divide by zero
[start ldi 72
  out 0
  hlt
