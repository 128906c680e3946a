;@chip E1
;@core enhanced
;@program 0000-0FFF
;@banks 32
;@gpr 020-06F
;@gpr 070-07F
;@linear 2000-204F
; Reservations may lie in the linear data
; memory, which FSR0 and FSR1 reach through
; HIGH and LOW. A linear address used as a
; register operand is in no bank: its low 7
; bits name another register.
FSR0L   EQU 04h
FSR0H   EQU 05h
        RAM=2000h       ; @ - = -
SAMPLES:: [80]          ; @ 2000
        HIGH SAMPLES>W  ; @ 0000 = 3020
        W>(FSR0H)       ; = 0085
        LOW SAMPLES+79>W ; = 304F
        W>(FSR0L)       ; = 0084
        W>(SAMPLES)     ; = 0080 ? register operand is above 7F
OVER::  [1]             ; @ 2050 ? reservation 2050 is 2050, outside the general purpose registers of the E1 (020-06F 070-07F, linear 2000-204F)
