; An operand is evaluated term by term; the
; first term without a value is the one an
; error names.
K       EQU 1
        W+(K  + 1)>W    ; ^ 12,1 ! normal err ? lines with errors wrote no word ~ the blank beside K makes the term 'K ' unknown: an operand is evaluated without blanks % write the operand without blanks around its operators
        W+(K+ZZ-Q)>W    ; ^ 14,2 ! normal err ~ ZZ is not defined
        W+(K+-1)>W      ; ^ 11,6 ! normal err ~ an operator in '(K+-1)' has no term after it
SUB P
        RET
END SUB
        W+(P)>W         ; ^ 12,1 ! normal err ~ P is a subroutine, which has no value in an operand
