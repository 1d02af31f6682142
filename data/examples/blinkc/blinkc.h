#include <16F877A.h>
#fuses NOWDT,HS, NOPUT, NOPROTECT, NOLVP
#use delay(clock=20000000)
#define LED   PIN_B0

