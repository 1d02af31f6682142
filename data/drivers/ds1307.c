///////////////////////////////////////////////////////////////////////////////////////////////
// ds1307.c - real-time clock driver for DS1307-style clock chips (device address 0xD0, time
// and date kept as BCD in registers 0 to 6, 24-hour mode)
//
// The bus is driven by the program, open-drain style; both lines need pull-up resistors.
//    RTC_SDA, RTC_SCL   the wizard gives them the pins chosen for I2C
//
//    rtc_init()                        starts the oscillator, keeps the time
//    rtc_set_time(hour, min, sec)      sets the time (binary numbers)
//    rtc_set_date(day, month, year)    sets the date (year 0 to 99)
//    rtc_get_time()                    reads rtc_hour, rtc_min, rtc_sec
//    rtc_get_date()                    reads rtc_day, rtc_month, rtc_year
///////////////////////////////////////////////////////////////////////////////////////////////

#ifndef RTC_SDA
#define RTC_SDA  PIN_C4
#endif
#ifndef RTC_SCL
#define RTC_SCL  PIN_C3
#endif

int8 rtc_hour, rtc_min, rtc_sec;
int8 rtc_day, rtc_month, rtc_year;

void rtc_start(void)
{
   output_float(RTC_SDA);
   output_float(RTC_SCL);
   delay_us(5);
   output_low(RTC_SDA);
   delay_us(5);
   output_low(RTC_SCL);
}

void rtc_stop(void)
{
   output_low(RTC_SDA);
   delay_us(5);
   output_float(RTC_SCL);
   delay_us(5);
   output_float(RTC_SDA);
   delay_us(5);
}

void rtc_write_byte(int8 b)
{
   int8 i;
   for (i = 0; i < 8; i++) {
      if (bit_test(b, 7))
         output_float(RTC_SDA);
      else
         output_low(RTC_SDA);
      b <<= 1;
      delay_us(5);
      output_float(RTC_SCL);
      delay_us(5);
      output_low(RTC_SCL);
   }
   output_float(RTC_SDA);     // the clock chip's acknowledge
   delay_us(5);
   output_float(RTC_SCL);
   delay_us(5);
   output_low(RTC_SCL);
}

int8 rtc_read_byte(int1 more)
{
   int8 i, b;
   b = 0;
   output_float(RTC_SDA);
   for (i = 0; i < 8; i++) {
      b <<= 1;
      delay_us(5);
      output_float(RTC_SCL);
      delay_us(5);
      if (input(RTC_SDA))
         b |= 1;
      output_low(RTC_SCL);
   }
   if (more)
      output_low(RTC_SDA);
   delay_us(5);
   output_float(RTC_SCL);
   delay_us(5);
   output_low(RTC_SCL);
   output_float(RTC_SDA);
   return b;
}

int8 rtc_bcd(int8 n)
{
   return ((n / 10) << 4) | (n % 10);
}

int8 rtc_bin(int8 bcd)
{
   return (bcd >> 4) * 10 + (bcd & 0x0F);
}

int8 rtc_read_register(int8 reg)
{
   int8 value;
   rtc_start();
   rtc_write_byte(0xD0);
   rtc_write_byte(reg);
   rtc_start();
   rtc_write_byte(0xD1);
   value = rtc_read_byte(0);
   rtc_stop();
   return value;
}

void rtc_write_register(int8 reg, int8 value)
{
   rtc_start();
   rtc_write_byte(0xD0);
   rtc_write_byte(reg);
   rtc_write_byte(value);
   rtc_stop();
}

void rtc_init(void)
{
   int8 seconds;
   output_float(RTC_SCL);
   output_float(RTC_SDA);
   // Bit 7 of the seconds register halts the oscillator: clear it, keep the seconds.
   seconds = rtc_read_register(0);
   if (bit_test(seconds, 7))
      rtc_write_register(0, seconds & 0x7F);
   rtc_write_register(7, 0x10);   // square-wave output at 1 Hz
}

void rtc_set_time(int8 hour, int8 min, int8 sec)
{
   rtc_write_register(0, rtc_bcd(sec) & 0x7F);
   rtc_write_register(1, rtc_bcd(min));
   rtc_write_register(2, rtc_bcd(hour) & 0x3F);
}

void rtc_set_date(int8 day, int8 month, int8 year)
{
   rtc_write_register(4, rtc_bcd(day));
   rtc_write_register(5, rtc_bcd(month));
   rtc_write_register(6, rtc_bcd(year));
}

void rtc_get_time(void)
{
   rtc_sec = rtc_bin(rtc_read_register(0) & 0x7F);
   rtc_min = rtc_bin(rtc_read_register(1) & 0x7F);
   rtc_hour = rtc_bin(rtc_read_register(2) & 0x3F);
}

void rtc_get_date(void)
{
   rtc_day = rtc_bin(rtc_read_register(4) & 0x3F);
   rtc_month = rtc_bin(rtc_read_register(5) & 0x1F);
   rtc_year = rtc_bin(rtc_read_register(6));
}
