; A term that reads as a number though no
; notation fits it ('H', $, H'') is 0, with
; a warning.
        RET 'H'>W       ; @ 0000 = 3400 ? term 'H' is neither a number
        W+$>W           ; = 3E00 ? term $ is neither
        (3)_BIT'h'<1    ; = 1403 ? reads as 0000 (character literals
        DE H''          ; = 00 ? term H'' is neither
        W+0x1F>W        ; = - ! normal err ? lines with errors wrote no word # 0x is no notation: an error, not a warning
        W+1Fh>W         ; = 3E1F
        ORG 'H'         ; @ 0000 ! ORG Error ? term 'H'
