; SUB names a subroutine, END SUB returns
; from it, and its name as a statement calls
; it.
        NOP             ; @ 0000 = 0000
        SUB TWICE       ; @ 0001 = -
        NOP             ; @ 0001 = 0000
        END SUB         ; @ 0002 = 0008
        TWICE           ; @ 0003 = 2001
