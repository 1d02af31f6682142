; Enhanced 14-bit core (PIC16F1823): MOVLB, MOVLP, BRA and BRW, the linear view of the RAM through
; FSR0 with MOVWI/MOVIW and ADDFSR, LSLF/LSRF/ASRF, ADDWFC/SUBWFB, and a Timer0 interrupt with the
; automatic context save and restore.
        list    p=16f1823
        include "p16f1823.inc"
        __config _CONFIG1, _FOSC_INTOSC & _WDTE_OFF & _MCLRE_ON
        __config _CONFIG2, _LVP_OFF

        org     0
        goto    start
        org     4
        incf    0x70, f
        movlw   0xEE            ; W, STATUS and BSR come back with RETFIE
        movlb   1
        bcf     INTCON, TMR0IF
        retfie

start   movlb   0
        clrf    0x70
        movlw   0x20
        movwf   FSR0L
        movlw   0x20            ; the linear RAM at 0x2000
        movwf   FSR0H
        movlw   5
store   movwi   FSR0++
        addlw   3
        btfss   FSR0L, 3
        bra     store
        addfsr  FSR0, -2
        moviw   --FSR0
        movwf   0x71
        moviw   1[FSR0]
        lslf    WREG, w
        movwf   0x72
        asrf    0x72, f
        lsrf    0x72, w
        bsf     STATUS, C
        addwfc  0x72, f
        subwfb  0x71, f
        movlw   2
        brw
        nop
        nop
        movlp   0
        movlb   1               ; Timer0 on the instruction clock, 1:2
        movlw   b'11010000'
        movwf   OPTION_REG
        movlb   0
        bsf     INTCON, TMR0IE
        bsf     INTCON, GIE
wait    movlb   0
        movf    0x70, w
        sublw   3
        btfsc   STATUS, C
        bra     wait
        bcf     INTCON, GIE
done    bra     done
        end
