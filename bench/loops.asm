; Nested word loops: 300 x 10000 increments of a word counter kept in
; memory, all through lddw/stdw, with decw and cmpw closing the loops.
; Prints the counter (3,000,000 modulo 65536 = 50880) low byte then high.
; expect: out 192 198
; expect: instructions 30001806
        ldiw 300
        stdw outer
[outerloop
        ldiw 10000
        stdw inner
[innerloop
        lddw total          ; total = total + 1
        incw
        stdw total
        lddw inner          ; inner = inner - 1
        decw
        stdw inner
        ldiw 0              ; loop while inner is not 0
        lddw inner
        cmpw
        jnz innerloop
        lddw outer          ; outer = outer - 1 (decw sets Z at 0)
        decw
        stdw outer
        jnz outerloop
        lddw total          ; low byte on top
        out 0
        out 0
        hlt
[outer  dw 0
[inner  dw 0
[total  dw 0
