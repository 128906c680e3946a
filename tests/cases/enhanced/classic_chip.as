;@chip C1
;@program 0000-07FF
;@banks 2
; On a classic chip the enhanced forms are not
; known, and the diagnostic says which core has
; them.
        -->W            ; = - ! normal err ? lines with errors wrote no word ~ '-->W' is BRW, an instruction of the enhanced mid-range core, and the C1 has the classic core % name an enhanced chip (PIC12F1 or PIC16F1): put its file first in the project, or assemble with --chip
        FSR0++>W        ; = - ! normal err ~ 'FSR0++>W' is MOVIW, an instruction of the enhanced mid-range core, and the C1 has the classic core % name an enhanced chip (PIC12F1 or PIC16F1): put its file first in the project, or assemble with --chip
