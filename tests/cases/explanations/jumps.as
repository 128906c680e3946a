; A jump's target must be a label in reach;
; a call's subroutine must have an address.
MACRO M
SUB HIDDEN
RET
END SUB
END MACRO
SUB A
IN:     NOP
        RET
END SUB
SUB S
        RET
END SUB
        ===->NOWHERE    ; ^ 14,7 ! label err ~ the jump target NOWHERE is not defined
        ===->IN         ; ^ 14,2 ! label err ~ the jump target IN is a local label of subroutine A, out of reach here % write the label with two colons (IN::) to make it global & IN is defined here
        ===->S          ; ^ 14,1 ! label err ~ the jump target S is a subroutine, not a label % call the subroutine by writing its name as the statement & S is defined here
        HIDDEN          ; ^ 9,6 ! sub err ~ the subroutine HIDDEN has no address: no assembled line gave it one (it stands in a macro body that is never expanded)
        bogus           ; ^ 9,5 ! 文法エラー ? UTF-8 text in ~ 'bogus' fits no form of the notation, and no subroutine has that name
        s               ; ^ 9,1 ! 文法エラー ~ 's' fits no form of the notation, and no subroutine has that name % the subroutine is named S (letter case counts)
