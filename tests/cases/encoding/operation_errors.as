; Operations without a valid form get "normal
; err" and no word.
LOCAL:  NOP             ; @ 0000 = 0000
        W+5>F           ; @ 0001 = - ! normal err ? 8 lines with errors
        (20)+1>(20)     ; = - ! normal err
        SWAP5>W         ; = - ! normal err
        RET (20)>W      ; = - ! normal err
        W+(20)>X        ; = - ! normal err
        W+(LOCAL)>W     ; = - ! normal err
        W+(NOWHERE)>W   ; = - ! normal err
        W+1>W           ; = - ! normal err
        NOP             ; @ 0009 = 0000
