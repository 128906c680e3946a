; Directives, data and addresses
FIRST:: [3]             ; @ 0010 = -
SECOND:: [1]            ; @ 0013
        RAM=20h         ; @ - = -
BUF::   [2]             ; @ 0020 = -
TEN::   EQU 10          ; @ 000A = -
ONE::   [1]             ; @ 0022
        ORG 4           ; @ 0004 = -
START:: W+(BUF)>F       ; @ 0004 = 07A0
        ===->START      ; @ 0005 = 2804
        SUB TWICE       ; @ 0006 = -
        NOP             ; @ 0006 = 0000
        END SUB         ; @ 0007 = 0008
        TWICE           ; @ 0008 = 2006
        DE 65           ; @ 0009 = 41
        DE 300          ; @ 0009 = 2C ? DE value 012C does not fit
        \3fff           ; @ 0009 = 3FFF
        \12345678       ; @ 000A = 12345678
        \123456         ; @ 000C = 123456
BAD:    \123            ; @ 000D = - ! byte error
        \1234567890     ; @ 000D = - ! byte error
        ===->BAD        ; @ 000D = 280D
JUST:                   ; @ - = -
        ===->JUST       ; @ 000E = 280E
HERE:   ORG 100         ; @ 0064 = -
        ===->HERE       ; @ 0064 = 2864
        ORG XYZ         ; @ 0065 = - ! ORG Error
BADK::  EQU ZZ          ; @ 0065 ! EQU Error
        RAM=G           ; @ 0065 ! RAM Error
        [Q]             ; @ 0065 ! Mem Error
        DE X            ; @ 0065 = - ! DE Error
        DE5             ; @ 0065 = - ! 文法エラー ? UTF-8 text in
        ORG 50          ; @ 0032 ! ORG Error
        NOP             ; @ 0032 = 0000
K1::    =H'7f'          ; @ 007F
K2 EQU 0ffh             ; @ 00FF
K3 EQU 65536            ; @ 0000
        W+K1+K2>W       ; = 3E7E ? literal 017E does not fit 8 bits
        ORG 0FFFFh      ; @ FFFF
        NOP             ; @ FFFF ? went past FFFF
        NOP             ; @ 0000
