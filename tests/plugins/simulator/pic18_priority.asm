; PIC18 interrupt priorities: Timer1 at low priority runs a routine longer than a Timer0 period
; (about 1200 cycles against 1024), so Timer0 at high priority interrupts it at least once each
; time (counted in 'nested'); both come back with their enable bits.
        list    p=18f452
        include "p18f452.inc"
        config  OSC = HS, WDT = OFF, LVP = OFF

hits_h  equ     0x00
hits_l  equ     0x01
inlow   equ     0x02
nested  equ     0x03
spin    equ     0x04
rounds  equ     0x05

        org     0
        goto    start
        org     0x08
        incf    hits_h, f
        tstfsz  inlow
        incf    nested, f
        bcf     INTCON, TMR0IF
        retfie  FAST
        org     0x18
        setf    inlow
        movlw   2
        movwf   rounds
round   movlw   d'200'
        movwf   spin
busy    decfsz  spin, f
        bra     busy
        decfsz  rounds, f
        bra     round
        clrf    inlow
        incf    hits_l, f
        bcf     PIR1, TMR1IF
        retfie

start   clrf    hits_h
        clrf    hits_l
        clrf    inlow
        clrf    nested
        bsf     RCON, IPEN
        movlw   b'11000001'     ; Timer0 on, 8 bits, 1:4
        movwf   T0CON
        bsf     INTCON2, TMR0IP
        bcf     IPR1, TMR1IP
        ; Timer1 starts about half a Timer0 period later, so that its overflows (a whole number of
        ; Timer0 periods apart) never fall inside the high-priority routine.
        movlw   d'170'
        movwf   spin
phase   decfsz  spin, f
        bra     phase
        movlw   b'00000001'     ; Timer1 on, 1:1
        movwf   T1CON
        bsf     PIE1, TMR1IE
        bsf     INTCON, TMR0IE
        bsf     INTCON, GIEL
        bsf     INTCON, GIEH
wait    movlw   3
        cpfslt  hits_l
        bra     finish
        bra     wait
finish  bcf     INTCON, GIEH
done    bra     done
        end
