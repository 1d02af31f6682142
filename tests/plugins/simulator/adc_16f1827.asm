; The A/D converter of the enhanced PIC16F1827 (CHS4:0 in ADCON0, ADFM and ADCS in ADCON1): a
; conversion of AN4 on FOSC/32 whose end enters the interrupt routine (counted in 0x70), then
; one of AN1 on the FRC clock; results in 0x20-0x22.
        list    p=16f1827
        include "p16f1827.inc"
        __config _CONFIG1, _FOSC_HS & _WDTE_OFF & _MCLRE_ON
        __config _CONFIG2, _LVP_OFF

        cblock 0x20
        r0h, r0l, r1h
        endc
hits    equ     0x70
        org     0
        goto    main
        org     4
        banksel PIR1
        bcf     PIR1, ADIF
        incf    hits, f
        retfie
main
        clrf    hits
        banksel ADCON1
        movlw   b'10100000'     ; right-justified, FOSC/32, VDD
        movwf   ADCON1
        movlw   b'00010001'     ; AN4, ADON
        movwf   ADCON0
        banksel PIE1
        bsf     PIE1, ADIE
        bsf     INTCON, PEIE
        bsf     INTCON, GIE
        banksel ADCON0
        bsf     ADCON0, GO
w0      btfsc   ADCON0, GO
        goto    w0
        nop
        bcf     INTCON, GIE
        movf    ADRESH, w
        banksel r0h
        movwf   r0h
        banksel ADRESL
        movf    ADRESL, w
        banksel r0l
        movwf   r0l
        banksel ADCON1
        movlw   b'00110000'     ; FRC
        movwf   ADCON1
        movlw   b'00000101'     ; AN1
        movwf   ADCON0
        nop
        bsf     ADCON0, GO
w1      btfsc   ADCON0, GO
        goto    w1
        movf    ADRESH, w
        banksel r1h
        movwf   r1h
done    goto    done
        end
