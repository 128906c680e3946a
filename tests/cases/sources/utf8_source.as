; A source saved as UTF-8 is assembled as it is,
; with one warning for the file at its first
; line beyond ASCII
        NOP             ; = 0000
        NOP             ; = 0000 ? UTF-8 text in # café
        NOP             ; = 0000 # 日本語, not warned again
