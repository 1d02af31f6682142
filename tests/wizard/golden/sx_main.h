#include <SX48T.h>
#device *=5
#use delay(clock=50000000,RESTART_WDT)
#fuses HS,NOWDT
#define BUTTON   51
#define LCD_E   64
#define LCD_RS   65
#define LCD_RW   66
#use rs232(baud=9600,parity=N,xmit=PIN_C6,rcv=PIN_C7)
#use i2c(master,sda=PIN_C4,scl=PIN_C3)

