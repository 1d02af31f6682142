; Writes 0x5A to data EEPROM address 3 with the required 55h/AAh sequence (interrupts off),
; waits longer than a write takes (30 x 256 x 3 cycles, 4.6 ms at 20 MHz), checks that WR is clear,
; reads the byte back into 0x30 and reads address 2 (from the HEX file's EEPROM data) into 0x31.
        list    p=16f877a
        include "p16f877a.inc"
        __config _HS_OSC & _WDT_OFF & _LVP_OFF

        org     0
        bsf     STATUS, RP1     ; bank 2
        bcf     STATUS, RP0
        movlw   3
        movwf   EEADR
        movlw   0x5A
        movwf   EEDATA
        bsf     STATUS, RP0     ; bank 3
        bcf     EECON1, EEPGD
        bsf     EECON1, WREN
        bcf     INTCON, GIE
        movlw   0x55
        movwf   EECON2
        movlw   0xAA
        movwf   EECON2
        bsf     EECON1, WR
        bcf     EECON1, WREN
        movlw   d'30'
        movwf   0x70
outer   clrf    0x71
inner   decfsz  0x71, f
        goto    inner
        decfsz  0x70, f
        goto    outer
busy    btfsc   EECON1, WR
        goto    busy
        bcf     STATUS, RP0     ; bank 2
        movlw   3
        movwf   EEADR
        bsf     STATUS, RP0
        bsf     EECON1, RD
        bcf     STATUS, RP0
        movf    EEDATA, w
        bcf     STATUS, RP1     ; bank 0
        movwf   0x30
        bsf     STATUS, RP1
        movlw   2
        movwf   EEADR
        bsf     STATUS, RP0
        bsf     EECON1, RD
        bcf     STATUS, RP0
        movf    EEDATA, w
        bcf     STATUS, RP1
        movwf   0x31
done    goto    done

        org     0x2100
        de      0x11, 0x22, 0x33, 0x44
        end
