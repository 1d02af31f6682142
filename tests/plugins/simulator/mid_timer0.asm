; Timer0 with a 1:4 prescaler interrupts the main loop; the interrupt routine saves W and
; STATUS, counts the overflows and clears the flag. The main loop runs in bank 1 half the time.
        list    p=16f877a
        include "p16f877a.inc"
        __config _HS_OSC & _WDT_OFF & _LVP_OFF

w_save  equ     0x70
s_save  equ     0x71
ticks   equ     0x72
loops   equ     0x20

        org     0
        goto    start
        org     4
isr     movwf   w_save
        swapf   STATUS, w
        movwf   s_save
        bcf     STATUS, RP0
        incf    ticks, f
        bcf     INTCON, T0IF
        swapf   s_save, w
        movwf   STATUS
        swapf   w_save, f
        swapf   w_save, w
        retfie

start   clrf    ticks
        clrf    loops
        bsf     STATUS, RP0
        movlw   b'11010001'      ; internal clock, prescaler 1:4 to Timer0
        movwf   OPTION_REG
        bcf     STATUS, RP0
        movlw   0xF0
        movwf   TMR0
        bsf     INTCON, T0IE
        bsf     INTCON, GIE
main    incf    loops, f
        bsf     STATUS, RP0
        movf    TMR0, w
        bcf     STATUS, RP0
        addwf   loops, w
        btfss   ticks, 2
        goto    main
        bcf     INTCON, GIE
done    goto    done
        end
