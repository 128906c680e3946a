; A global symbol that never received a value is
; not a value of 0: the operand gets the error
; an unknown name gets
MACRO EMPTY
END MACRO
MACRO NEVER
QL::
K EQU 5
END MACRO
L::     EMPTY           ; @ - = -
        W+L>W           ; @ 0000 = - ^ 11 ! normal err ? 5 lines with
        (L)+1           ; @ 0001 = - ^ 10 ! normal err
        W+QL>W          ; @ 0002 = - ^ 11 ! normal err
        (K)_BIT1<1      ; @ 0003 = 1480 ^ 10 ! bit err
        (3)_BITK<1      ; @ 0004 = - ^ 16 ! bit err
        W+K>W           ; @ 0005 = - ^ 11 ! normal err
        ===->L          ; @ 0006 = 28XX ^ 14 ! label err
VALUED  EQU 5
        W+VALUED>W      ; @ 0007 = 3E05
        (VALUED)+1      ; @ 0008 = 0A85
