; * and / are read but not evaluated: the term
; after them leaves the value as it is, and
; the word is built as written, with a
; warning.
TABLE   EQU 30h
        5/2>W           ; @ 0000 = 3005 ? operator / is not evaluated
        W+5*3>W         ; = 3E05 ? the term 3 after it is ignored
        TABLE/256>W     ; = 3030 ? value stays 0030
