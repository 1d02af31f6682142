; The PIC16F877A program of the simulator benchmark: an endless loop with calls, bank switches,
; indirect access and arithmetic.
        list    p=16f877a
        include "p16f877a.inc"
        __config _HS_OSC & _WDT_OFF & _LVP_OFF

        org     0
start   clrf    0x20
        movlw   0xA0
        movwf   FSR
loop    bsf     STATUS, RP0
        incf    0xA0, f
        bcf     STATUS, RP0
        call    work
        movf    INDF, w
        addwf   0x21, f
        incf    FSR, f
        btfsc   FSR, 6
        call    rewind
        decfsz  0x20, f
        goto    loop
        goto    start
work    movlw   5
        addwf   0x22, f
        rlf     0x22, w
        xorwf   0x23, f
        return
rewind  movlw   0xA0
        movwf   FSR
        return
        end
