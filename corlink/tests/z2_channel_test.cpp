// The 19-byte channel: letter commands, the Z6 slave tunnel, time-out messages.
#include <gtest/gtest.h>
#include <linux/uhid.h>

#include "support/scripted_peer.h"
#include "support/transport_fixture.h"
#include "transport/log.h"
#include "transport/memory_read.h"
#include "transport/z2_channel.h"

namespace corlink::transport {
namespace {

using corlink::testing::Bytes;
using corlink::testing::HostEvent;
using corlink::testing::RecordedSleeps;
using corlink::testing::ScriptedPeer;
using corlink::testing::TransportTest;

std::vector<uint8_t> Report19(std::vector<uint8_t> head) {
  head.resize(kZ2ReportSize, 0);
  return head;
}

class Z2Test : public TransportTest {
 protected:
  ScriptedPeer peer;
  // Answers every output report with the given input report.
  void AnswerWith(std::vector<uint8_t> answer) {
    peer.Start([answer](ScriptedPeer& p, const HostEvent& ev) {
      if (ev.type == UHID_OUTPUT) p.SendInput(answer);
    });
  }
};

TEST_F(Z2Test, SlaveReadAnswerClaimingTwentyBytesYieldsFourteen) {
  std::vector<uint8_t> answer = Report19({0x0A, 0x0F, 20});
  for (int i = 3; i < 19; ++i) answer[i] = static_cast<uint8_t>(i);
  AnswerWith(answer);
  uint8_t out[17] = {};
  size_t len = 0;
  ASSERT_TRUE(Z2SlaveRead(peer.host_fd(), 3, 0x82, out, sizeof out, &len));
  EXPECT_EQ(len, 14u);
  EXPECT_EQ(out[0], 3);
  EXPECT_EQ(out[13], 16);
  auto got = peer.Received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data, Report19({0x09, 0x0F, 3, 0x82}));
}

TEST_F(Z2Test, SlaveReadRejectsAReportThatIsNotAnAnswer) {
  AnswerWith(Report19({0x0A, 0x1E, 4, 1, 2, 3, 4}));
  uint8_t out[17];
  size_t len = 7;
  EXPECT_FALSE(Z2SlaveRead(peer.host_fd(), 2, 0, out, sizeof out, &len));
  EXPECT_EQ(len, 0u);
}

TEST_F(Z2Test, SlaveWriteLayoutAndPayloadLimit) {
  peer.Start(nullptr);
  uint8_t payload[15] = {0xA1, 0xA2};
  EXPECT_FALSE(Z2SlaveWrite(peer.host_fd(), 2, 0x85, payload, 15));
  ASSERT_TRUE(Z2SlaveWrite(peer.host_fd(), 2, 0x85, payload, 2));
  ASSERT_TRUE(peer.WaitReceived(1, 1000));
  auto got = peer.Received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data, Report19({0x09, 0xF0, 2, 0x85, 2, 0xA1, 0xA2}));
}

