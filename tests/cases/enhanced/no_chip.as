; Without a chip the classic forms apply.
        RESET CHIP      ; = - ! 文法エラー ? UTF-8 text in ~ 'RESET CHIP' is RESET, an instruction of the enhanced mid-range core, and the project names no chip, so the classic forms apply % name an enhanced chip (PIC12F1 or PIC16F1): put its file first in the project, or assemble with --chip
        3>BSR           ; = - ! normal err ? lines with errors wrote no word ~ '3>BSR' is MOVLB, an instruction of the enhanced mid-range core, and the project names no chip, so the classic forms apply
