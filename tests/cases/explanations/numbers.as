; What an error says about a number that is
; not one: the directives take numbers only,
; and numbers written as other assemblers
; write them are named as such, with the way
; to write them here.
C       EQU     3
        W+0x1F>W        ; ^ 11,4 ! normal err ? lines with errors wrote no word ~ '0x1F' is no number here: the 0x form is not a notation of this assembler % write $1F or 1Fh
        ORG 0x10        ; ^ 13,4 ! ORG Error ~ '0x10' is no number here: the 0x form is not a notation of this assembler % write $10 or 10h
        W+'A'>W         ; ^ 11,3 ! normal err ~ "'A'" is no number here: character literals are not a notation of this assembler % write the character's code, $41
        DE B'0101'      ; ^ 12,7 ! DE Error ~ "B'0101'" is no number here: binary numbers are not a notation of this assembler % write the value in hexadecimal, $NN or NNh
        DE X            ; ^ 12,1 ! DE Error ~ 'X' is not a number in any notation (decimal 31, $1F, 1Fh or H'1F')
        ORG XYZ         ; ^ 13,3 ! ORG Error ~ 'XYZ' is not a number in any notation (decimal 31, $1F, 1Fh or H'1F')
K       EQU ZZ          ; ^ 13,2 ! EQU Error ~ 'ZZ' is not a number in any notation (decimal 31, $1F, 1Fh or H'1F')
K2      EQU C           ; ^ 13,1 ! EQU Error ~ EQU takes a number: C is a symbol, and symbols are not evaluated here
        RAM=G           ; ^ 13,1 ! RAM Error ~ 'G' is not a number in any notation (decimal 31, $1F, 1Fh or H'1F')
        [Q]             ; ^ 10,1 ! Mem Error ~ 'Q' is not a number in any notation (decimal 31, $1F, 1Fh or H'1F')
        \123            ; ^ 10,3 ! byte error ~ a data line holds 2, 4, 6 or 8 hexadecimal digits, and '123' has 3
        ORG 10
        NOP
        ORG  5          ; ^ 14,1 ! ORG Error ~ ORG 5 (0005) lies below the address the program has already reached: the location counter cannot go back
