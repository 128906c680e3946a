; Every instruction of the mid-range set over its whole operand range, in
; standard mnemonics, with jumps and calls in all four pages, a computed
; jump into a RETLW table, the configuration word, ID locations and EEPROM.
        list    p=16f877a
        #include <p16f877a.inc>
        __config _XT_OSC & _WDT_OFF & _PWRTE_ON & _LVP_OFF
        __idlocs 0x1A2B

        org     0
        goto    start
        org     4
        retfie

start:  bsf     STATUS, RP0
        clrf    TRISB
        bcf     STATUS, RP0
        pagesel far1
        call    far1
        pagesel far3
        goto    far3
back:   pagesel back
        movlw   3
        call    table
        sleep
        clrwdt
        nop
        clrw
        return

table:  addwf   PCL, F
        retlw   0x3F
        retlw   0x06
        retlw   0x5B
        retlw   0x4F

; Byte-oriented operations: every register, both destinations.
i = 0
        while i < 0x80
        addwf   i, (i & 1)
        andwf   i, (i & 1)
        clrf    i
        comf    i, (i & 1)
        decf    i, (i & 1)
        decfsz  i, (i & 1)
        incf    i, (i & 1)
        incfsz  i, (i & 1)
        iorwf   i, (i & 1)
        movf    i, (i & 1)
        movwf   i
        rlf     i, (i & 1)
        rrf     i, (i & 1)
        subwf   i, (i & 1)
        swapf   i, (i & 1)
        xorwf   i, (i & 1)
i += 1
        endw

; Bit operations: every register, every bit.
i = 0
        while i < 0x80
        bcf     i, (i & 7)
        bsf     i, (7 - (i & 7))
        btfsc   i, (i & 7)
        btfss   i, (7 - (i & 7))
i += 1
        endw

; Literal operations: every literal.
i = 0
        while i < 0x100
        addlw   i
        andlw   i
        iorlw   i
        movlw   i
        retlw   i
        sublw   i
        xorlw   i
i += 1
        endw

        org     0x1400
far1:   movlw   1
        return

        org     0x1F00
far3:   pagesel back
        goto    back

        org     0x2100
        de      0x00, 0x01, 0x7F, 0x80, 0xFF, "OK"
        end
