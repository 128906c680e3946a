; LED blinker: toggles bit 0 of PORTB with a delay between.
STATUS EQU 3
PORTB EQU 6
TRISB EQU 86h
RAM=20h
COUNT1:: [1]
COUNT2:: [1]

START:: (STATUS)_BIT5<1        ; bank 1
        00>(TRISB)             ; all of PORTB as outputs
        (STATUS)_BIT5<0        ; bank 0
MAIN::  (PORTB)_BIT0<1         ; LED on
        DELAY
        (PORTB)_BIT0<0         ; LED off
        DELAY
        ===->MAIN

SUB DELAY
        255>W
        W>(COUNT1)
OUTER:  255>W
        W>(COUNT2)
INNER:  (COUNT2)-1(Z)->
        ===->INNER
        (COUNT1)-1(Z)->
        ===->OUTER
END SUB
