#include "crc16.h"

namespace corlink_tool {

uint16_t Crc16Xmodem(const uint8_t* data, size_t n, uint16_t seed) {
  uint16_t crc = seed;
  for (size_t i = 0; i < n; ++i) {
    crc = static_cast<uint16_t>(crc ^ (data[i] << 8));
    for (int b = 0; b < 8; ++b)
      crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                           : static_cast<uint16_t>(crc << 1);
  }
  return crc;
}

}  // namespace corlink_tool
