; A register above 7F keeps its low 7 bits:
; the bank must be selected. One warning for
; the whole program, at the first of them,
; counts every operand met, again or not.
        W+($86)>F       ; = 0786 ^ 12,3 ? 4 register operands are above 7F; only the low 7 bits are encoded, so make sure the bank is selected (first at
        W+($06)>F       ; = 0786
        ($86)_BIT1<1    ; = 1486
        ($86)>W         ; = 0806
        86h>W           ; = 3086 # a literal, not a register
        W+($86)>F       ; = 0786 # met again, counted again
