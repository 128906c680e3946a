; EQU and = give a label a number, in any
; notation, kept to 16 bits.
TEN::   EQU 10          ; @ 000A = -
K1::    =H'7f'          ; @ 007F
K2 EQU 0ffh             ; @ 00FF
K3 EQU 65536            ; @ 0000
BADK::  EQU ZZ          ; @ 0000 ! EQU Error
        W+K1+K2>W       ; @ 0000 = 3E7E ? literal 017E does not fit 8 bits
        W+TEN>W         ; = 3E0A
