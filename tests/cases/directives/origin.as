; ORG moves the location counter forward,
; never back; past FFFF it starts again at 0.
        ORG 4           ; @ 0004 = -
START:: NOP             ; @ 0004 = 0000
        ===->START      ; @ 0005 = 2804
JUST:                   ; @ - = -
        ===->JUST       ; @ 0006 = 2806
HERE:   ORG 100         ; @ 0064 = -
        ===->HERE       ; @ 0064 = 2864
        ORG XYZ         ; @ 0065 = - ! ORG Error
        ORG 50          ; @ 0032 ! ORG Error
        NOP             ; @ 0032 = 0000
        ORG 0FFFFh      ; @ FFFF
        NOP             ; @ FFFF ? went past FFFF
        NOP             ; @ 0000
