; The bank of a register and the page of a
; label, selected by name: two bit operations
; each on the classic core, for a chip of any
; size.
TRISB   EQU 86h
EEDATA  EQU 10Ch
EECON1  EQU 18Ch
        (TRISB)>BANK    ; @ 0000 = 16831303  BSF RP0, BCF RP1
        (6)>BANK        ; @ 0002 = 12831303  bank 0
        (EEDATA)>BANK   ; = 12831703  bank 2
        EECON1>BANK     ; = 16831703  bank 3: a value will do
        FAR>PAGE        ; @ 0008 = 158A120A  page 1
        HIGH FAR>W      ; = 3008  MOVLW 08h
        LOW FAR+2>W     ; = 3002
        W>(0Ah)         ; = 008A  MOVWF PCLATH
        0>PAGE          ; = 118A120A  page 0
        200h>BANK       ; = - ^ 9,4 ! normal err ? lines with errors wrote no word ~ x>BANK takes an address from 0 to 511: '200h' is 512, outside
        ORG 800h
FAR::   NOP             ; @ 0800 = 0000
