; Seven-segment counter: shows 0 to 9 on PORTB,
; taking each pattern from a table through a
; computed jump (W added to PCL, RETLW entries).
STATUS  EQU 3
PCL     EQU 2
PORTB   EQU 6
TRISB   EQU 86h
        RAM=20h
DIGIT:: [1]             ; the digit shown, 0 to 9
COUNT1:: [1]            ; delay counters
COUNT2:: [1]

START:: (STATUS)_BIT5<1 ; bank 1
        00>(TRISB)      ; PORTB drives the segments
        (STATUS)_BIT5<0 ; bank 0
        00>(DIGIT)
SHOW::  (DIGIT)>W
        SEGMENTS        ; W := pattern of digit W
        W>(PORTB)
        DELAY
        (DIGIT)+1       ; next digit
        (DIGIT)>W
        10-W>W          ; SUBLW 10: Z set at ten
        (STATUS)_BIT2=0-> ; BTFSC STATUS,Z
        00>(DIGIT)      ; ten: start again at 0
        ===->SHOW

; W (0 to 9) in, segment pattern (gfedcba) out.
; The table must not cross a 256-word page.
SUB SEGMENTS
        W+(PCL)>F       ; ADDWF PCL,F: skip W entries
        RET 3Fh>W       ; 0
        RET 06h>W       ; 1
        RET 5Bh>W       ; 2
        RET 4Fh>W       ; 3
        RET 66h>W       ; 4
        RET 6Dh>W       ; 5
        RET 7Dh>W       ; 6
        RET 07h>W       ; 7
        RET 7Fh>W       ; 8
        RET 6Fh>W       ; 9
END SUB

SUB DELAY
        255>W
        W>(COUNT1)
OUTER:  255>W
        W>(COUNT2)
INNER:  (COUNT2)-1(Z)->
        ===->INNER
        (COUNT1)-1(Z)->
        ===->OUTER
END SUB
