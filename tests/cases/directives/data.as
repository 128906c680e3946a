; DE writes one byte, a backslash line whole
; words of hexadecimal digits.
        DE 65           ; @ 0000 = 41
        DE 300          ; @ 0000 = 2C ? DE value 012C does not fit
        \3fff           ; @ 0000 = 3FFF
        \12345678       ; @ 0001 = 12345678
        \123456         ; @ 0003 = 123456
BAD:    \123            ; @ 0004 = - ! byte error
        \1234567890     ; @ 0004 = - ! byte error
        ===->BAD        ; @ 0004 = 2804
        DE X            ; @ 0005 = - ! DE Error
        DE5             ; @ 0005 = - ! 文法エラー ? UTF-8 text in
