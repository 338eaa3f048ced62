// The Z3 packet families at the byte level: 64-byte carrier, Z7 tunnel, HID-over-I2C.
#include <gtest/gtest.h>

#include "firmware_helpers.h"
#include "packets.h"

namespace panelsim::test {
namespace {

std::vector<uint8_t> ReadRequest(uint32_t address, uint16_t count) {
  std::vector<uint8_t> p = Le32(address);
  p.push_back(static_cast<uint8_t>(count));
  p.push_back(static_cast<uint8_t>(count >> 8));
  return p;
}

TEST(Z3Usb, ReadRequestVectorAndAnswerLayout) {
  std::vector<uint8_t> req = Z3Packet(0x86, ReadRequest(0x50000000, 52));
  const std::vector<uint8_t> head = {0x09, 0x09, 0x86, 0x43, 0x00, 0x00, 0x00, 0x50, 0x34, 0x00};
  ASSERT_TRUE(std::equal(head.begin(), head.end(), req.begin()));

  Firmware fw(ConfigOf(DeviceType::Z3Usb));
  auto a = Ask(fw, req);
  ASSERT_TRUE(a);
  ASSERT_EQ(a->size(), 64u);
  EXPECT_EQ((*a)[0], 0x0A);
  EXPECT_EQ((*a)[1], 59);  // L - 1 with 52 data bytes
  EXPECT_EQ((*a)[2], 0x86);
  EXPECT_EQ((*a)[3], Crc8Of(*a, 4, 60));
  EXPECT_EQ((*a)[4], 0xEF);
  EXPECT_EQ((*a)[5], 0xBE);
  std::vector<uint8_t> expected = fw.PeekMemory(0, 0x50000000, 52);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), a->begin() + 8));
}

TEST(Z3Usb, StatusCascadeAndGeometryWords) {
  Firmware fw(ConfigOf(DeviceType::Z3Usb, 3));
  auto status = Ask(fw, Z3Packet(0x86, ReadRequest(0xA000C024, 8)));
  ASSERT_TRUE(status);
  EXPECT_EQ((*status)[1], 15);       // 8 data bytes
  EXPECT_EQ((*status)[8 + 3], 1);    // master with slaves
  EXPECT_EQ((*status)[8 + 4], 2);    // two slaves
  EXPECT_EQ((*status)[8 + 5], 0);    // position 0
  EXPECT_EQ((*status)[8 + 6], 1);    // overlap included
  EXPECT_EQ((*status)[8 + 7], 0x02); // no lead, 2 tail lines
  auto cascade = Ask(fw, Z3Packet(0x86, ReadRequest(0xA000C028, 4)));
  ASSERT_TRUE(cascade);
  EXPECT_EQ((*cascade)[8], 2);
  auto geometry = Ask(fw, Z3Packet(0x86, ReadRequest(0x5A000000, 4)));
  ASSERT_TRUE(geometry);
  EXPECT_EQ((*geometry)[8 + 1], 20);
  EXPECT_EQ((*geometry)[8 + 2], 30);
}

TEST(Z3Usb, TunnelReachesEachSlave) {
  Firmware fw(ConfigOf(DeviceType::Z3Usb, 3));
  for (uint8_t index : {5, 6}) {
    auto a = Ask(fw, TunnelPacket(index, 0x86, ReadRequest(0xA000C024, 8)));
    ASSERT_TRUE(a);
    size_t n = (*a)[4] | ((*a)[5] << 8);  // inner length
    EXPECT_EQ(n, 16u);
    EXPECT_EQ((*a)[1], 4 + n - 1);
    EXPECT_EQ((*a)[3], Crc8Of(*a, 4, 4 + n));
    EXPECT_EQ((*a)[7], Crc8Of(*a, 8, 4 + n));
    EXPECT_EQ((*a)[8], 0xEF);
    EXPECT_EQ((*a)[9], 0xBE);
    EXPECT_EQ((*a)[12 + 3], index);        // status byte: the slave's chip index
    EXPECT_EQ((*a)[12 + 5], index - 4);    // position
  }
  // No slave 3 in a three-chip cascade: the master refuses for itself.
  auto a = Ask(fw, TunnelPacket(7, 0x86, ReadRequest(0xA000C024, 8)));
  ASSERT_TRUE(a);
  EXPECT_LT((*a)[1] + 1, 12);
  EXPECT_EQ((*a)[4], 0xAD);
}

