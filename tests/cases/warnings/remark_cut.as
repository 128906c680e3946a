; A remark keeps 48 characters in the record;
; the rest is lost from the listing, with a
; warning at the first character cut.
        NOP ; = 0000 ? remark cut to 48 characters # and the rest of this remark is lost
        NOP             ; @ 0001 = 0000
        W+5>F           ; @ 0002 = - ! normal err ? remark cut to 48 ? lines with errors wrote no word # this remark is longer than that
        (3)_BIT1<1      ; @ 0003 = 1483
