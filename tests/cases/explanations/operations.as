; Why a register or literal operation has no
; word ("normal err"): the encoding's cause,
; named at the operand it found wrong.
L:      NOP
        00>(TRISB)      ; ^ 13,5 ! normal err ? lines with errors wrote no word ~ TRISB is not defined
        (20)+1>(20)     ; ^ 16,4 ! normal err ~ the destination '(20)' is not W, F or M
        W+5>F           ; ^ 13,1 ! normal err ~ ADDLW puts its result in W only, and the destination is 'F' % write W as the destination
        SWAP5>W         ; ^ 13,1 ! normal err ~ SWAPF takes a register, and '5' is a literal % write the register in parentheses: (5)
        RET (20)>W      ; ^ 13,4 ! normal err ~ RETLW takes a literal, and '(20)' is a register % write the value without parentheses
        W+(20)>X        ; ^ 16,1 ! normal err ~ the destination 'X' is not W, F or M
        W+(L)>W         ; ^ 12,1 ! normal err ~ L is a local label of the code outside subroutines; an operand takes only global labels and constants % write the label with two colons (L::) to make it global & L is defined here
        W+1>W           ; ^ 9,1 ! normal err ~ W is a destination letter, not a register or a value
M       EQU 1
        (20)+1>M        ; ^ 16,1 ! normal err ~ M is defined as a symbol, so it no longer reads as the destination letter % write F as the destination
