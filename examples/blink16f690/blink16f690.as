; LED blinker for a PIC16F690: RC0 on and off,
; on the internal 4 MHz oscillator.
; korva-asm --chip 16F690 blink16f690.amk
        RAM=$20
COUNT1:: [1]                    ; delay counters
COUNT2:: [1]

START:: (STATUS)_BITRP1<1       ; bank 2: ANSEL and
        00>(ANSEL)              ; ANSELH, all pins
        00>(ANSELH)             ; digital
        (STATUS)_BITRP1<0
        (STATUS)_BITRP0<1       ; bank 1
        00>(TRISC)              ; PORTC: outputs
        (STATUS)_BITRP0<0       ; bank 0
MAIN::  (PORTC)_BITRC0<1        ; LED on
        DELAY
        (PORTC)_BITRC0<0        ; LED off
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

; Internal oscillator with RA4, RA5 as I/O,
; watchdog off, power-up timer on (the end of
; 16F690.inc).
        ORG $2007
        \3FE4
