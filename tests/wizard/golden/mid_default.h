#include <16T877.h>
#device adc=8
#fuses NOWDT,RC, NOPROTECT, NOPUT, WRT_OFF, WRT_1
#use delay(clock=20000000)
#use rs232(baud=9600,parity=N,xmit=PIN_C6,rcv=PIN_C7,bits=9)

