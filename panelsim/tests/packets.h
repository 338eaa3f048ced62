// Requests built by hand, the way a host lays them out, for the byte-level tests.
#pragma once

#include <cstdint>
#include <vector>

#include "panelsim/crc.h"

namespace panelsim::test {

// A 64-byte Z3 request: 09, L-1, command, CRC-8 over the command and the payload.
inline std::vector<uint8_t> Z3Packet(uint8_t command, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> p(64, 0);
  p[0] = 0x09;
  p[1] = static_cast<uint8_t>(4 + payload.size() - 1);
  p[2] = command;
  for (size_t i = 0; i < payload.size(); ++i) p[4 + i] = payload[i];
  uint16_t crc = Crc16(&p[2], 1);
  crc = Crc16(&p[4], payload.size(), crc);
  p[3] = static_cast<uint8_t>(crc);
  return p;
}

// A 58-byte HID-over-I2C request: 09, 00, command, CRC-8 over byte 2 and bytes 4..57.
inline std::vector<uint8_t> I2cPacket(uint8_t command, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> p(58, 0);
  p[0] = 0x09;
  p[2] = command;
  for (size_t i = 0; i < payload.size(); ++i) p[4 + i] = payload[i];
  uint16_t crc = Crc16(&p[2], 1);
  crc = Crc16(&p[4], 54, crc);
  p[3] = static_cast<uint8_t>(crc);
  return p;
}

// A Z7 tunnel request to slave `index`.
inline std::vector<uint8_t> TunnelPacket(uint8_t index, uint8_t command, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> p(64, 0);
  size_t len = 8 + payload.size();
  p[0] = 0x09;
  p[1] = static_cast<uint8_t>(len - 1);
  p[2] = 0xB0;
  p[4] = 0x09;
  p[5] = index;
  p[6] = command;
  for (size_t i = 0; i < payload.size(); ++i) p[8 + i] = payload[i];
  uint16_t inner = Crc16(&p[6], 1);
  inner = Crc16(&p[8], payload.size(), inner);
  p[7] = static_cast<uint8_t>(inner);
  uint16_t outer = Crc16(&p[2], 1);
  outer = Crc16(&p[4], len - 4, outer);
  p[3] = static_cast<uint8_t>(outer);
  return p;
}

inline std::vector<uint8_t> Le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

// Z1 payload: the address big-endian and its CRC-16 big-endian.
inline std::vector<uint8_t> Z1Address(uint32_t a) {
  std::vector<uint8_t> p = {static_cast<uint8_t>(a >> 24), static_cast<uint8_t>(a >> 16),
                            static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a)};
  uint16_t crc = Crc16(p.data(), 4);
  p.push_back(static_cast<uint8_t>(crc >> 8));
  p.push_back(static_cast<uint8_t>(crc));
  return p;
}

// The feature report that writes a Z1 command.
inline std::vector<uint8_t> FeatureWrite(uint8_t command, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> r(20, 0);
  r[0] = 0x09;
  r[1] = 0xD9;
  r[2] = static_cast<uint8_t>(payload.size() + 2);
  r[3] = command;
  r[4] = static_cast<uint8_t>(payload.size());
  for (size_t i = 0; i < payload.size(); ++i) r[5 + i] = payload[i];
  return r;
}

inline std::vector<uint8_t> FeatureRequest(uint8_t command) {
  std::vector<uint8_t> r(20, 0);
  r[0] = 0x09;
  r[1] = 0xDD;
  r[2] = 1;
  r[3] = command;
  return r;
}

// Low byte of the CRC over bytes [from, to) of an answer.
inline uint8_t Crc8Of(const std::vector<uint8_t>& a, size_t from, size_t to) {
  return static_cast<uint8_t>(Crc16(a.data() + from, to - from));
}

}  // namespace panelsim::test
