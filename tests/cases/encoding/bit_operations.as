; Bit operations: set, clear and the two skips.
        (3)_BIT5<1      ; @ 0000 = 1683
        (3)_BIT2=1->    ; = 1D03
        (3)_BIT0=0->    ; = 1803
        (3)_BIT7<0      ; = 1383
        (3)_BIT8<1      ; = - ! bit err ? 2 lines with errors
        5_BIT3<0        ; = 1180 ! bit err # the bit is encoded before the register fails
        (3)_BITF<1      ; = - ! bit err
