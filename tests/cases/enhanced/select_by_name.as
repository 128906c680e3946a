;@chip E1
;@core enhanced
;@program 0000-1FFF
;@banks 32
; The bank of a register and the page of a
; label, selected by name: MOVLB and MOVLP.
; HIGH and LOW give an address's bytes.
TRISB   EQU 8Dh
ANSELB  EQU 18Dh
FSR1L   EQU 6
FSR1H   EQU 7
        (TRISB)>BANK    ; @ 0000 = 0021  MOVLB 1
        (ANSELB)>BANK   ; = 0023  MOVLB 3
        FAR>PAGE        ; = 3190  MOVLP 10h
        HIGH $8000+TABLE>W ; = 3081  program memory through FSR1
        W>(FSR1H)       ; = 0087
        LOW $8000+TABLE>W ; = 3023
        W>(FSR1L)       ; = 0086
        FSR1++>W        ; = 0016  MOVIW FSR1++: 05
        W>(8Bh)         ; = 008B  INTCON from bank 1: no reminder
        W>(0F0h)        ; = 00F0  common RAM: no reminder
        W>(8Ch)         ; = 008C ? register operand is above 7F
        ORG 123h
TABLE:: RET 5>W         ; @ 0123 = 3405
        ORG 1000h
FAR::   NOP             ; @ 1000
