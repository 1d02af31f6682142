#include <16T877.h>
#device adc=8
#fuses WDT,RC, NOPROTECT, NOPUT, WRT_OFF, WRT_1
#use delay(clock=20000000)

