; Literal operations: the value goes with the
; instruction, and the result to W.
COUNT EQU 20            ; @ 0014 = -
        W+5>W           ; @ 0000 = 3E05
        5>W             ; = 3005
        RET 5>W         ; = 3405
        W+COUNT>W       ; = 3E14
        W+2-3>W         ; = 3EFF
        5-W>W           ; = 3C05
        WV7>W           ; = 3807
        W\$FF>W         ; = 3AFF
        256>W           ; = 3000 ? literal 0100 does not fit
