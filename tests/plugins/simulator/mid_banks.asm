; 14-bit core: bank switching with RP0/RP1, indirect access with FSR and IRP across all four
; banks, a computed GOTO table through PCL, and calls across code pages with PCLATH.
        list    p=16f877a
        include "p16f877a.inc"
        __config _HS_OSC & _WDT_OFF & _LVP_OFF

        org     0
        goto    start
table   addwf   PCL, f
        retlw   0x11
        retlw   0x22
        retlw   0x33
        retlw   0x44

start   movlw   0xA1            ; one byte in each bank
        movwf   0x20
        bsf     STATUS, RP0
        movlw   0xB2
        movwf   0xA0
        bsf     STATUS, RP1
        movlw   0xD4
        movwf   0x1A0
        bcf     STATUS, RP0
        movlw   0xC3
        movwf   0x120
        bcf     STATUS, RP1
        movlw   0x20            ; read them back through FSR, IRP selects banks 2 and 3
        movwf   FSR
        movf    INDF, w
        bsf     FSR, 7
        addwf   INDF, w
        bsf     STATUS, IRP
        addwf   INDF, w
        bcf     FSR, 7
        addwf   INDF, w
        bcf     STATUS, IRP
        movwf   0x70            ; shared in every bank
        clrf    0x21
        movlw   3
        movwf   0x22
sum     decf    0x22, w
        call    table
        addwf   0x21, f
        decfsz  0x22, f
        goto    sum
        movlw   high far
        movwf   PCLATH
        call    far
        clrf    PCLATH
        movwf   0x23
done    goto    done

        org     0x1800
far     bsf     STATUS, RP1
        bsf     STATUS, RP0
        movf    0x70, w
        bcf     STATUS, RP0
        bcf     STATUS, RP1
        return
        end
