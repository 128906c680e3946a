; Register operations: the result goes to the
; register (F, M or none) or to W. COUNT is 14
; hexadecimal.
COUNT EQU 20            ; @ 0014 = -
        W+(20)>F        ; @ 0000 = 0794
        (20)+1          ; = 0A94
        (20)+1>W        ; = 0A14
        (20)-1>F(Z)->   ; = 0B94
        (20)+1>W(Z)->   ; = 0F14
        (20)+1(Z)->     ; = 0F94
        (20)-1          ; = 0394
        W>(20)          ; = 0094
        00>(20)         ; = 0194
        00>W            ; = 0100
        W+(COUNT)>F     ; = 0794
        W+(COUNT+1)>W   ; = 0715
        (20)-W>F        ; = 0294
        WV(20)>W        ; = 0414
        W\(20)>F        ; = 0694
        W^(20)>W        ; = 0514
        (20)>W          ; = 0814
        (20)>F          ; = 0894
        (20)>M          ; = 0894
        w+(20)>w        ; = 0714 # letters in either case
        W+($86)>F       ; = 0786 ? register operand is above 7F
