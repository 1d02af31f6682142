//////// vyncrt.h: the options of the built-in functions of the vync C compiler, and the
//////// built-ins written in C. Every device header includes it after its register names.
#ifndef __VYNCRT__
#define __VYNCRT__ 1

#define TRUE  1
#define FALSE 0

// ---- Ports ------------------------------------------------------------------------------
#ifdef __ENHANCED_CORE__
#define __OUT(port, lat, v)  (lat = (v))
#else
#define __OUT(port, lat, v)  (port = (v))
#endif
#ifdef __REG_PORTA__
#define set_tris_a(v)  (TRISA = (v))
#define output_a(v)    (TRISA = 0, __OUT(PORTA, LATA, v))
#define input_a()      (TRISA = 0xFF, PORTA)
#endif
#ifdef __REG_GPIO__
#define set_tris_a(v)  (TRISIO = (v))
#define output_a(v)    (TRISIO = 0, GPIO = (v))
#define input_a()      (TRISIO = 0xFF, GPIO)
#endif
#ifdef __REG_PORTB__
#define set_tris_b(v)  (TRISB = (v))
#define output_b(v)    (TRISB = 0, __OUT(PORTB, LATB, v))
#define input_b()      (TRISB = 0xFF, PORTB)
#endif
#ifdef __REG_PORTC__
#define set_tris_c(v)  (TRISC = (v))
#define output_c(v)    (TRISC = 0, __OUT(PORTC, LATC, v))
#define input_c()      (TRISC = 0xFF, PORTC)
#endif
#ifdef __REG_PORTD__
#define set_tris_d(v)  (TRISD = (v))
#define output_d(v)    (TRISD = 0, __OUT(PORTD, LATD, v))
#define input_d()      (TRISD = 0xFF, PORTD)
#endif
#ifdef __REG_PORTE__
#define set_tris_e(v)  (TRISE = (v))
#define output_e(v)    (TRISE = 0, __OUT(PORTE, LATE, v))
#define input_e()      (TRISE = 0xFF, PORTE)
#endif

// Weak pull-ups of port B: the inverted bit 7 of OPTION_REG, or WPUB on parts that have it.
#ifdef __REG_OPTION_REG__
#bit __RBPU = OPTION_REG.7
#define port_b_pullups(on)  (__RBPU = !(on))
#endif

// ---- Timer 0 and the watchdog (OPTION_REG) ---------------------------------------------
#define RTCC_INTERNAL    0x00
#define RTCC_EXT_L_TO_H  0x20
#define RTCC_EXT_H_TO_L  0x30
#define RTCC_DIV_1       0x08
#define RTCC_DIV_2       0x00
#define RTCC_DIV_4       0x01
#define RTCC_DIV_8       0x02
#define RTCC_DIV_16      0x03
#define RTCC_DIV_32      0x04
#define RTCC_DIV_64      0x05
#define RTCC_DIV_128     0x06
#define RTCC_DIV_256     0x07
#define RTCC_8_BIT       0x00
#define RTCC_OFF         0x00
#ifdef __REG_OPTION_REG__
#define setup_timer_0(mode)  (OPTION_REG = (OPTION_REG & 0xC0) | (mode))
#define setup_counters(mode, wdt)  (OPTION_REG = (OPTION_REG & 0xC0) | (mode) | (wdt))
#endif
#define set_timer0(v)  (TMR0 = (v))
#define get_timer0()   TMR0
#define set_rtcc(v)    (TMR0 = (v))
#define get_rtcc()     TMR0

