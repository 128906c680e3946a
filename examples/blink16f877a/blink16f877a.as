; An LED on RB0 of a PIC16F877A, with a 4 MHz
; crystal (XT).
; korva-asm --chip 16F877A blink16f877a.amk
        RAM=$20
COUNT1:: [1]                    ; delay counters
COUNT2:: [1]

START:: (STATUS)_BITRP0<1       ; bank 1
        00>(TRISB)              ; PORTB: outputs
        (STATUS)_BITRP0<0       ; bank 0
        00>(PORTB)
MAIN::  (PORTB)_BITRB0<1        ; LED on
        DELAY
        (PORTB)_BITRB0<0        ; LED off
        DELAY
        ===->MAIN

; About 196,000 cycles: 0.2 s at 4 MHz.
SUB DELAY
        255>W
        W>(COUNT1)
OUTER:  255>W
        W>(COUNT2)
INNER:  (COUNT2)-1(Z)->         ; DECFSZ COUNT2,F
        ===->INNER
        (COUNT1)-1(Z)->         ; DECFSZ COUNT1,F
        ===->OUTER
END SUB

; XT, watchdog off, power-up timer on, LVP off.
        ORG $2007
        \3F71
