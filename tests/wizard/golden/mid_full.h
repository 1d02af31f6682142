#include <16T877.h>
#device *=16
#device ICD=TRUE
#device adc=10
#fuses WDT,RC, NOPROTECT, NOPUT, WRT_OFF, WRT_1
#use delay(clock=4000000,RESTART_WDT)
#define KBD_ROW1   PIN_A5
#define KBD_ROW2   PIN_B0
#define LED   PIN_B4
#define STATUS   PIN_B4
#define BUTTON   PIN_B5
#define LCD_E   PIN_D0
#define LCD_RS   PIN_D1
#define LCD_RW   PIN_D2
#use rs232(baud=19200,parity=E,xmit=PIN_C6,rcv=PIN_C7,bits=8,stream=PC,enable=PIN_B3,invert,errors)
#use i2c(Slave,Fast,sda=PIN_C4,scl=PIN_C3,force_hw,address=0xA0)