TEST(Z3Usb, BurstReadSplitsIntoAnswers) {
  Firmware fw(ConfigOf(DeviceType::Z3Usb, 1));
  Outcome o = SendOutput(fw, Z3Packet(0x86, ReadRequest(0x52000000, 120)));
  ASSERT_EQ(o.answers.size(), 3u);
  EXPECT_EQ(o.answers[0].data[1], 59);
  EXPECT_EQ(o.answers[2].data[1], 7 + 16);
  std::vector<uint8_t> all;
  for (auto& a : o.answers) all.insert(all.end(), a.data.begin() + 8, a.data.begin() + a.data[1] + 1);
  EXPECT_EQ(all, fw.PeekMemory(0, 0x52000000, 120));
}

TEST(Z3Usb, BadRequestCrcIsRefused) {
  Firmware fw(ConfigOf(DeviceType::Z3Usb));
  auto req = Z3Packet(0x86, ReadRequest(0x50000000, 52));
  req[3] ^= 1;
  auto a = Ask(fw, req);
  ASSERT_TRUE(a);
  EXPECT_EQ((*a)[4], 0xAD);
  EXPECT_EQ((*a)[5], 0xDE);
  EXPECT_EQ((*a)[3], Crc8Of(*a, 4, (*a)[1] + 1));
}

TEST(Z3I2c, ReadAnswerLayout) {
  Firmware fw(ConfigOf(DeviceType::Z3HidOverI2c, 1));
  auto a = Ask(fw, I2cPacket(0x86, ReadRequest(0x53000000, 52)));
  ASSERT_TRUE(a);
  ASSERT_EQ(a->size(), 58u);
  EXPECT_EQ((*a)[0], 0x0A);
  EXPECT_EQ((*a)[1], Crc8Of(*a, 2, 58));
  EXPECT_EQ((*a)[2], 0xEF);
  EXPECT_EQ((*a)[3], 0xBE);
  std::vector<uint8_t> expected = fw.PeekMemory(0, 0x53000000, 52);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), a->begin() + 6));
}

}  // namespace
}  // namespace panelsim::test

