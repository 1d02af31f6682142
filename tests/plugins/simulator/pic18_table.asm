; PIC18: sums a table in program memory with TBLRD*+, copies it to RAM through POSTINC0, walks it
; back with PREINC1/POSTDEC1 and PLUSW2, multiplies with MULWF/MULLW, calls with the fast
; register stack, and takes Timer0 interrupts at high priority.
        list    p=18f452
        include "p18f452.inc"
        config  OSC = HS, WDT = OFF, LVP = OFF

sum     equ     0x00
hits_h  equ     0x01
hits_l  equ     0x02
count   equ     0x03
prod    equ     0x04
buffer  equ     0x100

        org     0
        goto    start
        org     0x08
        goto    high_isr
        org     0x18
        goto    low_isr

high_isr
        incf    hits_h, f
        bcf     INTCON, TMR0IF
        retfie  FAST
low_isr
        incf    hits_l, f
        retfie

table   db      1, 2, 3, 5, 8, 13, 21, 34

start   clrf    sum
        clrf    hits_h
        clrf    hits_l
        movlw   upper table
        movwf   TBLPTRU
        movlw   high table
        movwf   TBLPTRH
        movlw   low table
        movwf   TBLPTRL
        lfsr    0, buffer
        movlw   8
        movwf   count
copy    tblrd*+
        movf    TABLAT, w
        addwf   sum, f
        movwf   POSTINC0
        decfsz  count, f
        bra     copy
        lfsr    1, buffer - 1
        movf    PREINC1, w
        mulwf   PREINC1
        movff   PRODL, prod
        lfsr    2, buffer
        movlw   5
        movf    PLUSW2, w
        mullw   3
        lfsr    1, buffer + 7
        movf    POSTDEC1, w
        addwf   POSTDEC1, w
        rcall   fast
        ; Timer0 interrupts at high priority (8 bits, 1:2), while the main program counts
        bsf     RCON, IPEN
        movlw   b'11000000'
        movwf   T0CON
        bsf     INTCON2, TMR0IP
        bsf     INTCON, TMR0IE
        bsf     INTCON, GIEL
        bsf     INTCON, GIEH
wait    incf    prod, f
        incf    prod, f
        incf    prod, f
        incf    prod, f
        incf    prod, f
        incf    prod, f
        incf    prod, f
        movf    hits_h, w
        sublw   d'6'
        bnn     wait
        bcf     INTCON, GIEH
done    bra     done

fast    call    fast2, FAST
        return
fast2   movlw   0x03
        movwf   BSR
        return  FAST
        end
