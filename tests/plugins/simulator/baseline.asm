; 12-bit core (PIC12F509): the reset vector's calibration MOVLW, OPTION and TRIS instructions,
; the page bit in STATUS for GOTO and CALL, the 2-level stack, and the FSR bank bit.
        list    p=12f509
        include "p12f509.inc"
        __config _IntRC_OSC & _WDT_OFF & _MCLRE_ON & _CP_OFF

        org     0
        movwf   OSCCAL
        movlw   b'11011111'
        option
        movlw   b'00001000'
        tris    GPIO
        movlw   0x2A
        movwf   0x10
        movlw   0x30            ; bank 1 through FSR bit 5
        movwf   FSR
        movlw   0x5B
        movwf   INDF
        bsf     FSR, 0
        movf    0x10, w
        movwf   INDF
        call    sub1
        bsf     STATUS, PA0     ; page 1
        goto    high_page
back    movwf   0x11
done    goto    done

sub1    call    sub2
        retlw   0x01
sub2    retlw   0x02

        org     0x200
high_page
        bcf     STATUS, PA0
        movlw   0x77
        goto    back
        end
