; Words that are built as the notation says, but
; probably not as meant: each is assembled
; unchanged and warned about
TABLE   EQU 30h
        5/2>W           ; @ 0000 = 3005 ? operator / is not evaluated
        W+5*3>W         ; = 3E05 ? the term 3 after it is ignored
        TABLE/256>W     ; = 3030 ? value stays 0030
        RET 'H'>W       ; = 3400 ? term 'H' is neither a number
        W+$>W           ; = 3E00 ? term $ is neither
        (3)_BIT'h'<1    ; = 1403 ? reads as 0000 (character literals
        DE H''          ; = 00 ? term H'' is neither
        W+0x1F>W        ; = - ! normal err ? 4 lines with errors
        W+1Fh>W         ; = 3E1F
        NOP ; = 0000 ? remark cut to 48 characters # and the rest of this remark is lost
        NOP             ; = 0000
        W+5>F           ; @ 000A = - ! normal err ? remark cut to 48 # this remark is longer than that
        (3)_BIT9<1      ; @ 000B = - ! bit err
        (3)_BIT1<1      ; @ 000C = 1483
        SWAP5>W         ; @ 000D = - ! normal err
        NOP             ; @ 000E = 0000
        ORG 'H'         ; @ 0000 ! ORG Error ? term 'H'
