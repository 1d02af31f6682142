///////////////////////////////////////////////////////////////////////////////////////////////
// 24lc256.c - 24-series serial EEPROM driver (32 KB parts such as the 24LC256, two address
// bytes, device address 0xA0 with A0..A2 tied to ground)
//
// The bus is driven by the program (no I2C hardware needed), open-drain style: a line is pulled
// low by driving it, released by floating it; both lines need pull-up resistors.
//    EEPROM_SDA, EEPROM_SCL   the wizard gives them the pins chosen for I2C
//
//    init_ext_eeprom()                       call once
//    write_ext_eeprom(address, data)         writes one byte and waits for the write to end
//    read_ext_eeprom(address) -> data        reads one byte
///////////////////////////////////////////////////////////////////////////////////////////////

#ifndef EEPROM_SDA
#define EEPROM_SDA  PIN_C4
#endif
#ifndef EEPROM_SCL
#define EEPROM_SCL  PIN_C3
#endif

#define EEPROM_ADDRESS int16
#define EEPROM_SIZE    32768

void ee_bus_delay(void)
{
   delay_us(5);              // 100 kHz bus
}

void ee_start(void)
{
   output_float(EEPROM_SDA);
   output_float(EEPROM_SCL);
   ee_bus_delay();
   output_low(EEPROM_SDA);
   ee_bus_delay();
   output_low(EEPROM_SCL);
}

void ee_stop(void)
{
   output_low(EEPROM_SDA);
   ee_bus_delay();
   output_float(EEPROM_SCL);
   ee_bus_delay();
   output_float(EEPROM_SDA);
   ee_bus_delay();
}

// Sends a byte; returns 1 when the device acknowledged it.
int1 ee_write_byte(int8 b)
{
   int8 i;
   int1 ack;
   for (i = 0; i < 8; i++) {
      if (bit_test(b, 7))
         output_float(EEPROM_SDA);
      else
         output_low(EEPROM_SDA);
      b <<= 1;
      ee_bus_delay();
      output_float(EEPROM_SCL);
      ee_bus_delay();
      output_low(EEPROM_SCL);
   }
   output_float(EEPROM_SDA);
   ee_bus_delay();
   output_float(EEPROM_SCL);
   ee_bus_delay();
   ack = !input(EEPROM_SDA);
   output_low(EEPROM_SCL);
   return ack;
}

// Receives a byte; `more` acknowledges it so that the device sends the next one.
int8 ee_read_byte(int1 more)
{
   int8 i, b;
   b = 0;
   output_float(EEPROM_SDA);
   for (i = 0; i < 8; i++) {
      b <<= 1;
      ee_bus_delay();
      output_float(EEPROM_SCL);
      ee_bus_delay();
      if (input(EEPROM_SDA))
         b |= 1;
      output_low(EEPROM_SCL);
   }
   if (more)
      output_low(EEPROM_SDA);
   ee_bus_delay();
   output_float(EEPROM_SCL);
   ee_bus_delay();
   output_low(EEPROM_SCL);
   output_float(EEPROM_SDA);
   return b;
}

void init_ext_eeprom(void)
{
   output_float(EEPROM_SCL);
   output_float(EEPROM_SDA);
}

void write_ext_eeprom(EEPROM_ADDRESS address, int8 data)
{
   int8 tries;
   ee_start();
   ee_write_byte(0xA0);
   ee_write_byte(address >> 8);
   ee_write_byte(address);
   ee_write_byte(data);
   ee_stop();
   // The device does not answer while it writes (at most 5 ms): poll it.
   for (tries = 0; tries < 50; tries++) {
      ee_start();
      if (ee_write_byte(0xA0)) {
         ee_stop();
         return;
      }
      ee_stop();
      delay_us(100);
   }
}

int8 read_ext_eeprom(EEPROM_ADDRESS address)
{
   int8 data;
   ee_start();
   ee_write_byte(0xA0);
   ee_write_byte(address >> 8);
   ee_write_byte(address);
   ee_start();
   ee_write_byte(0xA1);
   data = ee_read_byte(0);
   ee_stop();
   return data;
}
