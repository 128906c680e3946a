; [n] reserves n registers from the RAM
; counter, which starts at 10 and moves with
; RAM=; the label gets the first register.
FIRST:: [3]             ; @ 0010 = -
SECOND:: [1]            ; @ 0013
        RAM=20h         ; @ - = -
BUF::   [2]             ; @ 0020 = -
ONE::   [1]             ; @ 0022
        W+(BUF)>F       ; @ 0000 = 07A0
        RAM=G           ; @ 0001 ! RAM Error
        [Q]             ; @ 0001 ! Mem Error
