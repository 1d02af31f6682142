; The watchdog (on, 1:2 postscaler) wakes the part from SLEEP: the program counts its wake-ups in
; 0x20 and sleeps again; the first instruction after SLEEP runs on each wake-up.
        list    p=16f877a
        include "p16f877a.inc"
        __config _HS_OSC & _WDT_ON & _LVP_OFF

        org     0
        btfss   STATUS, NOT_TO  ; a watchdog reset (not a wake-up) would come here with /TO clear
        goto    reset_seen
        clrf    0x20
        clrf    0x21
        bsf     STATUS, RP0
        movlw   b'11111001'     ; prescaler 1:2 to the watchdog
        movwf   OPTION_REG
        bcf     STATUS, RP0
again   clrwdt
        sleep
        incf    0x20, f
        goto    again
reset_seen
        incf    0x21, f
done    goto    done
        end
