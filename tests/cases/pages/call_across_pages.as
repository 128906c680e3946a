; A call warns as a jump does, in either
; direction.
        S3              ; @ 0000 = 2001 ^ 9 ? call target 1801 is in page 3, the CALL at 0000 in page 0
SUB S0
END SUB                 ; @ 0001 = 0008
        ORG 800h
        S0              ; @ 0800 = 2001 ^ 9 ? call target 0001 is in page 0, the CALL at 0800 in page 1
SUB S1
END SUB                 ; @ 0801 = 0008
        S1              ; @ 0802 = 2001 # within page 1: no warning
        ORG 1801h
SUB S3
END SUB                 ; @ 1801 = 0008