#ifdef __ENHANCED_CORE__
// WDTCON: the period in bits 5..1.
#define WDT_18MS    0x08
#define WDT_36MS    0x0A
#define WDT_72MS    0x0C
#define WDT_144MS   0x0E
#define WDT_288MS   0x10
#define WDT_576MS   0x12
#define WDT_1152MS  0x14
#define WDT_2304MS  0x16
#define WDT_ON      0x01
#define WDT_OFF     0x00
#define setup_wdt(mode)  (WDTCON = (mode))
#else
// The prescaler given to the watchdog.
#define WDT_18MS    0x08
#define WDT_36MS    0x09
#define WDT_72MS    0x0A
#define WDT_144MS   0x0B
#define WDT_288MS   0x0C
#define WDT_576MS   0x0D
#define WDT_1152MS  0x0E
#define WDT_2304MS  0x0F
#define WDT_ON      0x00
#define WDT_OFF     0x00
#define setup_wdt(mode)  (OPTION_REG = (OPTION_REG & 0xF0) | (mode))
#endif

// ---- Timer 1 ----------------------------------------------------------------------------
// 0x100 asks for the synchronised external clock.
#define T1_DISABLED       0x00
#define T1_INTERNAL       0x01
#ifdef __ENHANCED_CORE__
#define T1_EXTERNAL       0x85
#define T1_EXTERNAL_SYNC  0x181
#else
#define T1_EXTERNAL       0x07
#define T1_EXTERNAL_SYNC  0x103
#endif
#define T1_CLK_OUT        0x08
#define T1_DIV_BY_1       0x00
#define T1_DIV_BY_2       0x10
#define T1_DIV_BY_4       0x20
#define T1_DIV_BY_8       0x30
#ifdef __REG_T1CON__
void setup_timer_1(int16 mode)
{
   int8 v;
   v = mode;
   if (mode & 0x100)
      v &= 0xFB;
   T1CON = v;
}
#define set_timer1(v)  (TMR1H = make8(v, 1), TMR1L = make8(v, 0))
#define get_timer1()   make16(TMR1H, TMR1L)
#endif

// ---- Timer 2 ----------------------------------------------------------------------------
#define T2_DISABLED   0x00
#define T2_DIV_BY_1   0x04
#define T2_DIV_BY_4   0x05
#define T2_DIV_BY_16  0x06
#ifdef __REG_T2CON__
#define setup_timer_2(mode, period, postscale)  (PR2 = (period), T2CON = (mode) | (((postscale) - 1) << 3))
#define set_timer2(v)  (TMR2 = (v))
#define get_timer2()   TMR2
#endif

// ---- Capture, compare and PWM -------------------------------------------------------------
// 0x100 and 0x200 ask for every 4th and every 16th rising edge.
#define CCP_OFF                   0x00
#define CCP_CAPTURE_FE            0x04
#define CCP_CAPTURE_RE            0x05
#define CCP_CAPTURE_DIV_4         0x100
#define CCP_CAPTURE_DIV_16        0x200
#define CCP_COMPARE_SET_ON_MATCH  0x08
#define CCP_COMPARE_CLR_ON_MATCH  0x09
#define CCP_COMPARE_INT           0x0A
#define CCP_COMPARE_RESET_TIMER   0x0B
#define CCP_PWM                   0x0C
int8 __ccp_mode(int16 mode)
{
   if (mode & 0x200)
      return 0x07;
   if (mode & 0x100)
      return 0x06;
   return mode;
}
#ifdef __REG_CCP1CON__
#define setup_ccp1(mode)  (CCP1CON = __ccp_mode(mode))
#define set_pwm1_duty(v)  (CCPR1L = (v))
#endif
#ifdef __REG_CCP2CON__
#define setup_ccp2(mode)  (CCP2CON = __ccp_mode(mode))
#define set_pwm2_duty(v)  (CCPR2L = (v))
#endif

