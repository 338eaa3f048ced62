// Z1 commands over the feature channel against a scripted chip.
#include <gtest/gtest.h>
#include <linux/uhid.h>

#include <deque>
#include <mutex>

#include "support/feature_chip.h"
#include "support/scripted_peer.h"
#include "support/transport_fixture.h"
#include "transport/feature_channel.h"
#include "transport/log.h"
#include "transport/memory_read.h"
#include "transport/z1_protocol.h"

namespace corlink::transport {
namespace {

using corlink::testing::Bytes;
using corlink::testing::FeatureChip;
using corlink::testing::FeatureReport;
using corlink::testing::HostEvent;
using corlink::testing::RecordedSleeps;
using corlink::testing::ScriptedPeer;
using corlink::testing::TransportTest;

std::vector<uint8_t> WithCrc(std::vector<uint8_t> data) {
  uint16_t crc = Crc16(data.data(), data.size());
  data.push_back(static_cast<uint8_t>(crc >> 8));
  data.push_back(static_cast<uint8_t>(crc));
  return data;
}

class Z1Test : public TransportTest {
 protected:
  ScriptedPeer peer;
  Z1Link link() { return {peer.host_fd(), false, 0}; }
};

TEST_F(Z1Test, FeatureWriteOfFifteenBytesNeverReachesTheDevice) {
  FeatureChip chip(peer);
  uint8_t payload[15] = {};
  EXPECT_FALSE(FeatureWrite(peer.host_fd(), 0x85, payload, 15));
  EXPECT_FALSE(peer.WaitReceived(1, 50));
}

TEST_F(Z1Test, FeatureWriteSendsTheCommandAndPollsUntilReady) {
  FeatureChip chip(peer);
  const uint8_t payload[2] = {0x21, 0x01};
  EXPECT_TRUE(FeatureWrite(peer.host_fd(), 0x85, payload, 2));
  auto got = peer.Received();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].type, UHID_SET_REPORT);
  std::vector<uint8_t> expected(20, 0);
  const uint8_t head[] = {0x09, 0xD9, 0x04, 0x85, 0x02, 0x21, 0x01};
  std::copy(head, head + 7, expected.begin());
  EXPECT_EQ(got[0].data, expected);
  EXPECT_EQ(got[1].type, UHID_GET_REPORT);
  EXPECT_EQ(got[1].report_id, 0x09);
}

TEST_F(Z1Test, StatusPollsStopAfterTwoHundred) {
  FeatureChip chip(peer);
  chip.never_ready = true;
  EXPECT_FALSE(FeatureWrite(peer.host_fd(), 0x85, nullptr, 0));
  EXPECT_EQ(peer.ReceivedCount(), 1u + 200u);
}

TEST_F(Z1Test, FeatureReadCopiesTheAnnouncedLengthAtMostSeventeen) {
  FeatureChip chip(peer);
  chip.QueueResponse(Bytes({1, 2, 3}));
  chip.QueueResponse(std::vector<uint8_t>(17, 0xEE));
  uint8_t out[kZ1MaxResponse];
  size_t len = 99;
  ASSERT_TRUE(FeatureRead(peer.host_fd(), 0x82, out, sizeof out, &len));
  EXPECT_EQ(len, 3u);
  EXPECT_EQ(out[2], 3);
  auto got = peer.Received();
  ASSERT_GE(got.size(), 1u);
  EXPECT_EQ(got[0].data[1], 0xDD);
  EXPECT_EQ(got[0].data[3], 0x82);
  ASSERT_TRUE(FeatureRead(peer.host_fd(), 0, out, sizeof out, &len));
  EXPECT_EQ(len, 17u);
}

TEST_F(Z1Test, FeatureReadWithoutReadyIsAnEmptySuccess) {
  FeatureChip chip(peer);
  chip.first_d8_idle = true;
  uint8_t out[kZ1MaxResponse];
  size_t len = 99;
  EXPECT_TRUE(FeatureRead(peer.host_fd(), 0, out, sizeof out, &len));
  EXPECT_EQ(len, 0u);
}

