// CRC-16/XMODEM (polynomial 0x1021, MSB first, initial value 0 or a seed, no final XOR):
// what the chip's block CRC computes, done on the host to check a flashed image.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corlink_tool {

uint16_t Crc16Xmodem(const uint8_t* data, size_t n, uint16_t seed = 0);

}  // namespace corlink_tool