// ---- A/D converter ------------------------------------------------------------------------
// setup_adc: the conversion clock's 3-bit code in bits 0..2, 0x08 turns the converter on; the
// acquisition delays of the newer converters are accepted and left to the program.
#define ADC_OFF              0x00
#define ADC_CLOCK_DIV_2      0x08
#define ADC_CLOCK_DIV_8      0x09
#define ADC_CLOCK_DIV_32     0x0A
#define ADC_CLOCK_INTERNAL   0x0B
#define ADC_CLOCK_DIV_4      0x0C
#define ADC_CLOCK_DIV_16     0x0D
#define ADC_CLOCK_DIV_64     0x0E
#define ADC_TAD_MUL_0        0x0000
#define ADC_TAD_MUL_2        0x0100
#define ADC_TAD_MUL_4        0x0200
#define ADC_TAD_MUL_6        0x0300
#define ADC_TAD_MUL_8        0x0400
#define ADC_TAD_MUL_12       0x0500
#define ADC_TAD_MUL_16       0x0600
#define ADC_TAD_MUL_20       0x0700
// setup_adc_ports on parts with a port configuration field (PCFG): its value.
#ifdef __ADC_PIN_SELECT__
#define ALL_ANALOG                       0x00FFFFFF
#else
#define ALL_ANALOG                       0x00
#endif
#define AN0_TO_AN7                       0x00
#define AN0_AN1_AN2_AN4_AN5_AN6_AN7_VSS_VREF 0x01
#define AN0_TO_AN2_AN4_TO_AN7_VSS_VREF   0x01
#define AN0_AN1_AN2_AN3_AN4              0x02
#define AN0_TO_AN4                       0x02
#define AN0_AN1_AN2_AN4_VSS_VREF         0x03
#define AN0_AN1_AN3                      0x04
#define AN0_AN1_VSS_VREF                 0x05
#ifdef __ADC_PIN_SELECT__
#define NO_ANALOGS                       0x00
#else
#define NO_ANALOGS                       0x06
#endif
#define AN0_AN1_AN4_TO_AN7_VREF_VREF     0x08
#define AN0_AN1_AN2_AN3_AN4_AN5          0x09
#define AN0_TO_AN5                       0x09
#define AN0_AN1_AN2_AN4_AN5_VSS_VREF     0x0A
#define AN0_AN1_AN4_AN5_VREF_VREF        0x0B
#define AN0_AN1_AN4_VREF_VREF            0x0C
#define AN0_AN1_VREF_VREF                0x0D
#define AN0                              0x0E
#define AN0_VREF_VREF                    0x0F
#define AN0_AN1                          0x04
#define AN0_TO_AN1                       0x04
#define AN0_AN1_AN2_VSS_VREF             0x05
#define AN0_TO_AN2                       0x02
#define AN0_TO_AN3                       0x02
#define AN0_TO_AN6                       0x00
#define AN0_TO_AN8                       0x00
#define AN0_TO_AN9                       0x00
#define AN0_TO_AN10                      0x00
#define AN0_TO_AN11                      0x00
// setup_adc_ports on parts with analog select registers: a bit for each channel, and the
// references in bits 24..27.
#define sAN0   0x00000001
#define sAN1   0x00000002
#define sAN2   0x00000004
#define sAN3   0x00000008
#define sAN4   0x00000010
#define sAN5   0x00000020
#define sAN6   0x00000040
#define sAN7   0x00000080
#define sAN8   0x00000100
#define sAN9   0x00000200
#define sAN10  0x00000400
#define sAN11  0x00000800
#define sAN12  0x00001000
#define sAN13  0x00002000
#define sAN14  0x00004000
#define sAN15  0x00008000
#define sAN16  0x00010000
#define sAN17  0x00020000
#define sAN18  0x00040000
#define sAN19  0x00080000
#define sAN20  0x00100000
#define sAN21  0x00200000
#define VSS_VDD    0x00000000
#define VSS_VREF   0x01000000
#define VSS_FVR    0x03000000
#define VREF_VDD   0x04000000
#define VREF_VREF  0x05000000
#define VREF_FVR   0x07000000
#ifdef __REG_ADCON0__
#if defined(__ADC_PCFG_REG__)
void setup_adc_ports(int8 config)
{
   __ADC_PCFG_REG__ = (__ADC_PCFG_REG__ & 0xF0) | (config & 0x0F);
}
#elif defined(__ADC_PIN_SELECT__)
// The channels' pins (the device header knows which select bit each channel has), then the
// references from bits 24..26: 1 Vref+ on its pin, 3 the fixed reference, 4 Vref- on its pin.
void setup_adc_ports(int32 channels)
{
   int8 refs;
   __adc_pin_select(channels);
   refs = make8(channels, 3);
#ifdef __ADC_VCFG0__
   __VCFG0 = (refs & 0x01) != 0;
#endif
#ifdef __ADC_VCFG1__
   __VCFG1 = (refs & 0x04) != 0;
#endif
#ifdef __ADC_ADPREF__
   __ADPREF1 = (refs & 0x01) != 0;
   __ADPREF0 = (refs & 0x02) != 0;
#endif
#ifdef __ADC_ADNREF__
   __ADNREF = (refs & 0x04) != 0;
#endif
}
#endif
void setup_adc(int16 mode)
{
   int8 code;
   code = mode & 0x07;
#ifdef __ADC_SPLIT_ADCS__
   __ADCS2 = code >> 2;
   code &= 0x03;
#endif
#ifdef __ADC_ADCS_REG__
   __ADC_ADCS_REG__ = (__ADC_ADCS_REG__ & ~(0x07 << __ADC_ADCS_SHIFT__)) | (code << __ADC_ADCS_SHIFT__);
#endif
   __ADON = (mode & 0x08) != 0;
}
void set_adc_channel(int8 channel)
{
   __ADC_CHS_REG__ = (__ADC_CHS_REG__ & ~__ADC_CHS_MASK__) | ((channel << __ADC_CHS_SHIFT__) & __ADC_CHS_MASK__);
#ifdef __ADC_CHSN_REG__
   // Single-ended: the negative input is the negative reference.
   __ADC_CHSN_REG__ |= __ADC_CHSN_MASK__;
#endif
}
// read_adc(mode): start a conversion, wait for it and read it, or one of the two.
#define ADC_START_ONLY      1
#define ADC_READ_ONLY       2
#define ADC_START_AND_READ  3
// The converter's whole result, right-justified (read_adc makes the width #device ADC= asks for).
int16 __read_adc(int8 mode)
{
#ifdef __ADC_ADFM__
   __ADFM = 1;
#endif
#ifdef __ADC_ADRMD__
   __ADRMD = 0;
#endif
   if (mode & ADC_START_ONLY)
      __ADGO = 1;
   if (!(mode & ADC_READ_ONLY))
      return 0;
   while (__ADGO)
      ;
#ifdef __REG_ADRESH__
   return make16(ADRESH, ADRESL);
#else
   return ADRES;
#endif
}
// True when the conversion has finished.
int1 adc_done()
{
   return !__ADGO;
}
#endif

