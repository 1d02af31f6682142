; Peripheral interrupts on the 14-bit core: the USART's transmit interrupt sends a string from a
; table, Timer1 (1:1, from 0xF000: the first overflow after 4096 cycles) and Timer2 (PR2 = 99,
; 1:4 prescaler, 1:5 postscaler: one interrupt every 2000 cycles) count their interrupts. The
; main loop waits until the whole string is sent.
        list    p=16f877a
        include "p16f877a.inc"
        __config _HS_OSC & _WDT_OFF & _LVP_OFF

w_save  equ     0x70
s_save  equ     0x71
index   equ     0x72
t1count equ     0x73
t2count equ     0x74
sent    equ     0x75

        org     0
        goto    start
        org     4
        movwf   w_save
        swapf   STATUS, w
        clrf    STATUS
        movwf   s_save
        btfss   PIR1, TMR1IF
        goto    not_t1
        bcf     PIR1, TMR1IF
        incf    t1count, f
not_t1  btfss   PIR1, TMR2IF
        goto    not_t2
        bcf     PIR1, TMR2IF
        incf    t2count, f
not_t2  btfss   PIR1, TXIF
        goto    leave
        bsf     STATUS, RP0
        btfss   PIE1, TXIE      ; TXIF stays set while TXREG is empty: only act while enabled
        goto    leave_b1
        bcf     STATUS, RP0
        movf    index, w
        call    text
        iorlw   0
        btfsc   STATUS, Z
        goto    finished
        movwf   TXREG
        incf    index, f
        incf    sent, f
        goto    leave
finished
        bsf     STATUS, RP0
        bcf     PIE1, TXIE
leave_b1
        bcf     STATUS, RP0
leave   swapf   s_save, w
        movwf   STATUS
        swapf   w_save, f
        swapf   w_save, w
        retfie

text    addwf   PCL, f
        retlw   'K'
        retlw   'I'
        retlw   'V'
        retlw   0x0D
        retlw   0x0A
        retlw   0

start   clrf    index
        clrf    t1count
        clrf    t2count
        clrf    sent
        bsf     STATUS, RP0
        movlw   d'129'          ; 9600 baud at 20 MHz
        movwf   SPBRG
        movlw   b'00100100'     ; TXEN, BRGH
        movwf   TXSTA
        movlw   d'99'
        movwf   PR2
        movlw   (1 << TMR1IE) | (1 << TMR2IE) | (1 << TXIE)
        movwf   PIE1
        bcf     STATUS, RP0
        movlw   b'10000000'     ; SPEN
        movwf   RCSTA
        movlw   b'00100101'     ; 1:5 postscaler, Timer2 on, 1:4 prescaler
        movwf   T2CON
        movlw   0xF0
        movwf   TMR1H
        movlw   b'00000001'     ; Timer1 on, 1:1
        movwf   T1CON
        bsf     INTCON, PEIE
        bsf     INTCON, GIE
wait    movlw   5
        subwf   sent, w
        btfss   STATUS, Z
        goto    wait
        bcf     INTCON, GIE
done    goto    done
        end
