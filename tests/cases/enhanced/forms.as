;@chip E1
;@core enhanced
;@program 0000-0FFF
;@banks 32
; The forms of the enhanced core's instructions,
; on a chip of that core.
X       EQU 20h
NEAR    EQU 3
START:: FSR0+=NEAR      ; @ 0000 = 3103  ADDFSR FSR0,3
        FSR1+=-1        ; = 317F  ADDFSR FSR1,-1
        fsr1+=0-32      ; = 3160  letter case aside; 0-32 as elsewhere
        ++FSR0>W        ; = 0010  MOVIW ++FSR0
        --FSR1>W        ; = 0015  MOVIW --FSR1
        FSR0++>W        ; = 0012  MOVIW FSR0++
        FSR1-->W        ; = 0017  MOVIW FSR1--
        -2[FSR0]>W      ; = 3F3E  MOVIW -2[FSR0]
        NEAR[FSR1]>W    ; = 3F43  MOVIW 3[FSR1]
        W>++FSR1        ; = 001C  MOVWI ++FSR1
        W>--FSR0        ; = 0019  MOVWI --FSR0
        W>FSR0++        ; = 001A  MOVWI FSR0++
        W>FSR1--        ; = 001F  MOVWI FSR1--
        31[FSR1]<W      ; = 3FDF  MOVWI 31[FSR1]
        W+(X)+(C)>W     ; = 3D20  ADDWFC X,W
        (X)-W-(B)>F     ; = 3BA0  SUBWFB X,F
        <<(X)<<0->W     ; = 3520  LSLF X,W
        <<(X)<<0        ; = 35A0  LSLF X,F
        >>(X)>>0->F     ; = 36A0  LSRF X,F
        >>(X)>>0        ; = 36A0  LSRF X,F
        >>(X)>>S->W     ; = 3720  ASRF X,W
        >>(X)>>S        ; = 37A0  ASRF X,F
        -->W            ; = 000B  BRW
        -->START        ; @ 0017 = 33E8  BRA START, 24 words back
        CALL W          ; = 000A  CALLW
        RESET CHIP      ; = 0001  RESET
        1>BSR           ; = 0021  MOVLB 1
        31>bsr          ; = 003F  MOVLB 31
        8>PCLATH        ; = 3188  MOVLP 8
        127>PCLATH      ; = 31FF  MOVLP 127
; The classic forms keep their meaning.
        W>(X)           ; = 00A0  MOVWF X
        (X)-1           ; = 03A0  DECF X,F
        <<(X)<<         ; = 0DA0  RLF X,F
        W+(X)>W         ; = 0720  ADDWF X,W
        5>W             ; = 3005  MOVLW 5