// ---- Serial peripheral interface, parallel slave port, comparators, reference -------------
#define SPI_MASTER       0x20
#define SPI_SLAVE        0x24
#define SPI_SS_DISABLED  0x01
#define SPI_L_TO_H       0x0000
#define SPI_H_TO_L       0x0010
#define SPI_XMIT_L_TO_H  0x4000
#define SPI_CLK_DIV_4    0x00
#define SPI_CLK_DIV_16   0x01
#define SPI_CLK_DIV_64   0x02
#define SPI_CLK_T2       0x03
#define SPI_SAMPLE_AT_END 0x8000
#ifdef __REG_SSPCON__
#define setup_spi(mode)  (SSPSTAT = make8((mode) >> 8, 0) & 0xC0, SSPCON = make8(mode, 0))
#endif
#ifdef __REG_SSP1CON1__
#define setup_spi(mode)  (SSP1STAT = make8((mode) >> 8, 0) & 0xC0, SSP1CON1 = make8(mode, 0))
#endif
#define PSP_ENABLED   0x10
#define PSP_DISABLED  0x00
#ifdef __REG_TRISE__
#define setup_psp(mode)  (TRISE = (TRISE & 0xEF) | (mode))
#endif
#define NC_NC_NC_NC               0x07
#define A0_A3_A1_A2               0x04
#define A0_A3_A1_A2_OUT_ON_A4_A5  0x03
#define A0_A3_A1_A3               0x02
#define A0_A3_NC_NC_OUT_ON_A4     0x01
#define A0_VR_A1_VR               0x06
#define A3_VR_A2_VR               0x06
#define A0_A2_A1_A2               0x02
#define NC_NC_A1_A2               0x05
#define A0_A2_A1_A2_OUT_ON_A3_A4  0x03
#define A3_A2_A1_A2               0x04
#define NC_NC                     0x07
#ifdef __REG_CMCON__
#define setup_comparator(mode)  (CMCON = (mode))
#endif
#ifdef __REG_CMCON0__
#define setup_comparator(mode)  (CMCON0 = (mode))
#endif
#ifdef __REG_CM1CON0__
// Two comparators with their own control registers: off, or both on with their first inputs.
void setup_comparator(int8 mode)
{
   if (mode == NC_NC_NC_NC) {
      CM1CON0 = 0;
      CM2CON0 = 0;
   } else {
      CM1CON0 = 0x80;
      CM2CON0 = 0x80;
   }
}
#endif
#define VREF_LOW   0xA0
#define VREF_HIGH  0x80
#define VREF_A2    0x40
#ifdef __REG_CVRCON__
#define setup_vref(mode)  (CVRCON = (mode))
#endif
#ifdef __REG_VRCON__
#define setup_vref(mode)  (VRCON = (mode))
#endif
#ifdef __REG_DACCON0__
// The digital-to-analog converter as the reference: on with the level in the low bits.
#define setup_vref(mode)  (DACCON1 = (mode) & 0x1F, DACCON0 = ((mode) ? 0x80 : 0))
#endif

