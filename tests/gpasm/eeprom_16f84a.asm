; A small program for the 16F84A: a delay subroutine, its configuration
; word, ID locations and a few EEPROM bytes.
        list    p=16f84a
        #include <p16f84a.inc>
        __config _HS_OSC & _WDT_ON & _CP_OFF
        __idlocs 0x0102

count1  equ     0x0C
count2  equ     0x0D

        org     0
        bsf     STATUS, RP0
        movlw   0x00
        movwf   TRISB
        bcf     STATUS, RP0
loop:   comf    PORTB, F
        call    delay
        goto    loop

delay:  movlw   0xFF
        movwf   count1
outer:  movwf   count2
inner:  decfsz  count2, F
        goto    inner
        decfsz  count1, F
        goto    outer
        return

        org     0x2100
        de      1, 2, 3, 4, 0x55, 0xAA
        end
