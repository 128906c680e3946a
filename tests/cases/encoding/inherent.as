; Instructions without operands, in any letter
; case.
        NOP             ; @ 0000 = 0000
        RET             ; = 0008
        RETI            ; = 0009
        SLEEP           ; = 0063
        clrwdt          ; = 0064