// ---- LCD driver module ----------------------------------------------------------------------
// setup_lcd(mode, prescale[, segments]): the mode is LCDCON (enable, sleep, clock source, the
// commons), the prescale LCDPS's 0..15, the segments one bit per segment pin SEG0 .. SEG31.
#define LCD_DISABLED   0x00
#define LCD_STATIC     0x80
#define LCD_MUX12      0x81
#define LCD_MUX13      0x82
#define LCD_MUX14      0x83
#define STOP_ON_SLEEP  0x40
#define USE_TIMER1     0x04
#define SEG0_4         0x0000001F
#define SEG5_8         0x000001E0
#define SEG9_11        0x00000E00
#define SEG12_15       0x0000F000
#define SEG16_19       0x000F0000
#define SEG20_26       0x07F00000
#define SEG27_28       0x18000000
#define SEG29_31       0xE0000000
#define ALL_LCD_PINS   0xFFFFFFFF
#ifdef __REG_LCDCON__
void __setup_lcd(int8 mode, int8 prescale, int32 segments)
{
   int8 high;
   LCDCON = 0;
   LCDPS = prescale & 0x0F;
   LCDSE0 = make8(segments, 0);
#ifdef __REG_LCDSE1__
   LCDSE1 = make8(segments, 1);
#endif
#ifdef __REG_LCDSE2__
   LCDSE2 = make8(segments, 2);
#endif
#ifdef __REG_LCDSE3__
   LCDSE3 = make8(segments, 3);
#endif
   // Segments from 32 on: with ALL_LCD_PINS.
   high = 0;
   if (segments == ALL_LCD_PINS)
      high = 0xFF;
#ifdef __REG_LCDSE4__
   LCDSE4 = high;
#endif
#ifdef __REG_LCDSE5__
   LCDSE5 = high;
#endif
#ifdef __LCD_VLCDEN__
   // The bias voltage pins, for the multiplexed modes.
   if ((mode & 0x80) && (mode & 0x03))
      mode |= 0x10;
#endif
   LCDCON = mode;
}
#endif

