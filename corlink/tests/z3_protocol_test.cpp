// The Z3 packet exchange on the 64-byte and 58-byte carriers and through the Z7 tunnel.
#include <gtest/gtest.h>
#include <linux/uhid.h>

#include <deque>
#include <mutex>

#include "hid/hid_port.h"
#include "support/scripted_peer.h"
#include "support/transport_fixture.h"
#include "support/z3_links.h"
#include "transport/log.h"
#include "transport/memory_read.h"
#include "transport/z3_protocol.h"

namespace corlink::transport {
namespace {

using corlink::testing::Bytes;
using corlink::testing::HidOverI2cAnswer;
using corlink::testing::HostEvent;
using corlink::testing::RecordedSleeps;
using corlink::testing::ScriptedPeer;
using corlink::testing::TransportTest;
using corlink::testing::Z3Answer;
using corlink::testing::Z7Answer;

class Z3Test : public TransportTest {
 protected:
  std::mutex m;
  std::deque<std::vector<std::vector<uint8_t>>> script;  // answers per output report
  ScriptedPeer peer;  // last: its thread stops before the script goes away

  void Script(std::vector<std::vector<std::vector<uint8_t>>> per_request) {
    for (auto& answers : per_request) script.push_back(std::move(answers));
    peer.Start([this](ScriptedPeer& p, const HostEvent& ev) {
      if (ev.type != UHID_OUTPUT) return;
      std::vector<std::vector<uint8_t>> answers;
      {
        std::lock_guard<std::mutex> lock(m);
        if (script.empty()) return;
        answers = std::move(script.front());
        script.pop_front();
      }
      for (auto& a : answers) p.SendInput(a);
    });
  }
  std::vector<uint8_t> Ack(uint16_t value, std::vector<uint8_t> data = {}) {
    std::vector<uint8_t> body{0xEF, 0xBE, static_cast<uint8_t>(value),
                              static_cast<uint8_t>(value >> 8)};
    body.insert(body.end(), data.begin(), data.end());
    return Z3Answer(0x86, body);
  }
};

TEST_F(Z3Test, ReadMemorySendsTheVectorAndReturnsTheData) {
  std::vector<uint8_t> data(52);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i + 1);
  Script({{Ack(0, data)}});
  uint8_t buf[kMemoryReadMax];
  uint32_t count = 0;
  ASSERT_EQ(Z3ReadMemory(Usb(peer.host_fd()), 0x50000000, buf, &count), 0);
  EXPECT_EQ(count, 52u);
  EXPECT_EQ(buf[51], 52);
  auto got = peer.Received();
  ASSERT_EQ(got.size(), 1u);
  std::vector<uint8_t> expected(64, 0);
  const uint8_t head[] = {0x09, 0x09, 0x86, 0x43, 0x00, 0x00, 0x00, 0x50, 0x34, 0x00};
  std::copy(head, head + 10, expected.begin());
  EXPECT_EQ(got[0].data, expected);
}

TEST_F(Z3Test, AddressZeroSendsNothing) {
  peer.Start(nullptr);
  uint8_t buf[kMemoryReadMax];
  uint32_t count = 0;
  EXPECT_EQ(Z3ReadMemory(Usb(peer.host_fd()), 0, buf, &count), -1);
  EXPECT_EQ(peer.ReceivedCount(), 0u);
}

TEST_F(Z3Test, CrcMismatchEndsWithMinusTwoWithoutASecondRead) {
  auto bad = Ack(0, {1, 2, 3});
  bad[3] ^= 0xFF;
  Script({{bad, Ack(0, {9})}});
  uint16_t value = 0;
  Capture();
  EXPECT_EQ(Exchange(Usb(peer.host_fd()), 0x86, nullptr, 0, {3000, 3000, 0, 1}, &value), -2);
  char line[80];
  std::snprintf(line, sizeof line, "crc mismatch: predict = %02x, receive = %02x\n", bad[3] ^ 0xFF,
                bad[3]);
  EXPECT_EQ(Output(), line);
  uint8_t next[64];
  ASSERT_EQ(hid::ReadReport(peer.host_fd(), next, sizeof next, 1000), 64);  // still unread
  EXPECT_EQ(next[8], 9);
}

TEST_F(Z3Test, StatusWordsGiveResults) {
  Script(
      {{Ack(0x1234)}, {Z3Answer(0x85, {0xAD, 0xDE, 0x01})}, {Z3Answer(0x85, {0xAD, 0xDE, 0x02})}});
  uint16_t value = 0;
  const uint8_t mode[2] = {0x21, 0x01};
  EXPECT_EQ(Exchange(Usb(peer.host_fd()), 0x85, mode, 2, {20, 20}, &value), 0);
  EXPECT_EQ(value, 0x1234);
  EXPECT_EQ(Exchange(Usb(peer.host_fd()), 0x85, mode, 2, {20, 20}, &value), -3);
  EXPECT_EQ(Exchange(Usb(peer.host_fd()), 0x85, mode, 2, {20, 20}, &value), -1);
  auto got = peer.Received();
  EXPECT_EQ(
      std::vector<uint8_t>(got[0].data.begin(), got[0].data.begin() + 6),
      Bytes({0x09, 0x05, 0x85, static_cast<int>(Z3PacketCrc(got[0].data.data(), 6)), 0x21, 0x01}));
}

TEST_F(Z3Test, ForeignReportsAreSkippedWithinTheStatusRead) {
  std::vector<uint8_t> touch(64, 0);
  touch[0] = 0x01;
  Script({{touch, Ack(5)}});
  uint16_t value = 0;
  EXPECT_EQ(Exchange(Usb(peer.host_fd()), 0x86, nullptr, 0, {3000, 3000}, &value), 0);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(RecordedSleeps(), std::vector<unsigned>{200});  // the retry delay between reads
}

TEST_F(Z3Test, TimeOutPrintsItsMessageCancelsAndRetriesThreeTimes) {
  Script({{}, {}, {}});
  uint16_t value = 0;
  Capture();
  EXPECT_EQ(Exchange(Usb(peer.host_fd()), 0x85, nullptr, 0, {20, 20}, &value), -2);
  std::string line = "<IO_Err(r)=0x006E(110)> SleepEx timeout\n";
  std::string expected;
  for (int i = 0; i < 6; ++i) expected += line;
  EXPECT_EQ(Output(), expected);
  EXPECT_EQ(peer.ReceivedCount(), 3u);
  // 20 ms between the two reads of the mode command; the retry delay between attempts.
  EXPECT_EQ(RecordedSleeps(), (std::vector<unsigned>{20, 200, 20, 200, 20}));
}

TEST_F(Z3Test, VerboseDumpsShowSixteenBytes) {
  Script({{Ack(0, {0xAA})}});
  SetVerbose(1);
  uint16_t value = 0;
  Capture();
  ASSERT_EQ(Exchange(Usb(peer.host_fd()), 0x86, nullptr, 0, {3000, 3000}, &value), 0);
  auto a = Ack(0, {0xAA});
  char expected[200];
  std::snprintf(expected, sizeof expected,
                "W: 09 03 86 %02x \nR: 0a %02x 86 %02x ef be 00 00 aa 00 00 00 00 00 00 00 ...\n",
                static_cast<uint8_t>(Crc16(Bytes({0x86}).data(), 1)), a[1], a[3]);
  EXPECT_EQ(Output(), expected);
}

TEST_F(Z3Test, AnswerClaimingMoreThanTheReportIsAMismatch) {
  auto a = Ack(0);
  a[1] = 0xFF;
  Script({{a}});
  uint16_t value = 0;
  Capture();
  EXPECT_EQ(Exchange(Usb(peer.host_fd()), 0x86, nullptr, 0, {3000, 3000, 0, 1}, &value), -2);
  EXPECT_NE(Output().find("crc mismatch"), std::string::npos);
}

// --- HID-over-I2C ---

TEST_F(Z3Test, HidOverI2cExchangeAndData) {
  std::vector<uint8_t> body{0xEF, 0xBE, 0x00, 0x00};
  for (int i = 0; i < 52; ++i) body.push_back(static_cast<uint8_t>(100 + i));
  auto bad = HidOverI2cAnswer({0xEF, 0xBE});
  bad[1] ^= 1;
  Script({{HidOverI2cAnswer(body)}, {bad}, {HidOverI2cAnswer({0xAD, 0xDE, 0x01})}});
  uint8_t buf[kMemoryReadMax];
  uint32_t count = 0;
  ASSERT_EQ(Z3ReadMemory(Hoi(peer.host_fd()), 0x50000000, buf, &count), 0);
  EXPECT_EQ(count, 52u);
  EXPECT_EQ(buf[0], 100);
  EXPECT_EQ(buf[51], 151);
  auto got = peer.Received();
  ASSERT_EQ(got[0].data.size(), 58u);
  EXPECT_EQ(got[0].data[1], 0x00);
  EXPECT_EQ(got[0].data[3], Z3PacketCrc(got[0].data.data(), 58));
  uint16_t value;
  Capture();
  EXPECT_EQ(Exchange(Hoi(peer.host_fd()), 0x86, nullptr, 0, {200, 200, 0, 1}, &value), -2);
  EXPECT_NE(Output().find("crc mismatch"), std::string::npos);
  RecordedSleeps().clear();
  EXPECT_EQ(Exchange(Hoi(peer.host_fd()), 0x85, nullptr, 0, {20, 20, 3}, &value), -3);
  EXPECT_EQ(RecordedSleeps(), std::vector<unsigned>{3});
}

// --- Z7 tunnel ---

TEST_F(Z3Test, Z7PacketCarriesTheInnerPacketWithBothCrcs) {
  std::vector<uint8_t> body{0xEF, 0xBE, 0x00, 0x00};
  for (int i = 0; i < 52; ++i) body.push_back(static_cast<uint8_t>(i));
  Script({{Z7Answer(body)}});
  uint8_t buf[kMemoryReadMax];
  uint32_t count = 0;
  ASSERT_EQ(Z3ReadMemory(Z7(peer.host_fd(), 3), 0x50000000, buf, &count), 0);
  EXPECT_EQ(count, 52u);
  EXPECT_EQ(buf[51], 51);
  auto got = peer.Received();
  ASSERT_EQ(got.size(), 1u);
  const auto& p = got[0].data;
  EXPECT_EQ(std::vector<uint8_t>(p.begin(), p.begin() + 14),
            Bytes({0x09, 13, 0xB0, p[3], 0x09, 3, 0x86, p[7], 0x00, 0x00, 0x00, 0x50, 0x34, 0x00}));
  uint8_t inner_seed = static_cast<uint8_t>(Crc16(Bytes({0x86, 0, 0, 0, 0x50, 0x34, 0}).data(), 7));
  EXPECT_EQ(p[7], inner_seed);
  EXPECT_EQ(p[3], Z3PacketCrc(p.data(), 14));
}

TEST_F(Z3Test, Z7MasterAcknowledgementIsALengthError) {
  Script({{Z3Answer(0xB0, {0xEF, 0xBE, 0, 0})}});
  uint16_t value;
  Capture();
  EXPECT_EQ(Exchange(Z7(peer.host_fd(), 2), 0x85, nullptr, 0, {}, &value), -1);
  EXPECT_EQ(Output(), "slave cmd ack length error\n");
}

TEST_F(Z3Test, Z7StatusRules) {
  auto inner_bad = Z7Answer({0xEF, 0xBE, 0, 0});
  inner_bad[7] ^= 0x5A;
  inner_bad[3] = static_cast<uint8_t>(Crc16(inner_bad.data() + 4, inner_bad[1] + 1 - 4));
  auto too_long = Z7Answer({0xEF, 0xBE, 0, 0});
  too_long[4] = 61;  // N reaching past the report
  too_long[3] = static_cast<uint8_t>(Crc16(too_long.data() + 4, too_long[1] + 1 - 4));
  std::vector<uint8_t> own_id(64, 0);
  own_id[0] = 0x09;
  Script({{Z7Answer({0xAD, 0xDE, 0x00, 0x01})},
          {Z7Answer({0xAD, 0xDE, 0x00, 0x02})},
          {inner_bad},
          {too_long},
          {own_id, Z3Answer(0xB0, {0x11, 0x22}), Z7Answer({0xEF, 0xBE, 0x07, 0x00})},
          {Z3Answer(0xB0, {0xAD, 0xDE})}});
  uint16_t value = 0;
  Capture();
  EXPECT_EQ(Exchange(Z7(peer.host_fd(), 2), 0x85, nullptr, 0, {}, &value), -3);
  EXPECT_EQ(Exchange(Z7(peer.host_fd(), 2), 0x85, nullptr, 0, {}, &value), -1);
  EXPECT_EQ(Exchange(Z7(peer.host_fd(), 2), 0x85, nullptr, 0, {}, &value), -2);
  EXPECT_EQ(Exchange(Z7(peer.host_fd(), 2), 0x85, nullptr, 0, {}, &value), -2);
  RecordedSleeps().clear();
  EXPECT_EQ(Exchange(Z7(peer.host_fd(), 2), 0x85, nullptr, 0, {}, &value), 0);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(RecordedSleeps(), (std::vector<unsigned>{200, 200}));  // two skipped answers
  EXPECT_EQ(Exchange(Z7(peer.host_fd(), 2), 0x85, nullptr, 0, {}, &value), -1);
  Output();
}

TEST_F(Z3Test, Z7ReadsRunOutAfterTheTunnelRetryCount) {
  Script({{}});
  SetRetryValue(2, 1);
  uint16_t value;
  Capture();
  EXPECT_EQ(Exchange(Z7(peer.host_fd(), 2), 0x85, nullptr, 0, {}, &value), -2);
  EXPECT_EQ(Output(), "<IO_Err(r)=110>  SleepEx timeout\n<IO_Err(r)=110>  SleepEx timeout\n");
}

}  // namespace
}  // namespace corlink::transport