TEST_F(Z1Test, ReadMemorySendsTheVectorAndStripsTheCrc) {
  FeatureChip chip(peer);
  auto data = WithCrc(Bytes({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  chip.QueueResponse(data);
  uint8_t buf[kMemoryReadMax];
  uint32_t count = 0;
  ASSERT_EQ(Z1ReadMemory(link(), 0x50000000, buf, &count), 0);
  EXPECT_EQ(count, 12u);
  EXPECT_EQ(buf[11], 11);
  auto got = peer.Received();
  EXPECT_EQ(std::vector<uint8_t>(got[0].data.begin(), got[0].data.begin() + 11),
            Bytes({0x09, 0xD9, 0x08, 0x86, 0x06, 0x50, 0x00, 0x00, 0x00, 0x75, 0x3B}));
  EXPECT_TRUE(RecordedSleeps().empty());  // the first attempt does not pause
}

TEST_F(Z1Test, NackUntilTheRetriesAreUsedUp) {
  FeatureChip chip(peer);
  for (int i = 0; i < 5; ++i) chip.QueueResponse(Bytes({0x00, 0x40, 0x5A, 0x31}));
  uint8_t buf[kMemoryReadMax];
  uint32_t count = 0;
  Capture();
  EXPECT_EQ(Z1ReadMemory(link(), 0x50000000, buf, &count), -2);
  EXPECT_EQ(Output(), "NACK/RETRY!!\nNACK/RETRY!!\nNACK/RETRY!!\nNACK/RETRY!!\nNACK/RETRY!!\n");
  // Retry delay between attempts; 50 ms before the write and the read of later attempts.
  std::vector<unsigned> expected{200};
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), {50, 50, 200});
  expected.insert(expected.end(), {50, 50});
  EXPECT_EQ(RecordedSleeps(), expected);
}

TEST_F(Z1Test, ReadMemoryJudgesEveryOtherAnswer) {
  FeatureChip chip(peer);
  SetRetryValue(3, 1);
  auto bad_crc = WithCrc(std::vector<uint8_t>(12, 1));
  bad_crc[13] ^= 1;
  chip.QueueResponse(Bytes({0x00, 0x80, 0x5A, 0x31}));
  chip.QueueResponse(bad_crc);
  chip.QueueResponse(Bytes({1, 2, 3}));
  uint8_t buf[kMemoryReadMax];
  uint32_t count = 0;
  Capture();
  EXPECT_EQ(Z1ReadMemory(link(), 0x50000000, buf, &count), -1);
  EXPECT_EQ(Output(), "Ack unknown format!\nCRC check failed!\nWrong response format!\n");
}

TEST_F(Z1Test, NoRetriesMeansNothingIsSent) {
  FeatureChip chip(peer);
  SetRetryValue(0, 0);
  uint8_t buf[kMemoryReadMax];
  uint32_t count = 0;
  EXPECT_EQ(Z1ReadMemory(link(), 0x50000000, buf, &count), -2);
  EXPECT_EQ(peer.ReceivedCount(), 0u);
}

TEST_F(Z1Test, FailedWritesGiveUpAfterFiveWithoutUsingAttempts) {
  hid::SetVirtualTimeouts({20, 20});
  peer.Start(nullptr);  // a chip that never answers a feature call
  SetRetryValue(1, 0);
  uint8_t buf[kMemoryReadMax];
  uint32_t count = 0;
  EXPECT_EQ(Z1ReadMemory(link(), 0x50000000, buf, &count), -1);
  peer.WaitReceived(6, 100);
  EXPECT_EQ(peer.ReceivedCount(), 5u);
}

TEST_F(Z1Test, AcknowledgementReadJudgesIdAndStatus) {
  FeatureChip chip(peer);
  chip.QueueResponse(Bytes({0x00, 0x80, 0x5A, 0x31}));
  chip.QueueResponse(Bytes({0x00, 0x40, 0x00, 0x07}));
  chip.QueueResponse(Bytes({0x00, 0x80, 0x5A}));
  uint16_t id = 0;
  Capture();
  EXPECT_TRUE(Z1ReadAck(link(), kZ1ModeAckId, &id));
  EXPECT_EQ(id, kZ1ModeAckId);
  EXPECT_FALSE(Z1ReadAck(link(), 5, &id));
  EXPECT_EQ(id, 7);
  EXPECT_FALSE(Z1ReadAck(link(), 5, &id));
  EXPECT_EQ(id, 5);
  EXPECT_EQ(Output(),
            "Z1 acked block id (7) diff with expected one(5)!\nZ1 retry/ No ACK!\n"
            "   Wrong response format!\n0 80 5a  totally 3 bytes\n");
}

TEST_F(Z1Test, AcknowledgementReadGivesUpAfterOneHundredAndOneEmptyResponses) {
  FeatureChip chip(peer);
  chip.first_d8_idle = true;
  uint16_t id = 9;
  Capture();
  EXPECT_FALSE(Z1ReadAck(link(), kZ1ModeAckId, &id));
  EXPECT_EQ(id, 0);
  std::string expected;
  for (int i = 0; i < 101; ++i) expected += " 0 ";
  EXPECT_EQ(Output(), expected);
}

TEST_F(Z1Test, RetryLoopHonoursDoneRetryAndCount) {
  SetRetryValue(3, 10);
  int calls = 0;
  int r = RunZ1Loop([&](bool later) -> Z1Step {
    EXPECT_EQ(later, calls > 0);
    ++calls;
    return {Z1Next::kRetry, -calls};
  });
  EXPECT_EQ(r, -3);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(RecordedSleeps(), (std::vector<unsigned>{10, 10}));
  SetRetryValue(0, 10);
  // No attempt allowed: nothing reaches the chip, and the loop says the retries ran out.
  EXPECT_EQ(RunZ1Loop([&](bool) -> Z1Step { return {Z1Next::kDone, 0}; }), CORLINK_ERR_RETRIES);
}

}  // namespace
}  // namespace corlink::transport
