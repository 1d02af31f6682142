; Sends "Hi!" through the USART at 9600 baud (20 MHz, BRGH = 1). Between two bytes the program
; waits longer than a character (8 x 256 x 3 cycles) and only then looks at TXIF; at the end it
; waits for TRMT the same way.
        list    p=16f877a
        include "p16f877a.inc"
        __config _HS_OSC & _WDT_OFF & _LVP_OFF

index   equ     0x20
d1      equ     0x21
d2      equ     0x22

        org     0
        goto    start
text    addwf   PCL, f
        retlw   'H'
        retlw   'i'
        retlw   '!'
        retlw   0

start   bsf     STATUS, RP0
        movlw   d'129'
        movwf   SPBRG
        movlw   b'00100100'     ; TXEN, BRGH
        movwf   TXSTA
        bcf     STATUS, RP0
        movlw   b'10010000'     ; SPEN, CREN
        movwf   RCSTA
        clrf    index
next    movf    index, w
        call    text
        iorlw   0
        btfsc   STATUS, Z
        goto    sent
        call    delay
wait    btfss   PIR1, TXIF
        goto    wait
        movwf   TXREG
        incf    index, f
        goto    next
sent    call    delay
        bsf     STATUS, RP0
drain   btfss   TXSTA, TRMT
        goto    drain
        bcf     STATUS, RP0
done    goto    done

delay   movwf   d2
        movlw   8
        movwf   d1
outer   clrf    0x23
inner   decfsz  0x23, f
        goto    inner
        decfsz  d1, f
        goto    outer
        movf    d2, w
        return
        end
