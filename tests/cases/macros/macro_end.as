; How an expansion ends: a body line in the
; first column ends it when its first nine
; characters read END MACRO; an indented one
; only when its whole statement is END MACRO
; (letter case and blanks aside, a remark
; allowed), at every level of nested calls
MACRO LONGER
        NOP
  END MACROX
        SLEEP
END MACRO
        LONGER          ; @ - = -
        RET             ; @ 0002 = 0008
MACRO PLURAL
	end macros ; plural
        CLRWDT
END MACRO
        PLURAL          ; @ - = -
        RET             ; @ 0004 = 0008
MACRO SPACED
        NOP
  END MACRO
MACRO TABBED
        SLEEP
	end macro ; done
MACRO DOUBLE
        CLRWDT
    END  MACRO
        SPACED          ; @ - = -
        TABBED          ; @ - = -
        DOUBLE          ; @ - = -
        RET             ; @ 0008 = 0008
MACRO OUTER
        SPACED
        NOP
    end MACRO ; indented, closes OUTER
        OUTER           ; @ - = -
        RET             ; @ 000B = 0008
MACRO DEEPEST
        NOP
	end macro
MACRO DEEPER
        DEEPEST
        SLEEP
  end Macro ; closes DEEPER
MACRO DEEP3
        DEEPER
        CLRWDT
END MACRO
        DEEP3           ; @ - = -
        RET             ; @ 000F = 0008
