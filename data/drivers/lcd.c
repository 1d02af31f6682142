///////////////////////////////////////////////////////////////////////////////////////////////
// lcd.c - character LCD driver (HD44780-compatible controller, 4-bit interface)
//
// Pins (the project wizard defines them in the project header; the defaults below are used
// when it did not):
//    LCD_E   enable             LCD_RS  register select (0 = command, 1 = data)
//    LCD_D4 .. LCD_D7  data lines D4 to D7 of the display (D0 to D3 unused, R/W tied to ground)
//
//    lcd_init()              call once, after power-up
//    lcd_putc(c)             writes one character; '\f' clears, '\n' goes to line 2, '\b' back
//    lcd_gotoxy(x, y)        moves to column x (1..) of line y (1 or 2)
//    lcd_send_byte(rs, b)    writes a raw command (rs = 0) or data byte (rs = 1)
///////////////////////////////////////////////////////////////////////////////////////////////

#ifndef LCD_E
#define LCD_E   PIN_D0
#endif
#ifndef LCD_RS
#define LCD_RS  PIN_D1
#endif
#ifndef LCD_D4
#define LCD_D4  PIN_D4
#endif
#ifndef LCD_D5
#define LCD_D5  PIN_D5
#endif
#ifndef LCD_D6
#define LCD_D6  PIN_D6
#endif
#ifndef LCD_D7
#define LCD_D7  PIN_D7
#endif

#define LCD_LINE_TWO 0x40    // display RAM address of the second line

void lcd_send_nibble(int8 n)
{
   output_bit(LCD_D4, bit_test(n, 0));
   output_bit(LCD_D5, bit_test(n, 1));
   output_bit(LCD_D6, bit_test(n, 2));
   output_bit(LCD_D7, bit_test(n, 3));
   delay_us(1);
   output_high(LCD_E);
   delay_us(2);
   output_low(LCD_E);
}

void lcd_send_byte(int8 rs, int8 b)
{
   output_bit(LCD_RS, rs);
   lcd_send_nibble(b >> 4);
   lcd_send_nibble(b & 0x0F);
   // Without R/W the busy flag cannot be read: wait the longest command time instead.
   if (rs == 0 && b < 4)
      delay_ms(2);
   else
      delay_us(50);
}

void lcd_init(void)
{
   int8 i;
   output_low(LCD_E);
   output_low(LCD_RS);
   delay_ms(15);
   // Three times "8-bit mode" resynchronises the controller whatever state it is in.
   for (i = 0; i < 3; i++) {
      lcd_send_nibble(3);
      delay_ms(5);
   }
   lcd_send_nibble(2);           // 4-bit interface
   delay_ms(1);
   lcd_send_byte(0, 0x28);       // 4-bit, 2 lines, 5x8 dots
   lcd_send_byte(0, 0x0C);       // display on, no cursor
   lcd_send_byte(0, 0x01);       // clear
   lcd_send_byte(0, 0x06);       // move right after each character
}

void lcd_gotoxy(int8 x, int8 y)
{
   int8 address;
   address = 0;
   if (y != 1)
      address = LCD_LINE_TWO;
   address += x - 1;
   lcd_send_byte(0, 0x80 | address);
}

void lcd_putc(char c)
{
   switch (c) {
   case '\f':
      lcd_send_byte(0, 1);
      break;
   case '\n':
      lcd_gotoxy(1, 2);
      break;
   case '\b':
      lcd_send_byte(0, 0x10);
      break;
   default:
      lcd_send_byte(1, c);
      break;
   }
}
