; The 12F675 reads its A/D converter and lights GP2 above half scale; the
; oscillator calibration at the top of memory and the configuration word.
        list    p=12f675
        #include <p12f675.inc>
        __config _INTRC_OSC_NOCLKOUT & _WDT_OFF & _MCLRE_OFF & _BODEN_ON

        org     0
        bsf     STATUS, RP0
        call    0x3FF
        movwf   OSCCAL
        movlw   b'00000001'
        movwf   ANSEL
        movlw   b'00001011'
        movwf   TRISIO
        bcf     STATUS, RP0
        movlw   b'00000001'
        movwf   ADCON0
again:  bsf     ADCON0, GO
wait:   btfsc   ADCON0, GO
        goto    wait
        movf    ADRESH, W
        sublw   0x7F
        btfss   STATUS, C
        goto    above
        bcf     GPIO, 2
        goto    again
above:  bsf     GPIO, 2
        goto    again

        org     0x3FF
        retlw   0x80

        org     0x2100
        de      0x10, 0x20
        end
