; The A/D converter of the PIC16F690 (ADFM and VCFG in ADCON0, the clock in ADCON1, CHS3:0): a
; conversion of AN9 on FOSC/8 and one of AN2 on the RC clock; results in 0x20-0x22.
        list    p=16f690
        include "p16f690.inc"
        __config _HS_OSC & _WDT_OFF & _MCLRE_ON

        cblock 0x20
        r0h, r0l, r1h
        endc
        org     0
        banksel ADCON1
        movlw   b'00010000'     ; FOSC/8
        movwf   ADCON1
        banksel ADCON0
        movlw   b'10100101'     ; right-justified, VDD, AN9, ADON
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
        movlw   b'00110000'     ; the RC clock
        movwf   ADCON1
        banksel ADCON0
        movlw   b'00001001'     ; left-justified, AN2
        movwf   ADCON0
        bsf     ADCON0, GO
w1      btfsc   ADCON0, GO
        goto    w1
        movf    ADRESH, w
        movwf   r1h
done    goto    done
        end
