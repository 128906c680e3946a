; Labels in and around macro bodies
MACRO M
IN:     NOP
END MACRO
        M               ; @ - = -
        M               ; @ - = -
AFTER:  ===->AFTER      ; @ 0002 = 2802
        ===->IN         ; @ 0003 = 28XX ! label err
MACRO N
        RET
END MACRO
CALLED: N               ; @ - = -
        ===->CALLED     ; @ 0005 = 2804
MACRO S
SUB HIDDEN
END MACRO
        HIDDEN          ; @ 0006 = 2000 ! sub err
