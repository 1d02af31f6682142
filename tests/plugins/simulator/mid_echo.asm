; USART echo driven by the receive interrupt: sends "OK", then returns every byte it receives
; turned to upper case. The interrupt routine saves W, STATUS and PCLATH.
        list    p=16f877a
        include "p16f877a.inc"
        __config _HS_OSC & _WDT_OFF & _LVP_OFF

w_save  equ     0x70
s_save  equ     0x71
p_save  equ     0x72
byte    equ     0x73
count   equ     0x74

        org     0
        goto    start
        org     4
        movwf   w_save
        swapf   STATUS, w
        clrf    STATUS
        movwf   s_save
        movf    PCLATH, w
        movwf   p_save
        clrf    PCLATH
        btfss   PIR1, RCIF
        goto    leave
        movf    RCREG, w
        movwf   byte
        movlw   'a'
        subwf   byte, w
        btfss   STATUS, C
        goto    send
        movlw   'z' + 1
        subwf   byte, w
        btfsc   STATUS, C
        goto    send
        movlw   0x20
        subwf   byte, f
send    movf    byte, w
        call    put
        incf    count, f
leave   movf    p_save, w
        movwf   PCLATH
        swapf   s_save, w
        movwf   STATUS
        swapf   w_save, f
        swapf   w_save, w
        retfie

put     btfss   PIR1, TXIF
        goto    put
        movwf   TXREG
        return

start   clrf    count
        bsf     STATUS, RP0
        movlw   d'129'          ; 9600 baud at 20 MHz
        movwf   SPBRG
        movlw   b'00100100'     ; TXEN, BRGH
        movwf   TXSTA
        bsf     PIE1, RCIE
        bcf     STATUS, RP0
        movlw   b'10010000'     ; SPEN, CREN
        movwf   RCSTA
        movlw   'O'
        call    put
        movlw   'K'
        call    put
        bsf     INTCON, PEIE
        bsf     INTCON, GIE
idle    goto    idle
        end
