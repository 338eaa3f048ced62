#include "transport/crc.h"

#include <array>

#include "log_sink.h"
#include "transport/log.h"

namespace corlink::transport {

namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    uint16_t c = static_cast<uint16_t>(i << 8);
    for (int b = 0; b < 8; ++b)
      c = static_cast<uint16_t>((c & 0x8000) ? (c << 1) ^ 0x1021 : c << 1);
    t[static_cast<size_t>(i)] = c;
  }
  return t;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

inline uint16_t Step(uint16_t crc, uint8_t byte) {
  return static_cast<uint16_t>((crc << 8) ^ kTable[((crc >> 8) ^ byte) & 0xFF]);
}

}  // namespace

uint16_t Crc16(const uint8_t* data, size_t len, uint16_t seed) {
  uint16_t crc = seed;
  if (VerboseLevel() < 2) {
    for (size_t i = 0; i < len; ++i) crc = Step(crc, data[i]);
    return crc;
  }
  Log("Generate CRC, input length = %d\n", static_cast<int>(len));
  for (size_t i = 0; i < len; ++i) {
    const uint16_t old = crc;
    crc = Step(crc, data[i]);
    Log("OLD: %04x, data: %02x, NEW: %04x\n", old, data[i], crc);
  }
  return crc;
}

size_t AppendCrcBigEndian(uint8_t* buf, size_t len) {
  uint16_t crc = Crc16(buf, len);
  buf[len] = static_cast<uint8_t>(crc >> 8);
  buf[len + 1] = static_cast<uint8_t>(crc);
  return len + 2;
}

uint8_t Z3PacketCrc(const uint8_t* packet, size_t len) {
  uint16_t crc = Crc16(packet + 2, 1);
  crc = Crc16(packet + 4, len - 4, crc);
  return static_cast<uint8_t>(crc);
}

bool InsertZ3Crc(uint8_t* packet, size_t len) {
  if (len < 4) {
    Log("buffer size error, crc not inserted\n");
    return false;
  }
  packet[3] = Z3PacketCrc(packet, len);
  return true;
}

}  // namespace corlink::transport
