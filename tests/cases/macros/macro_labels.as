; Labels in and around macro bodies: a label in
; a body takes the address of the first
; expansion; a subroutine in a body that is
; never expanded has none
MACRO M
IN:     NOP
END MACRO
        M               ; @ - = -
        M               ; @ - = - ? repeated expansion of macro M
AFTER:  ===->AFTER      ; @ 0002 = 2802
        ===->IN         ; @ 0003 = 2800
        ===->NOWHERE    ; @ 0004 = 28XX ! label err
MACRO N
        RET
END MACRO
CALLED: N               ; @ - = -
        ===->CALLED     ; @ 0006 = 2805
MACRO S
SUB HIDDEN
END MACRO
        HIDDEN          ; @ 0007 = 2000 ! sub err
MACRO T
SUB SHOWN
        RET
END SUB
END MACRO
        T               ; @ - = -
        SHOWN           ; @ 000A = 2008
