; The A/D converter of the PIC12F675, whose clock bits sit in ANSEL: a right-justified
; conversion of AN1 on FOSC/16, then a left-justified one of AN3 on FOSC/64; results in 0x20-0x23.
        list    p=12f675
        include "p12f675.inc"
        __config _HS_OSC & _WDT_OFF & _MCLRE_ON

        cblock 0x20
        r0h, r0l, r1h, r1l
        endc
        org     0
        banksel ANSEL
        movlw   b'01011111'     ; FOSC/16, AN0-AN3 analog
        movwf   ANSEL
        banksel ADCON0
        movlw   b'10000101'     ; right-justified, VDD, AN1, ADON
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
        banksel ANSEL
        movlw   b'01101111'     ; FOSC/64
        movwf   ANSEL
        banksel ADCON0
        movlw   b'00001101'     ; left-justified, AN3
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
done    goto    done
        end