namespace panelsim::test {
namespace {

TEST(Z3Usb, ModeWordsDriveFramesReadyAndReporting) {
  FirmwareConfig cfg = ConfigOf(DeviceType::Z3Usb);
  cfg.ready_after_polls = 2;
  Firmware fw(cfg);
  auto ack = Ask(fw, Z3Packet(0x85, {0x51, 0x09}));
  ASSERT_TRUE(ack);
  EXPECT_EQ((*ack)[1], 7);
  EXPECT_EQ((*ack)[4], 0xEF);
  EXPECT_FALSE(fw.State().report_to_os);
  Ask(fw, Z3Packet(0x85, {0x21, 0x01}));
  EXPECT_EQ(fw.State().frame, 1u);
  std::vector<uint8_t> poll = Le32(0x50000000);
  poll.push_back(52);
  poll.push_back(0);
  EXPECT_EQ((*Ask(fw, Z3Packet(0x86, poll)))[8], 0);
  EXPECT_EQ((*Ask(fw, Z3Packet(0x86, poll)))[8], 0);
  EXPECT_EQ((*Ask(fw, Z3Packet(0x86, poll)))[8], 1);
  Ask(fw, Z3Packet(0x85, {0x20, 0x01}));
  EXPECT_EQ((*Ask(fw, Z3Packet(0x86, poll)))[8], 0);
  Ask(fw, Z3Packet(0x85, {0x50, 0x09}));
  EXPECT_TRUE(fw.State().report_to_os);
}

TEST(Z3Usb, ResetAndFinishAreSilentAndFinishSendsTheResult) {
  Firmware fw(ConfigOf(DeviceType::Z3Usb));
  EXPECT_TRUE(SendOutput(fw, Z3Packet(0x82, {})).answers.empty());
  EXPECT_EQ(fw.State().resets, 1);
  auto info = Ask(fw, Z3Packet(0x73, {0x00, 0x30, 0, 0, 100, 0}));
  ASSERT_TRUE(info);
  EXPECT_EQ((*info)[4], 0xEF);
  for (uint16_t id = 0; id < 2; ++id) {
    auto a = Ask(fw, Z3Packet(0x84, std::vector<uint8_t>(52, 1)));
    ASSERT_TRUE(a);
    EXPECT_EQ((*a)[6] | ((*a)[7] << 8), id);  // the frame id
  }
  auto result = Ask(fw, Z3Packet(0x81, {}));
  ASSERT_TRUE(result);
  EXPECT_EQ((*result)[4], 0xEF);  // 104 bytes of 100 arrived
  EXPECT_TRUE(fw.State().update_finished);
}

TEST(Z3Usb, MemoryBlockCrcAndRecalibration) {
  Firmware fw(ConfigOf(DeviceType::Z3Usb));
  std::vector<uint8_t> p = Le32(0x20001000);
  auto w2 = Le32(1), w3 = Le32(0xCAFEF00D);
  p.insert(p.end(), w2.begin(), w2.end());
  p.insert(p.end(), w3.begin(), w3.end());
  p.resize(48, 0);
  auto a = Ask(fw, Z3Packet(0x88, p));
  ASSERT_TRUE(a);
  EXPECT_EQ((*a)[1], 23);
  EXPECT_EQ((*a)[8], 0x0D);
  EXPECT_EQ((*a)[11], 0xCA);

  std::vector<uint8_t> q = Le32(0x20001000);
  q.insert(q.end(), {4, 0, 0x34, 0x12});
  auto c = Ask(fw, Z3Packet(0x91, q));
  ASSERT_TRUE(c);
  const uint8_t word[] = {0x0D, 0xF0, 0xFE, 0xCA};
  uint16_t crc = Crc16(word, 4, 0x1234);
  EXPECT_EQ((*c)[6], crc >> 8);  // big-endian in the result field
  EXPECT_EQ((*c)[7], crc & 0xFF);

  auto r = Ask(fw, Z3Packet(0x87, {}));
  ASSERT_TRUE(r);
  EXPECT_EQ(fw.State().recalibrations, 1);
}

TEST(Z3Usb, TunnelPowerModeAndReset) {
  Firmware fw(ConfigOf(DeviceType::Z3Usb, 2));
  auto a = Ask(fw, TunnelPacket(5, 0x90, {3, 0}));
  ASSERT_TRUE(a);
  EXPECT_EQ((*a)[1] - 11, 2);  // data size
  EXPECT_EQ((*a)[12], 3);
  auto r = Ask(fw, TunnelPacket(5, 0x82, {}));
  ASSERT_TRUE(r);
  EXPECT_EQ((*r)[8], 0xEF);
  // A wrong inner CRC: the master refuses for itself.
  auto bad = TunnelPacket(5, 0x82, {});
  bad[7] ^= 1;
  bad[3] = static_cast<uint8_t>(Crc16(&bad[4], 4, Crc16(&bad[2], 1)));
  auto refused = Ask(fw, bad);
  ASSERT_TRUE(refused);
  EXPECT_EQ((*refused)[4], 0xAD);
}

TEST(Z3I2c, ResetIsAcknowledgedAndMemoryGivesOneWord) {
  Firmware fw(ConfigOf(DeviceType::Z3HidOverI2c, 1));
  auto r = Ask(fw, I2cPacket(0x82, {}));
  ASSERT_TRUE(r);
  EXPECT_EQ((*r)[2], 0xEF);
  std::vector<uint8_t> p = Le32(0xA000C024);
  auto m = Ask(fw, I2cPacket(0x88, p));
  ASSERT_TRUE(m);
  EXPECT_EQ((*m)[6], 3);
  EXPECT_EQ((*m)[10], 0);  // only one word
  std::vector<uint8_t> q = Le32(0x51000000);
  q.insert(q.end(), {8, 0, 0, 0});
  auto c = Ask(fw, I2cPacket(0x91, q));
  ASSERT_TRUE(c);
  auto mem = fw.PeekMemory(0, 0x51000000, 8);
  uint16_t crc = Crc16(mem.data(), 8);
  EXPECT_EQ((*c)[4], crc >> 8);
  EXPECT_EQ((*c)[5], crc & 0xFF);
}

TEST(Z3UsbBrg, BridgeCollectionIsIgnoredCommandCollectionAnswers) {
  Firmware fw(ConfigOf(DeviceType::Z3UsbBrg, 1));
  std::vector<uint8_t> other(64, 0);
  other[0] = 0x53;
  EXPECT_TRUE(SendOutput(fw, other).answers.empty());
  EXPECT_TRUE(Ask(fw, Z3Packet(0x85, {0x01, 0x0F})));
}

}  // namespace
}  // namespace panelsim::test
