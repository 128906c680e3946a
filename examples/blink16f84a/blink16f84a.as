; LED blinker for a PIC16F84A with a 4 MHz
; crystal: RB0 changes every fourth overflow of
; TMR0.
; korva-asm --chip 16F84A blink16f84a.amk
        RAM=$0C
TICKS:: [1]                     ; overflows to wait

START:: (STATUS)_BITRP0<1       ; bank 1
        00>(TRISB)              ; PORTB: outputs
        $87>W                   ; TMR0 from the clock,
        W>(OPTION_REG)          ; prescaler 1:256
        (STATUS)_BITRP0<0       ; bank 0
        00>(PORTB)
MAIN::  4>W
        W>(TICKS)
        WAIT
        1>W
        W\(PORTB)>F             ; XORWF: RB0 changes
        ===->MAIN

; Waits for TICKS overflows of TMR0, 65,536
; cycles each.
SUB WAIT
TICK:   (INTCON)_BITT0IF=1->    ; BTFSS: skip once set
        ===->TICK
        (INTCON)_BITT0IF<0
        (TICKS)-1(Z)->
        ===->TICK
END SUB

; XT oscillator, watchdog off, power-up timer
; on.
        ORG $2007
        \3FF1
