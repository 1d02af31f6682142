; The watchdog is on and cleared once, after its postscaler is set: each time-out resets the
; part, which counts the resets (/TO clear) in 0x20 and loops again.
        list    p=16f877a
        include "p16f877a.inc"
        __config _HS_OSC & _WDT_ON & _LVP_OFF

        org     0
        btfss   STATUS, NOT_TO
        incf    0x20, f
        bsf     STATUS, RP0
        movlw   b'11111000'     ; prescaler 1:1 to the watchdog: 18 ms
        movwf   OPTION_REG
        bcf     STATUS, RP0
        clrwdt                  ; the period runs from here
loop    goto    loop
        end