// ---- Serial port (#use rs232) -----------------------------------------------------------
// The compiler writes the port's code: the hardware serial port when #use rs232 names its pins
// (or none), otherwise a port in software on the given pins, timed to the instruction cycle for
// the clock of #use delay. main starts it before its first statement.
void putc(int8 c)
{
   __rs232_put(c);
}
#define putchar(c)  putc(c)
int8 getc()
{
   return __rs232_get();
}
#define getch()  getc()
#define getchar()  getc()
int1 kbhit()
{
   return __rs232_ready();
}
// A string in RAM, up to its 0.
void __put_string(int8 *text)
{
   while (*text) {
      putc(*text);
      text++;
   }
}
// printf's numbers: flags 1 signed, 2 hexadecimal, 4 upper-case digits, 8 zero padding.
void __put_number(int32 value, int8 flags, int8 width)
{
   int8 digits[10];
   int8 count, digit;
   int1 negative;
   negative = 0;
   if ((flags & 1) && (value & 0x80000000)) {
      negative = 1;
      value = -value;
   }
   count = 0;
   do {
      if (flags & 2) {
         digit = value & 0x0F;
         value >>= 4;
      } else {
         digit = value % 10;
         value /= 10;
      }
      if (digit < 10)
         digits[count] = '0' + digit;
      else if (flags & 4)
         digits[count] = 'A' + digit - 10;
      else
         digits[count] = 'a' + digit - 10;
      count++;
   } while (value);
   if (negative)
      count++;
   if (negative && (flags & 8))
      putc('-');
   while (width > count) {
      putc((flags & 8) ? '0' : ' ');
      width--;
   }
   if (negative) {
      if (!(flags & 8))
         putc('-');
      count--;
   }
   while (count) {
      count--;
      putc(digits[count]);
   }
}

// ---- I2C bus (#use i2c) -----------------------------------------------------------------
// The compiler writes the bus's code: the part's MSSP when #use i2c names its pins, otherwise
// the pins driven as open-drain lines in software.
void i2c_start()
{
   __i2c_start();
}
void i2c_stop()
{
   __i2c_stop();
}
// Sends a byte; returns the acknowledge bit: 0 when the device took the byte.
int1 i2c_write(int8 data)
{
   return __i2c_write(data);
}
// i2c_read() and i2c_read(ack): a byte from the device, acknowledged unless ack is 0.
int8 __i2c_read_byte(int8 ack)
{
   return __i2c_read(ack);
}

// ---- Data EEPROM --------------------------------------------------------------------------
#ifdef __EEPROM_BYTES__
#ifdef __REG_EEADR__
#define __EEADDR EEADR
#else
#define __EEADDR EEADRL
#endif
#ifdef __REG_EEDATA__
#define __EEDAT EEDATA
#else
#define __EEDAT EEDATL
#endif
#bit __EERD = EECON1.0
#bit __EEWR = EECON1.1
#bit __EEWREN = EECON1.2
#bit __EEGIE = INTCON.7
int8 read_eeprom(int8 address)
{
   __EEADDR = address;
   EECON1 = 0;
   __EERD = 1;
   return __EEDAT;
}
void write_eeprom(int8 address, int8 value)
{
   int1 interrupts;
   __EEADDR = address;
   __EEDAT = value;
   EECON1 = 0;
   __EEWREN = 1;
   interrupts = __EEGIE;
   __EEGIE = 0;
   EECON2 = 0x55;
   EECON2 = 0xAA;
   __EEWR = 1;
   __EEGIE = interrupts;
   while (__EEWR)
      ;
   __EEWREN = 0;
}
#endif

#endif
