; The A/D converter of the PIC16F877A: a right-justified conversion of AN0 on FOSC/32, a
; left-justified one of AN1 on FOSC/8, one on FOSC/2 that ADON off abandons, one on the RC clock,
; and one whose end enters the interrupt routine through ADIF (counted in 0x28). Results go to
; 0x20-0x27. Polled with a three-cycle loop started at each phase by the nops before GO.
        list    p=16f877a
        include "p16f877a.inc"
        __config _HS_OSC & _WDT_OFF & _LVP_OFF

        cblock 0x20
        r0h, r0l, r1h, r1l, r2h, r3h, r3l, r4h, hits
        endc
        org     0
        goto    main
        org     4
        bcf     PIR1, ADIF
        incf    hits, f
        retfie
main
        clrf    hits
        banksel ADCON1
        movlw   b'10000000'     ; right-justified, all analog, VDD reference
        movwf   ADCON1
        banksel ADCON0
        movlw   b'10000001'     ; FOSC/32, AN0, ADON
        movwf   ADCON0
        bsf     ADCON0, GO
w0      btfsc   ADCON0, GO
        goto    w0
        movf    ADRESH, w
        movwf   r0h
        banksel ADRESL
        movf    ADRESL, w
        banksel r0l
        movwf   r0l
        banksel ADCON1
        bcf     ADCON1, ADFM
        banksel ADCON0
        movlw   b'01001001'     ; FOSC/8, AN1
        movwf   ADCON0
        nop
        bsf     ADCON0, GO
w1      btfsc   ADCON0, GO
        goto    w1
        movf    ADRESH, w
        movwf   r1h
        banksel ADRESL
        movf    ADRESL, w
        banksel r1l
        movwf   r1l
        movlw   b'00010001'     ; FOSC/2, AN2
        movwf   ADCON0
        nop
        nop
        bsf     ADCON0, GO
        bcf     ADCON0, ADON    ; abandoned: GO stays, ADRESH keeps its value
        nop
        nop
        nop
        nop
        nop
        nop
        nop
        movf    ADCON0, w
        movwf   r2h
        movlw   b'11000001'     ; the RC clock, AN0
        movwf   ADCON0
        bsf     ADCON0, GO
w3      btfsc   ADCON0, GO
        goto    w3
        movf    ADRESH, w
        movwf   r3h
        bcf     PIR1, ADIF
        banksel PIE1
        bsf     PIE1, ADIE
        banksel ADCON0
        bsf     INTCON, PEIE
        bsf     INTCON, GIE
        movlw   b'10000001'
        movwf   ADCON0
        nop
        bsf     ADCON0, GO
w4      btfsc   ADCON0, GO
        goto    w4
        nop
        nop
        bcf     INTCON, GIE
        movf    ADRESH, w
        movwf   r4h
done    goto    done
        end
