; A timer interrupt on the 16F628A: the interrupt routine saves and restores
; W and STATUS; configuration word and EEPROM.
        list    p=16f628a
        #include <p16f628a.inc>
        __config _INTOSC_OSC_NOCLKOUT & _WDT_OFF & _LVP_OFF & _MCLRE_OFF

w_save  equ     0x70
s_save  equ     0x71
ticks   equ     0x20

        org     0
        goto    main
        org     4
        movwf   w_save
        swapf   STATUS, W
        movwf   s_save
        bcf     INTCON, T0IF
        incf    ticks, F
        swapf   s_save, W
        movwf   STATUS
        swapf   w_save, F
        swapf   w_save, W
        retfie

main:   movlw   0x07
        movwf   CMCON
        bsf     STATUS, RP0
        movlw   b'10000111'
        movwf   OPTION_REG
        clrf    TRISB
        bcf     STATUS, RP0
        bsf     INTCON, T0IE
        bsf     INTCON, GIE
idle:   movf    ticks, W
        movwf   PORTB
        goto    idle

        org     0x2100
        de      "tick", 0
        end
