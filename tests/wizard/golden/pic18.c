#include "@ROOT@/proj/pic18.h"
#int_RDA
RDA_isr() 
{

}



void main()
{

   setup_adc_ports(ALL_ANALOG|VREF_VREF);
   setup_adc(ADC_CLOCK_INTERNAL|ADC_TAD_MUL_4);
   setup_lcd(LCD_MUX13| USE_TIMER1,7,SEG0_4|SEG12_15|ALL_LCD_PINS);
   setup_wdt(WDT_ON);
   setup_timer_0(RTCC_INTERNAL|RTCC_DIV_8|RTCC_8_bit);
   setup_timer_1(T1_DISABLED);
   setup_timer_2(T2_DISABLED,0,1);
   setup_timer_3(T3_EXTERNAL|T3_DIV_BY_4);
   setup_timer_4(T4_DIV_BY_16,200,3);
   setup_ccp1(CCP_OFF);
   enable_interrupts(INT_RDA);
   enable_interrupts(GLOBAL);

}
