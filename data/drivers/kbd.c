///////////////////////////////////////////////////////////////////////////////////////////////
// kbd.c - 4 x 3 matrix keypad driver (keys 1 2 3 / 4 5 6 / 7 8 9 / * 0 #)
//
// Rows are driven low one at a time; columns are read with pull-up resistors (external, or
// the port's own). The wizard gives the seven lines free pins of the device:
//    KBD_ROW1 .. KBD_ROW4   outputs      KBD_COL1 .. KBD_COL3   inputs
//
//    kbd_init()           call once
//    kbd_getc() -> key    the key pressed since the last call ('1' ... '#'), 0 when none;
//                         call it every 10 ms or so: a key counts once, after it was held
//                         for two calls in a row (debounce)
///////////////////////////////////////////////////////////////////////////////////////////////

#ifndef KBD_ROW1
#define KBD_ROW1  PIN_B0
#endif
#ifndef KBD_ROW2
#define KBD_ROW2  PIN_B1
#endif
#ifndef KBD_ROW3
#define KBD_ROW3  PIN_B2
#endif
#ifndef KBD_ROW4
#define KBD_ROW4  PIN_B3
#endif
#ifndef KBD_COL1
#define KBD_COL1  PIN_B4
#endif
#ifndef KBD_COL2
#define KBD_COL2  PIN_B5
#endif
#ifndef KBD_COL3
#define KBD_COL3  PIN_B6
#endif

const char kbd_keys[12] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', '*', '0', '#'};

int8 kbd_last;       // the key seen by the previous call (0 = none)
int1 kbd_reported;   // the held key was already returned

void kbd_rows_high(void)
{
   output_high(KBD_ROW1);
   output_high(KBD_ROW2);
   output_high(KBD_ROW3);
   output_high(KBD_ROW4);
}

void kbd_init(void)
{
   kbd_rows_high();
   output_float(KBD_COL1);
   output_float(KBD_COL2);
   output_float(KBD_COL3);
   kbd_last = 0;
   kbd_reported = 0;
}

// The key held now, 0 when none.
char kbd_scan(void)
{
   int8 row, index;
   char key;
   key = 0;
   for (row = 0; row < 4 && key == 0; row++) {
      kbd_rows_high();
      switch (row) {
      case 0: output_low(KBD_ROW1); break;
      case 1: output_low(KBD_ROW2); break;
      case 2: output_low(KBD_ROW3); break;
      default: output_low(KBD_ROW4); break;
      }
      delay_us(10);
      index = row * 3;
      if (!input(KBD_COL1))
         key = kbd_keys[index];
      else if (!input(KBD_COL2))
         key = kbd_keys[index + 1];
      else if (!input(KBD_COL3))
         key = kbd_keys[index + 2];
   }
   kbd_rows_high();
   return key;
}

char kbd_getc(void)
{
   char key;
   key = kbd_scan();
   if (key == 0 || key != kbd_last) {
      kbd_last = key;
      kbd_reported = 0;
      return 0;
   }
   if (kbd_reported)
      return 0;
   kbd_reported = 1;
   return key;
}
