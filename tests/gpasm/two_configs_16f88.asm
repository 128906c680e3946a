; The 16F88 has two configuration words; a table read through PCLATH in a
; second page.
        list    p=16f88
        #include <p16f88.inc>
        __config _CONFIG1, _INTRC_IO & _WDT_OFF & _LVP_OFF & _MCLR_OFF
        __config _CONFIG2, _FCMEN_OFF & _IESO_OFF
        __idlocs 0x00FF

        org     0
        clrf    PCLATH
        clrf    0x20
next:   movf    0x20, W
        movlw   high digits
        movwf   PCLATH
        movf    0x20, W
        call    digits
        clrf    PCLATH
        movwf   PORTB
        incf    0x20, F
        movlw   4
        xorwf   0x20, W
        btfss   STATUS, Z
        goto    next
        sleep

        org     0x0800
digits: addwf   PCL, F
        retlw   0x3F
        retlw   0x06
        retlw   0x5B
        retlw   0x4F

        org     0x2100
        de      9, 8, 7
        end
