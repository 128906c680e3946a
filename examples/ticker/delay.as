; About 255 x 255 x 3 cycles.
SUB DELAY
        255>W
        W>(COUNT1)
OUTER:  255>W
        W>(COUNT2)
INNER:  (COUNT2)-1(Z)->
        ===->INNER
        (COUNT1)-1(Z)->
        ===->OUTER
END SUB
