#include "blinkc.h"

// Blinks an LED on RB0 of a PIC16F877A at 20 MHz: half a second on, half a second off.

int8 blinks;
int16 tenths;

void toggle_led()
{
   output_toggle(LED);
   blinks++;
}

void wait(int8 count)
{
   while (count--) {
      delay_ms(100);
      tenths++;
   }
}

void main()
{
   setup_adc_ports(NO_ANALOGS);
   setup_adc(ADC_OFF);
   setup_timer_0(RTCC_INTERNAL|RTCC_DIV_1);
   output_low(LED);
   blinks = 0;
   tenths = 0;
   while (TRUE) {
      toggle_led();
      wait(5);
   }
}
