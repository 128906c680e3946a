; Binary counter for a PIC16F628A: eight LEDs on
; PORTB count up five times a second, on the
; internal 4 MHz oscillator.
; korva-asm --chip 16F628A counter16f628a.amk
        RAM=$20
COUNT1:: [1]                    ; delay counters
COUNT2:: [1]

START:: 7>W
        W>(CMCON)               ; comparators off
        (STATUS)_BITRP0<1       ; bank 1
        00>(TRISB)              ; PORTB: outputs
        (STATUS)_BITRP0<0       ; bank 0
        00>(PORTB)
MAIN::  DELAY
        (PORTB)+1               ; INCF PORTB,F
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

; Internal oscillator, watchdog off, power-up
; timer on, LVP off: RB4 stays a pin
; (16F628A.inc).
        ORG $2007
        \3F70
