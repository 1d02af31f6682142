; blink.asm - flashes an LED on RB0 of a PIC16F877A (HS crystal, 20 MHz).
;
; Build it with the Microchip 14 bit edition (QOR). The program is relocatable: the linker
; places the code and the two delay counters.

        list    p=16f877a
        #include <p16f877a.inc>

        __config _HS_OSC & _WDT_OFF & _PWRTE_ON & _BODEN_ON & _LVP_OFF & _CPD_OFF & _WRT_OFF & _CP_OFF

; ---------------------------------------------------------------------------------------------
; Variables
; ---------------------------------------------------------------------------------------------
        udata
count1  res     1               ; outer delay counter
count2  res     1               ; inner delay counter

; ---------------------------------------------------------------------------------------------
; Reset vector
; ---------------------------------------------------------------------------------------------
reset   code    0x0000
        pagesel main
        goto    main

; ---------------------------------------------------------------------------------------------
; Main program
; ---------------------------------------------------------------------------------------------
        code
main
        banksel TRISB
        bcf     TRISB, 0        ; RB0 is an output
        banksel PORTB
        clrf    PORTB

loop
        bsf     PORTB, 0        ; LED on
        call    delay
        bcf     PORTB, 0        ; LED off
        call    delay
        goto    loop

; ---------------------------------------------------------------------------------------------
; delay: about 200 ms at 20 MHz (255 x 255 x 3 instruction cycles, called 5 times)
; ---------------------------------------------------------------------------------------------
delay
        call    delay40
        call    delay40
        call    delay40
        call    delay40
        call    delay40
        return

delay40
        banksel count1
        movlw   0xFF
        movwf   count1
outer
        movlw   0xFF
        movwf   count2
inner
        decfsz  count2, f
        goto    inner
        decfsz  count1, f
        goto    outer
        return

        end
