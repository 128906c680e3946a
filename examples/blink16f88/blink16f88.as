; LED blinker for a PIC16F88: RB0 on and off, on
; the internal oscillator set to 4 MHz.
; korva-asm --chip 16F88 blink16f88.amk
        RAM=$20
COUNT1:: [1]                    ; delay counters
COUNT2:: [1]

START:: (STATUS)_BITRP0<1       ; bank 1
        $60>W                   ; IRCF = 110: 4 MHz
        W>(OSCCON)              ; (31.25 kHz at reset)
        00>(ANSEL)              ; AN0-AN6 digital
        00>(TRISB)              ; PORTB: outputs
        (STATUS)_BITRP0<0       ; bank 0
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

; CONFIG1: internal oscillator, watchdog off,
; power-up timer on, LVP off. CONFIG2: as
; erased.
        ORG $2007
        \3F70
        \3FFF
