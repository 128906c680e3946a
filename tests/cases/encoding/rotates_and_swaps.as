; Rotations, swaps and the complement.
        SWAP(20)        ; @ 0000 = 0E94
        SWAP(20)>W      ; = 0E14
        <<(20)<<        ; = 0D94
        <<(20)<<->W     ; = 0D14
        >>(20)>>->F     ; = 0C94
        /(20)>W         ; = 0914
