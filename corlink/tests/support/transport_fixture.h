// Common ground for transport tests: a fresh library state, a clock that records sleeps
// instead of sleeping and caps time-outs, short feature waits, and answer builders.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hid/virtual.h"
#include "library_state.h"
#include "transport/crc.h"
#include "transport/timing.h"

namespace corlink::testing {

// Sleeps requested through the transport clock since the fixture started.
std::vector<unsigned>& RecordedSleeps();

class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Starts capturing stdout; Output() returns what was printed since.
  void Capture();
  std::string Output();

 private:
  bool capturing_ = false;
  hid::VirtualTimeouts saved_;
};

// A 64-byte Z3 answer: 0A, L-1, command, CRC over 4..L-1, then body from byte 4.
std::vector<uint8_t> Z3Answer(uint8_t command, const std::vector<uint8_t>& body);
// A 58-byte HID-over-I2C answer: 0A, CRC over 2..57, then body from byte 2.
std::vector<uint8_t> HidOverI2cAnswer(const std::vector<uint8_t>& body);
// A Z7 tunnel answer: the slave's status and data wrapped with inner length and CRCs.
std::vector<uint8_t> Z7Answer(const std::vector<uint8_t>& slave_body_from_8);
// A 20-byte feature report 09 <opcode> <len> <data...>.
std::vector<uint8_t> FeatureReport(uint8_t opcode, const std::vector<uint8_t>& from_byte_2);

}  // namespace corlink::testing
