; Jumps within their own page need no warning,
; up to the last word of page 0.
        NOP             ; @ 0000 = 0000
HERE::  ===->HERE       ; @ 0001 = 2801
        ORG 7FFh
E::     ===->E          ; @ 07FF = 2FFF
