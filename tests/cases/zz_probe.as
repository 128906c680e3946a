NOP ; = 0001
W+5>W ; @ 0000 ! x
SLEEP ; = 0063
