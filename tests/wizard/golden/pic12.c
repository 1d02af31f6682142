#include "@ROOT@/proj/pic12.h"


void main()
{

   setup_timer_0(RTCC_INTERNAL);setup_wdt(WDT_2304MS);

}
