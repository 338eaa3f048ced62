// CRC-16/XMODEM (polynomial 0x1021, MSB first, no reflection, no final XOR), the one
// checksum of every protocol family. The Z1 protocol carries all 16 bits big-endian; the
// Z3 packets carry only the low byte ("CRC-8").
#pragma once

#include <cstddef>
#include <cstdint>

namespace corlink::transport {

// CRC of len bytes, starting from seed (0 for a fresh CRC; a previous result continues it
// over a second, non-adjacent range). At verbose level 2 and above it traces every byte.
uint16_t Crc16(const uint8_t* data, size_t len, uint16_t seed = 0);

// Appends the big-endian CRC of buf[0..len) at buf[len], buf[len+1]. Returns len + 2.
size_t AppendCrcBigEndian(uint8_t* buf, size_t len);

// The Z3 packet check byte of an L-byte packet: low byte of the CRC over byte 2 and then
// bytes 4..L-1, stored in byte 3. A packet shorter than 4 bytes is left alone with
// "buffer size error, crc not inserted\n". Returns false then.
bool InsertZ3Crc(uint8_t* packet, size_t len);

// The check byte a Z3 packet of length len should carry (see InsertZ3Crc); len >= 4.
uint8_t Z3PacketCrc(const uint8_t* packet, size_t len);

}  // namespace corlink::transport
