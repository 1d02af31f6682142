#include "@ROOT@/proj/mid_full.h"
#include <lcd.c>
#include <keypad.c>
  #include <stdio.h>
  #include <string.h>
  #ZERO_RAM
#int_RDA
RDA_isr() {

}

#int_TIMER1
TIMER1_isr() {

}



void main() {

   port_b_pullups(TRUE);
   setup_adc_ports(AN0_VREF_VREF);
   setup_adc(ADC_CLOCK_DIV_32);
   setup_psp(PSP_ENABLED);
   setup_spi(SPI_MASTER|SPI_H_TO_L|SPI_XMIT_L_TO_H|SPI_CLK_DIV_16|SPI_SAMPLE_AT_END);
   setup_timer_0(RTCC_EXT_H_TO_L);setup_wdt(WDT_72MS);
   setup_timer_1(T1_INTERNAL|T1_DIV_BY_4);
   setup_timer_2(T2_DIV_BY_1,255,5);
   setup_ccp1(CCP_PWM);
   setup_comparator(A0_VR_A1_VR);
   setup_vref(VREF_LOW|3|VREF_A2);
   lcd_init();
   kbd_init();
   enable_interrupts(INT_RDA);
   enable_interrupts(INT_TIMER1);
   enable_interrupts(GLOBAL);

}
