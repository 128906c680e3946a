; Ticker for a PIC16F877A: counts the passes of
; its main loop on PORTB, with a delay between.
START:: BANK1
        00>(TRISB)      ; all of PORTB as outputs
        BANK0
        00>(TICKS)
MAIN::  (TICKS)+1       ; one more pass
        SHOW
        DELAY
        ===->MAIN
