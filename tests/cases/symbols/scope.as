; Label scope across subroutines
        ===->TOP        ; @ 0000 = 2802
        ===->INNER      ; @ 0001 = 28XX ! label err
TOP:    FAR             ; @ 0002 = 200C
        ===->G          ; @ 0003 = 2806
        SUB A           ; @ 0004 = -
LOOP:   NOP             ; @ 0004 = 0000
INNER:  ===->LOOP       ; @ 0005 = 2804
G::     ===->TOP        ; @ 0006 = 28XX ! label err
        END SUB         ; @ 0007 = 0008
        SUB B           ; @ 0008 = -
LOOP:   ===->LOOP       ; @ 0008 = 2808
        ===->E          ; @ 0009 = 280A
E:      END SUB         ; @ 000A = 0008
        ===->TOP        ; @ 000B = 2802
L:      SUB FAR         ; @ 000C = -
        ===->L          ; @ 000C = 28XX ! label err
        ===->G          ; @ 000D = 2806
        END SUB         ; @ 000E = 0008
        far             ; @ 000F = - ! 文法エラー ? UTF-8 text in
        reset           ; @ 000F = - ! 文法エラー
        A               ; @ 000F = 2004
        ===->BIG        ; @ 0010 = 2800 ? target 0800 is in page 1
        ORG 800h        ; @ 0800
BIG::   NOP             ; @ 0800 = 0000
; SUB sub and SUB Llab keep their local labels
        SUB sub         ; @ 0801 = -
LOOP:   NOP             ; @ 0801 = 0000
        ===->LOOP       ; @ 0802 = 2801
        END SUB         ; @ 0803 = 0008
        SUB Llab        ; @ 0804 = -
LOOP:   ===->LOOP       ; @ 0804 = 2804
        ===->E          ; @ 0805 = 2806
E:      END SUB         ; @ 0806 = 0008
        sub             ; @ 0807 = 2001
        Llab            ; @ 0808 = 2004
