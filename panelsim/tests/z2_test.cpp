// Z2 letter commands and the Z6 slave tunnel at the byte level.
#include <gtest/gtest.h>

#include "firmware_helpers.h"
#include "packets.h"

namespace panelsim::test {
namespace {

std::vector<uint8_t> Letter(uint8_t code, std::vector<uint8_t> args = {}) {
  std::vector<uint8_t> r(19, 0);
  r[0] = 0x09;
  r[1] = code;
  for (size_t i = 0; i < args.size() && i + 2 < 19; ++i) r[2 + i] = args[i];
  return r;
}

TEST(Z2Letters, MemoryReadPutsByteFifteenFirst) {
  Firmware fw(ConfigOf(DeviceType::Z2Usb));
  auto a = Ask(fw, Letter(0x1E, {0, 0, 0x00, 0x00, 0x00, 0x51}));
  ASSERT_TRUE(a);
  ASSERT_EQ(a->size(), 19u);
  EXPECT_EQ((*a)[0], 0x0A);
  EXPECT_EQ((*a)[2], 16);
  auto mem = fw.PeekMemory(0, 0x51000000, 16);
  EXPECT_EQ((*a)[3], mem[15]);
  EXPECT_TRUE(std::equal(mem.begin(), mem.begin() + 15, a->begin() + 4));
}

TEST(Z2Letters, SilentCommandsChangeState) {
  Firmware fw(ConfigOf(DeviceType::Z2Usb));
  EXPECT_TRUE(SendOutput(fw, Letter('x', {0x21})).answers.empty());
  EXPECT_TRUE(fw.State().diagnostic);
  EXPECT_TRUE(SendOutput(fw, Letter('Z', {'0'})).answers.empty());
  EXPECT_FALSE(fw.State().report_to_os);
  SendOutput(fw, Letter('Z', {'1'}));
  EXPECT_TRUE(fw.State().report_to_os);
  SendOutput(fw, Letter('i'));
  SendOutput(fw, Letter('i', {0xCA}));
  EXPECT_EQ(fw.State().resets, 1);
  EXPECT_EQ(fw.State().recalibrations, 1);
}

TEST(Z2Letters, UpdateThenWaitReady) {
  Firmware fw(ConfigOf(DeviceType::Z2Usb));
  EXPECT_TRUE(SendOutput(fw, Letter('-', {32, 0, 0, 0x40, 0, 0})).answers.empty());
  EXPECT_EQ(fw.State().update_length, 32u);
  EXPECT_EQ(fw.State().update_address, 0x4000u);
  SendOutput(fw, Letter('<', {16}));
  auto fail = Ask(fw, Letter('K', {'Z'}));
  ASSERT_TRUE(fail);
  EXPECT_EQ((*fail)[2], 0xDE);
  EXPECT_EQ((*fail)[3], 0xAD);
  SendOutput(fw, Letter('<', {16}));
  EXPECT_TRUE(SendOutput(fw, Letter('K')).answers.empty());  // finish
  auto ok = Ask(fw, Letter('K', {'Z'}));
  ASSERT_TRUE(ok);
  EXPECT_EQ((*ok)[2], 0xBE);
  EXPECT_EQ((*ok)[3], 0xEF);
}

TEST(Z2Letters, MemoryAccessAnswersTheWord) {
  Firmware fw(ConfigOf(DeviceType::Z2Usb));
  auto a = Ask(fw, Letter('-', {0, 0, 0x00, 0x10, 0, 0x20, 1, 0, 0, 0, 0xEF, 0xBE, 0xAD, 0xDE}));
  ASSERT_TRUE(a);
  EXPECT_EQ((*a)[4], 0xEF);
  EXPECT_EQ((*a)[7], 0xDE);
}

TEST(Z6Tunnel, SlaveReadThroughWriteAndReadRequest) {
  Firmware fw(ConfigOf(DeviceType::Z2Usb, 3));
  std::vector<uint8_t> write = Letter(0xF0, {6, 0x86, 6});
  auto payload = Z1Address(0xA000C024);
  std::copy(payload.begin(), payload.end(), write.begin() + 5);
  EXPECT_TRUE(SendOutput(fw, write).answers.empty());
  auto a = Ask(fw, Letter(0x0F, {6, 0x00}));
  ASSERT_TRUE(a);
  EXPECT_EQ((*a)[1], 0x0F);
  EXPECT_EQ((*a)[2], 14);
  EXPECT_EQ((*a)[3 + 3], 6);  // status byte of slave 2: its chip index
  uint16_t crc = Crc16(a->data() + 3, 12);
  EXPECT_EQ((*a)[15], crc >> 8);
  EXPECT_EQ((*a)[16], crc & 0xFF);
  // A query through the tunnel, and a slave that does not exist.
  auto reset = Ask(fw, Letter(0x0F, {5, 0x82}));
  ASSERT_TRUE(reset);
  EXPECT_EQ((*reset)[2], 4);
  auto none = Ask(fw, Letter(0x0F, {9, 0x82}));
  ASSERT_TRUE(none);
  EXPECT_EQ((*none)[2], 0);
}

}  // namespace
}  // namespace panelsim::test
