; Walking light for a PIC16F887: one of eight
; LEDs on PORTD lit, moving on five times a
; second, on the internal 4 MHz oscillator.
; korva-asm --chip 16F887 walk16f887.amk
        RAM=$20
COUNT1:: [1]                    ; delay counters
COUNT2:: [1]

START:: (STATUS)_BITRP0<1       ; bank 3: ANSEL and
        (STATUS)_BITRP1<1       ; ANSELH
        00>(ANSEL)              ; all pins digital
        00>(ANSELH)
        (STATUS)_BITRP1<0       ; bank 1
        00>(TRISD)              ; PORTD: outputs
        (STATUS)_BITRP0<0       ; bank 0
        1>W
        W>(PORTD)               ; RD0 lit
        (STATUS)_BITC<0         ; no carry to shift in
MAIN::  DELAY
        <<(PORTD)<<             ; RLF: RD7 goes to C
        (STATUS)_BITC=0->       ; BTFSC: C set, so
        (PORTD)_BITRD0<1        ; start again at RD0
        (STATUS)_BITC<0
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
        \2FE4
        \3FFF
