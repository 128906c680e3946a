; LED blinker for a PIC12F675: GP0 on and off,
; on the internal 4 MHz oscillator.
; korva-asm --chip 12F675 blink12f675.amk
        RAM=$20
COUNT1:: [1]                    ; delay counters
COUNT2:: [1]

START:: 7>W
        W>(CMCON)               ; comparator off
        (STATUS)_BITRP0<1       ; bank 1
        00>(ANSEL)              ; GP0-GP4 digital
        00>(TRISIO)             ; all outputs
        (STATUS)_BITRP0<0       ; bank 0
MAIN::  (GPIO)_BITGP0<1         ; LED on
        DELAY
        (GPIO)_BITGP0<0         ; LED off
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

; Internal oscillator with GP4, GP5 as I/O,
; watchdog off, power-up timer on (the end of
; 12F675.inc).
        ORG $2007
        \3FE4
