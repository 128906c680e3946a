; Bit-banged serial output: sends "HI" again and
; again on RB0, 8 data bits, no parity, 1 stop
; bit, lowest bit first (8N1).
STATUS  EQU 3
PORTB   EQU 6
TRISB   EQU 86h
BITTIME EQU 30          ; delay loops per bit
        RAM=20h
DATA::  [1]             ; the byte being sent
BITS::  [1]             ; data bits still to send
WAIT::  [1]             ; delay counter

START:: (STATUS)_BIT5<1 ; bank 1
        00>(TRISB)      ; RB0 is an output
        (STATUS)_BIT5<0 ; bank 0
        (PORTB)_BIT0<1  ; the line idles high
MAIN::  $48>W           ; "H"
        W>(DATA)
        SEND
        $49>W           ; "I"
        W>(DATA)
        SEND
        ===->MAIN

; Sends the byte in DATA; DATA is used up.
SUB SEND
        (PORTB)_BIT0<0  ; start bit
        BITDELAY
        8>W
        W>(BITS)
NEXT:   >>(DATA)>>      ; RRF: next bit into carry
        (STATUS)_BIT0=1-> ; BTFSS STATUS,C
        ===->ZERO
        (PORTB)_BIT0<1  ; a one
        ===->SENT
ZERO:   (PORTB)_BIT0<0  ; a zero
        NOP             ; same 5 cycles as a one
SENT:   BITDELAY
        (BITS)-1(Z)->   ; DECFSZ BITS,F
        ===->NEXT
        (PORTB)_BIT0<1  ; stop bit
        BITDELAY
END SUB

SUB BITDELAY
        BITTIME>W
        W>(WAIT)
LOOP:   (WAIT)-1(Z)->
        ===->LOOP
END SUB
