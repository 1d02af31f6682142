#include "@ROOT@/sx_main.h"
#use fast_io(A)
#use fast_io(B)
#use fast_io(C)
#use standard_io(D)
#include <lcd.c>

#int_rtcc
rtcc_isr() {

}


#int_t2_capt
t2_capt_isr() {

}



void main() {

   set_mode_A(0,0,0,0,mTTLIN,mTTLIN,mOUTPUT,mTTLIN);
   set_mode_B(mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLINmPULLUP);
   set_mode_C(mTTLIN,mOUTPUT,mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLIN);
   set_mode_D(mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLIN,mTTLIN);
   setup_counters(RTCC_INTERNAL|INT_RTCC,RTCC_DIV_2);
   setup_timer_1(tPWM,DIV_BY_1,625,1875);
   setup_timer_2(tCC|CAPT_H2L|CAPT_INT,DIV_BY_1,65535,65535);
   read_comp(COMP_ENABLE);
   lcd_init();

}
