#include <gtest/gtest.h>

#include "support/transport_fixture.h"
#include "transport/log.h"
#include "transport/z1_protocol.h"
#include "transport/z3_protocol.h"

namespace corlink::transport {
namespace {

using corlink::testing::TransportTest;

class CrcTest : public TransportTest {};

TEST_F(CrcTest, XmodemCheckValueAndSeedContinuation) {
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc16(check, 9), 0x31C3);
  EXPECT_EQ(Crc16(check + 4, 5, Crc16(check, 4)), 0x31C3);
  EXPECT_EQ(Crc16(check, 0, 0x1234), 0x1234);
}

TEST_F(CrcTest, TracesEveryByteAtVerboseLevelTwo) {
  const uint8_t data[] = {0x01, 0xFF};
  SetVerbose(1);
  Capture();
  Crc16(data, 2);
  EXPECT_EQ(Output(), "");
  SetVerbose(2);
  Capture();
  uint16_t crc = Crc16(data, 2);
  char expected[200];
  std::snprintf(expected, sizeof expected,
                "Generate CRC, input length = 2\nOLD: 0000, data: 01, NEW: 1021\nOLD: 1021, data: "
                "ff, NEW: %04x\n",
                crc);
  EXPECT_EQ(Output(), expected);
}

TEST_F(CrcTest, RequestVectors) {
  uint8_t z1[6];
  Z1ReadPayload(0x50000000, z1);
  EXPECT_EQ(std::vector<uint8_t>(z1, z1 + 6),
            (std::vector<uint8_t>{0x50, 0x00, 0x00, 0x00, 0x75, 0x3B}));

  uint8_t payload[6];
  Z3ReadPayload(0x50000000, 52, payload);
  const Z3Request request = Z3Build({-1, Z3Carrier::kUsb}, 0x86, payload, 6);
  ASSERT_EQ(request.length, 10u);
  const uint8_t expected[] = {0x09, 0x09, 0x86, 0x43, 0x00, 0x00, 0x00, 0x50, 0x34, 0x00};
  EXPECT_EQ(std::vector<uint8_t>(request.bytes.begin(), request.bytes.begin() + 10),
            std::vector<uint8_t>(expected, expected + 10));
  for (size_t i = 10; i < kZ3ReportSize; ++i) EXPECT_EQ(request.bytes[i], 0) << i;
}

TEST_F(CrcTest, ShortBufferIsLeftAlone) {
  uint8_t buf[3] = {1, 2, 3};
  Capture();
  EXPECT_FALSE(InsertZ3Crc(buf, 3));
  EXPECT_EQ(Output(), "buffer size error, crc not inserted\n");
  EXPECT_EQ(buf[2], 3);
}

TEST_F(CrcTest, SetRetryValueAndVerboseKeepSixteenBits) {
  SetRetryValue(0x10003, 0x20007);
  for (const RetrySetting& r : State().retry) {
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(r.delay_ms, 7);
  }
  SetVerbose(0x10001);
  EXPECT_EQ(VerboseLevel(), 1);
}

}  // namespace
}  // namespace corlink::transport
