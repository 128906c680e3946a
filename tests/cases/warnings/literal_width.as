; A literal is 8 bits, -128 to 255; a wider
; value keeps only its low byte, with a
; warning that names the instruction.
BIG     EQU 1234h
        W+2-3>W         ; @ 0000 = 3EFF # minus one
        W+0-128>W       ; = 3E80
        W+0-129>W       ; = 3E7F ^ 11 ? literal FF7F does not fit 8 bits (-128 to 255): ADDLW encodes only its low byte, 7F
        255>W           ; = 30FF
        RET 256>W       ; = 3400 ? literal 0100 does not fit 8 bits (-128 to 255): RETLW encodes only its low byte, 00
        W^100h>W        ; = 3900 ? literal 0100 does not fit 8 bits (-128 to 255): ANDLW encodes only its low byte, 00
        W^100h>W        ; = 3900 ? literal 0100 does not fit # met again, warned again
        BIG>W           ; = 3034 ? literal 1234
