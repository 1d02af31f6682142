; The PIC18F452 program of the simulator benchmark: an endless loop of table reads, multiplies,
; indirect moves and calls.
        list    p=18f452
        include "p18f452.inc"
        config  OSC = HS, WDT = OFF, LVP = OFF

        org     0
start   movlw   upper table
        movwf   TBLPTRU
        movlw   high table
        movwf   TBLPTRH
        movlw   low table
        movwf   TBLPTRL
        lfsr    0, 0x100
        movlw   d'16'
        movwf   0x00
loop    tblrd*+
        movf    TABLAT, w
        mulwf   0x01
        movff   PRODL, POSTINC0
        addwf   PRODH, w
        movwf   0x01
        rcall   work
        decfsz  0x00, f
        bra     loop
        bra     start
work    incf    0x02, f
        movf    PLUSW0, w
        return
table   db      3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3
        end
