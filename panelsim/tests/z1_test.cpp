// Z1 commands on the feature channel at the byte level.
#include <gtest/gtest.h>

#include <cerrno>

#include "firmware_helpers.h"
#include "packets.h"

namespace panelsim::test {
namespace {

TEST(Z1Feature, ReadMemoryAnswersTwelveBytesAndCrc) {
  Firmware fw(ConfigOf(DeviceType::Z2UsbBrg, 1));
  EXPECT_EQ(Z1Address(0x50000000), (std::vector<uint8_t>{0x50, 0, 0, 0, 0x75, 0x3B}));
  auto r = Command(fw, 0x86, Z1Address(0xA000C024));
  ASSERT_EQ(r.size(), 14u);
  EXPECT_EQ(r[3], 0);  // single chip status
  EXPECT_EQ(r, WithCrc(std::vector<uint8_t>(r.begin(), r.begin() + 12)));
  // Word addressed: three words on is twelve bytes on.
  auto first = Command(fw, 0x86, Z1Address(0x51000000));
  auto second = Command(fw, 0x86, Z1Address(0x51000003));
  auto block = fw.PeekMemory(0, 0x51000000, 24);
  EXPECT_TRUE(std::equal(first.begin(), first.begin() + 12, block.begin()));
  EXPECT_TRUE(std::equal(second.begin(), second.begin() + 12, block.begin() + 12));
  // A bad address CRC is refused with the retry NACK.
  auto bad = Z1Address(0x51000000);
  bad[5] ^= 1;
  EXPECT_EQ(Command(fw, 0x86, bad), (std::vector<uint8_t>{0x00, 0x40, 0x5A, 0x31}));
  // The response is read once; a second read finds nothing.
  EXPECT_TRUE(Response(fw).empty());
}

TEST(Z1Feature, ModeAndQueries) {
  Firmware fw(ConfigOf(DeviceType::Z2I2c, 1));
  EXPECT_EQ(Command(fw, 0x85, {0x21}), (std::vector<uint8_t>{0x00, 0x80, 0x5A, 0x31}));
  EXPECT_TRUE(fw.State().diagnostic);
  EXPECT_EQ(fw.State().frame, 1u);
  EXPECT_EQ(Response(fw, 0x82), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF}));
  EXPECT_EQ(Response(fw, 0x87), (std::vector<uint8_t>{0x00, 0x80, 0x5A, 0x31}));
  EXPECT_EQ(Response(fw, 0x04), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Response(fw, 0x89), WithCrc({0x00, 0x00, 0x00, 0x01}));
  EXPECT_EQ(fw.State().resets, 1);
  EXPECT_EQ(fw.State().recalibrations, 1);
}

TEST(Z1Feature, FirmwareUpdateAcknowledgesFramesInOrder) {
  Firmware fw(ConfigOf(DeviceType::Z2UsbBrg, 1));
  EXPECT_EQ(Command(fw, 0x83, WithCrc({0, 0, 0x30, 0, 0, 24})), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF}));
  std::vector<uint8_t> data(12, 0xA5);
  EXPECT_EQ(Command(fw, 0x84, WithCrc(data)), (std::vector<uint8_t>{0x00, 0x80, 0x00, 0x00}));
  // Not all bytes yet: the wait-ready query reports failure.
  EXPECT_EQ(Response(fw, 0x04), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF, 0xDE, 0xAD}));
  EXPECT_EQ(Command(fw, 0x84, WithCrc(data)), (std::vector<uint8_t>{0x00, 0x80, 0x00, 0x01}));
  EXPECT_EQ(Response(fw, 0x04), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(fw.State().update_address, 0x3000u);
  EXPECT_EQ(fw.State().update_length, 24u);
}

TEST(Z1Feature, MemoryAndPowerMode) {
  Firmware fw(ConfigOf(DeviceType::Z2UsbBrg, 1));
  // word2 = 1 writes word3; the answer is the word, little-endian, then its CRC.
  auto w = Command(fw, 0x88, WithCrc({0x20, 0, 0, 0x10, 0, 0, 0, 1, 0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(w, WithCrc({0x78, 0x56, 0x34, 0x12}));
  auto r = Command(fw, 0x88, WithCrc({0x20, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(r, w);
  EXPECT_EQ(Command(fw, 0x90, WithCrc({2})), WithCrc({2}));
  EXPECT_EQ(Command(fw, 0x90, WithCrc({0xFF})), WithCrc({2}));  // only asks
  EXPECT_EQ(fw.State().power_mode, 2);
}

TEST(Z1Feature, BridgeControlAndReporting) {
  Firmware fw(ConfigOf(DeviceType::Z2UsbBrg, 1));
  std::vector<uint8_t> pid(20, 0);
  pid = {0x09, 0xD9, 0x0C, 0x55, 0x0A, 'I', 0x34, 0x12};
  pid.resize(20);
  EXPECT_EQ(SetFeature(fw, pid), 0);
  EXPECT_EQ(fw.State().bridge_product, 0x1234);
  std::vector<uint8_t> reset = {0x09, 0xD9, 0x0C, 0x55, 0x0A, 'R'};
  reset.resize(20);
  EXPECT_EQ(SetFeature(fw, reset), 0);
  EXPECT_EQ(fw.State().bridge_resets, 1);
  std::vector<uint8_t> stop = {0x09, 0x54};
  stop.resize(20);
  EXPECT_EQ(SetFeature(fw, stop), 0);
  EXPECT_FALSE(fw.State().report_to_os);
  stop[1] = 0x56;
  EXPECT_EQ(SetFeature(fw, stop), 0);
  EXPECT_TRUE(fw.State().report_to_os);
  // Idle gets answer the I2C interface test.
  auto idle = GetFeature(fw);
  ASSERT_TRUE(idle);
  EXPECT_EQ((*idle)[1], 0xD4);
  EXPECT_EQ((*idle)[2], 0x10);
  EXPECT_EQ((*idle)[11], 0x5A);
}

TEST(Z1Feature, RefusesOverlongPayloadAndForeignReports) {
  Firmware fw(ConfigOf(DeviceType::Z2UsbBrg, 1));
  std::vector<uint8_t> r = FeatureWrite(0x86, Z1Address(0x50000000));
  r[4] = 15;
  EXPECT_EQ(SetFeature(fw, r), EINVAL);
  EXPECT_EQ(fw.State().commands, 0);
  EXPECT_FALSE(GetFeature(fw, 0x05));
}

TEST(Z1Feature, Ep1StreamsBufferedData) {
  Firmware fw(ConfigOf(DeviceType::UsbBrgEp1, 1));
  auto block = fw.PeekMemory(0, 0x50000000, 30);
  for (int part = 0; part < 2; ++part) {
    auto g = GetFeature(fw);
    ASSERT_TRUE(g);
    EXPECT_EQ((*g)[1], 0x55);
    EXPECT_EQ((*g)[2], 16);
    EXPECT_EQ((*g)[3], 15);
    EXPECT_TRUE(std::equal(g->begin() + 4, g->begin() + 19, block.begin() + 15 * part));
  }
}

}  // namespace
}  // namespace panelsim::test