TEST_F(Z2Test, Z6SlaveMemoryReadTravelsThroughTheTunnel) {
  State().device_type = DEV_USB_Z6SLAVE;
  State().z6_slave_index = 4;
  std::vector<uint8_t> data{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  uint16_t crc = Crc16(data.data(), 12);
  std::vector<uint8_t> answer{0x0A, 0x0F, 14};
  answer.insert(answer.end(), data.begin(), data.end());
  answer.push_back(static_cast<uint8_t>(crc >> 8));
  answer.push_back(static_cast<uint8_t>(crc));
  answer = Report19(answer);
  peer.Start([answer](ScriptedPeer& p, const HostEvent& ev) {
    if (ev.type == UHID_OUTPUT && ev.data[1] == 0x0F) p.SendInput(answer);
  });
  uint8_t buf[kMemoryReadMax];
  uint32_t count = 0;
  ASSERT_EQ(Z1ReadMemory(Z6SlaveLink(peer.host_fd()), 0x50000000, buf, &count), 0);
  EXPECT_EQ(count, 12u);
  ASSERT_TRUE(peer.WaitReceived(2, 1000));
  auto got = peer.Received();
  ASSERT_EQ(got.size(), 2u);  // the slave write, then the read request
  EXPECT_EQ(got[0].data, Report19({0x09, 0xF0, 4, 0x86, 6, 0x50, 0, 0, 0, 0x75, 0x3B}));
  EXPECT_EQ(got[1].data, Report19({0x09, 0x0F, 4, 0x00}));
}

TEST_F(Z2Test, MemoryReadTakesTheSixteenthByteFromByteThree) {
  std::vector<uint8_t> answer{0x0A, 0x1E, 16, 0xF5};
  for (int i = 0; i < 15; ++i) answer.push_back(static_cast<uint8_t>(0xE0 + i));
  AnswerWith(answer);
  uint8_t buf[kMemoryReadMax];
  uint32_t count = 0;
  SetVerbose(1);
  Capture();
  ASSERT_EQ(Z2ReadMemory(peer.host_fd(), 0x12345678, buf, &count), 0);
  std::string out = Output();
  EXPECT_EQ(count, 16u);
  EXPECT_EQ(buf[0], 0xE0);
  EXPECT_EQ(buf[14], 0xEE);
  EXPECT_EQ(buf[15], 0xF5);
  EXPECT_EQ(out,
            "W: 09 1e 00 00 78 56 34 12 00 00 00 00 00 00 00 00 00 00 00 \n"
            "R: 0a 1e 10 f5 e0 e1 e2 e3 e4 e5 e6 e7 e8 e9 ea eb ec ed ee \n");
}

TEST_F(Z2Test, ReadTimeOutPrintsItsMessageAndCancels) {
  peer.Start(nullptr);  // never answers
  uint8_t buf[kMemoryReadMax];
  uint32_t count = 0;
  Capture();
  EXPECT_EQ(Z2ReadMemory(peer.host_fd(), 0x100, buf, &count), -1);
  EXPECT_EQ(Output(), "<IO_Err(r)=0x006E(110)>\n");
  // The cancel: an answer that comes late is not taken for the next command's.
  peer.SendInput(Report19({0x0A, 0x1E, 1, 0, 0x99}));
  peer.Stop();
  peer.Start([](ScriptedPeer& p, const HostEvent& ev) {
    if (ev.type == UHID_OUTPUT) p.SendInput(Report19({0x0A, 0x1E, 1, 0, 0x42}));
  });
  ASSERT_EQ(Z2ReadMemory(peer.host_fd(), 0x100, buf, &count), 0);
  EXPECT_EQ(buf[0], 0x42);
}

TEST_F(Z2Test, WriteTimeOutPrintsTheCommandAndRetriesFiveTimes) {
  // Nobody reads the device end: the socket fills up and writes stop completing.
  Z2Report r = Z2Letter('x');
  int written = 0;
  while (Z2WriteOnce(peer.host_fd(), r) && written < 10000) ++written;
  ASSERT_LT(written, 10000);
  RecordedSleeps().clear();
  Capture();
  EXPECT_EQ(Z2Command(peer.host_fd(), r), -1);
  std::string line = "<IO_Err(W)=6e>, cmd=78\n";
  EXPECT_EQ(Output(), line + line + line + line + line);
  EXPECT_EQ(RecordedSleeps(), (std::vector<unsigned>{200, 200, 200, 200}));
}

TEST_F(Z2Test, UnpluggedDeviceFailsAtOnce) {
  peer.Start(nullptr);
  peer.Unplug();
  uint8_t buf[kMemoryReadMax];
  uint32_t count = 0;
  Capture();
  EXPECT_EQ(Z2ReadMemory(peer.host_fd(), 0x100, buf, &count), -1);
  EXPECT_EQ(Output(), "w");
}

}  // namespace
}  // namespace corlink::transport
