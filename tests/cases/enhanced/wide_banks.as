;@chip E64
;@core enhanced
;@program 0000-7FFF
;@banks 64
; A part of 64 banks selects them with MOVLB's
; six bits, at 0140; banks 32 to 63 are
; reachable by number and by name.
HIGHREG EQU 1F85h
        40>BSR          ; = 0168
        63>BSR          ; = 017F
        0>BSR           ; = 0140
        (HIGHREG)>BANK  ; = 017F
        64>BSR          ; = - ! normal err ~ MOVLB takes a bank from 0 to 63: 64 is outside ? lines with errors wrote no word
