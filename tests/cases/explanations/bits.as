; Why a bit operation has no word ("bit
; err"): a bit number outside 0 to 7, or a
; register that is none.
B       EQU 9
        (3)_BIT8<1      ; ^ 16,1 ! bit err ? lines with errors wrote no word ~ the bit number 8 is not 0 to 7
        (3)_BIT$10<1    ; ^ 16,3 ! bit err ~ the bit number '$10' is 16, not 0 to 7
        (3)_BITB-1<1    ; ^ 16,3 ! bit err ~ the bit number 'B-1' is 8, not 0 to 7
        (3)_BIT(9)<1    ; ^ 16,3 ! bit err ~ the bit number '(9)' is 9, not 0 to 7 # a bit number in parentheses is summed inside them
        (3)_BIT(B+1)<1  ; ^ 16,5 ! bit err ~ the bit number '(B+1)' is 10, not 0 to 7
        (3)_BIT(5)<1    ; ^ 16,3 ! bit err ~ the bit number '(5)' is written as a register, and a bit number is 0 to 7 % write the bit number without parentheses
        (3)_BIT(X)<1    ; ^ 17,1 ! bit err ~ X is not defined
        5_BIT3<0        ; ^ 9,1 ! bit err ~ '5' is not a register % write the register in parentheses: (5)
        (STATUS)_BIT0<1 ; ^ 10,6 ! bit err ~ STATUS is not defined
        (3)_BITRP0<1    ; ^ 16,3 ! bit err ~ RP0 is not defined
