; Every instruction of the enhanced mid-range set, the 14 new ones over
; their operand ranges, in standard mnemonics: jumps and calls in both
; pages, BRA to both ends of its reach, a BRW table, the configuration
; words, ID locations and EEPROM.
        list    p=16f1827
        #include <p16f1827.inc>
        __config _CONFIG1, _FOSC_INTOSC & _WDTE_OFF & _PWRTE_ON
        __config _CONFIG2, _LVP_OFF
        __idlocs 0x1A2B

        org     0
        goto    start
        org     4
        retfie

start:  movlb   1
        clrf    TRISB
        movlb   2
        pagesel far1
        call    far1
        movlp   0
        movlw   2
        call    table
        addfsr  FSR0, .31
        addfsr  FSR0, -.32
        addfsr  FSR1, .1
        addfsr  FSR1, -.1
        moviw   ++FSR0
        moviw   --FSR0
        moviw   FSR0++
        moviw   FSR0--
        moviw   ++FSR1
        moviw   --FSR1
        moviw   FSR1++
        moviw   FSR1--
        movwi   ++FSR0
        movwi   --FSR0
        movwi   FSR0++
        movwi   FSR0--
        movwi   ++FSR1
        movwi   --FSR1
        movwi   FSR1++
        movwi   FSR1--
        moviw   .31[FSR0]
        moviw   -.32[FSR1]
        movwi   .5[FSR0]
        movwi   -.1[FSR1]
        addwfc  0x70, F
        addwfc  0x71, W
        subwfb  0x70, F
        subwfb  0x71, W
        lslf    0x72, F
        lslf    0x72, W
        lsrf    0x73, F
        lsrf    0x73, W
        asrf    0x74, F
        asrf    0x74, W
        movlb   .31
        movlb   0
        movlp   .127
        movlp   0
        callw
        movlw   .255
        sublw   .10
        addlw   .200
        retlw   .7
        sleep
        clrwdt
        nop
back:   bra     back
        bra     ahead
        reset

table:  brw
        retlw   1
        retlw   2
        retlw   3

        org     0x100
ahead:  bra     ahead
        bra     reach
        org     0x200
back256:
        nop
reach:  return
        org     0x2FF
        bra     back256
        bra     $+1
        return

        org     0x800
far1:   movlb   3
        clrf    ANSELB
        movlp   0
        return

        org     0xF000
        de      1, 2, 0x55
        end
