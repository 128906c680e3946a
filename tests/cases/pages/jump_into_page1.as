; A jump whose target lies in the next 2K page
; keeps its word and is warned about: PCLATH
; must select the target's page.
        ===->FAR        ; @ 0000 = 2900 ^ 14 ? jump target 0900 is in page 1, the GOTO at 0000 in page 0
        ORG 900h
FAR::   NOP             ; @ 0900 = 0000
HERE::  ===->HERE       ; @ 0901 = 2901 # within page 1: no warning
