;@chip E1
;@core enhanced
;@program 0000-0FFF
;@banks 32
; Operands outside what the instruction can
; hold are errors, each with its range; nothing
; wraps.
X       EQU 20h
FAR     EQU 40
        32>BSR          ; = - ^ 9,2 ! normal err ? lines with errors wrote no word ~ MOVLB takes a bank from 0 to 31: 32 is outside
        128>PCLATH      ; = - ! normal err ~ MOVLP takes a PCLATH value from 0 to 127: 128 is outside
        FSR0+=32        ; = - ^ 15,2 ! normal err ~ ADDFSR takes an offset from -32 to 31: 32 is outside
        FSR1+=0-33      ; = - ! normal err ~ ADDFSR takes an offset from -32 to 31: '0-33' is -33, outside
        FAR[FSR0]>W     ; = - ! normal err ~ MOVIW takes an offset from -32 to 31: 'FAR' is 40, outside
        -33[FSR1]<W     ; = - ! normal err ~ MOVWI takes an offset from -32 to 31: -33 is outside
        FSR2++>W        ; = - ^ 9,4 ! normal err ~ MOVIW takes FSR0 or FSR1, and 'FSR2' is neither
        (X)>BSR         ; = - ! normal err ~ MOVLB takes a literal, and '(X)' is a register % write the value without parentheses
        -->FARAWAY      ; = 32XX ^ 12,7 ! label err ~ the jump target FARAWAY is +256 words from the word after the BRA, which reaches -256 to 255
        ORG 109h
FARAWAY::
        -->FARAWAY      ; = 33FF  BRA to itself: -1
