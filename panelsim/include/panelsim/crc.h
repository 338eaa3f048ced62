// CRC-16/XMODEM (polynomial 0x1021, MSB first, no reflection, no final XOR), the check
// every protocol family of the chips carries: Z1 sends all 16 bits big-endian, Z3 only
// the low byte. A seed continues a CRC over a second, non-adjacent range.
#pragma once

#include <cstddef>
#include <cstdint>

namespace panelsim {

uint16_t Crc16(const uint8_t* data, size_t len, uint16_t seed = 0);

}  // namespace panelsim
