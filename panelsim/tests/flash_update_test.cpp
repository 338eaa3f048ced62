// The flash and the firmware update state machine, on every family: the image lands in
// flash byte for byte, out-of-order or stray frames are refused, faults spoil the result.
#include <gtest/gtest.h>

#include "firmware_helpers.h"
#include "packets.h"
#include "panelsim/flash.h"

namespace panelsim::test {
namespace {

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}

std::vector<uint8_t> Reversed(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out((data.size() + 3) / 4 * 4, 0);
  for (size_t i = 0; i < data.size(); ++i) out[(i / 4) * 4 + 3 - i % 4] = data[i];
  return out;
}

TEST(Flash, RegionsAreErasedAndBounded) {
  Flash f;
  EXPECT_EQ(f.Read(0x3000), 0xFF);
  EXPECT_EQ(f.Read(0x00100FFF), 0xFF);
  EXPECT_EQ(f.Read(0x00040000), 0x00);  // between regions
  EXPECT_TRUE(f.Contains(0x3FF00, 0x100));
  EXPECT_FALSE(f.Contains(0x3FF00, 0x101));  // runs past the end of main
  EXPECT_FALSE(f.Contains(0xFFFFFFF0u, 0x20));
  const uint8_t bytes[4] = {1, 2, 3, 4};
  EXPECT_EQ(f.Program(0x3FFFE, bytes, 4), 2u);  // what lies outside is dropped
  EXPECT_EQ(f.Read(0x3FFFF), 2);
  f.Erase(0x3FFFE, 8);
  EXPECT_EQ(f.Read(0x3FFFF), 0xFF);
}

TEST(Z1Update, FramesLandInFlashAndPaddingPastTheSegmentIsDropped) {
  Firmware fw(ConfigOf(DeviceType::Z2UsbBrg, 1));
  const auto image = Pattern(20, 3);
  ASSERT_EQ(Command(fw, 0x83, WithCrc({0, 0, 0x30, 0, 0, 20})), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF}));
  std::vector<uint8_t> first(image.begin(), image.begin() + 12);
  std::vector<uint8_t> second(image.begin() + 12, image.end());
  second.resize(12, 0x00);  // the host pads the last frame
  EXPECT_EQ(Command(fw, 0x84, WithCrc(first)), (std::vector<uint8_t>{0x00, 0x80, 0x00, 0x00}));
  EXPECT_EQ(Command(fw, 0x84, WithCrc(second)), (std::vector<uint8_t>{0x00, 0x80, 0x00, 0x01}));
  // A third frame has nowhere to go.
  EXPECT_EQ(Command(fw, 0x84, WithCrc(first)), (std::vector<uint8_t>{0x00, 0x40, 0xFF, 0xFF}));
  EXPECT_EQ(fw.PeekMemory(0, 0x3000, 20), image);
  EXPECT_EQ(fw.PeekMemory(0, 0x3014, 1), std::vector<uint8_t>{0xFF});
  EXPECT_EQ(Response(fw, 0x04), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(Z1Update, DataBeforeInformationAndSegmentsOutsideTheFlashAreRefused) {
  Firmware fw(ConfigOf(DeviceType::Z2UsbBrg, 1));
  EXPECT_EQ(Command(fw, 0x84, WithCrc(Pattern(12, 1))), (std::vector<uint8_t>{0x00, 0x40, 0xFF, 0xFF}));
  EXPECT_EQ(fw.PeekMemory(0, 0x3000, 1), std::vector<uint8_t>{0xFF});
  EXPECT_EQ(Command(fw, 0x83, WithCrc({0, 0x03, 0xFF, 0xF0, 0, 0x20})), (std::vector<uint8_t>{0x00, 0x40, 0x00, 0x00}));
  EXPECT_EQ(Command(fw, 0x83, WithCrc({0xFF, 0xFF, 0xFF, 0x00, 0, 0x20})),
            (std::vector<uint8_t>{0x00, 0x40, 0x00, 0x00}));
  // A refused segment changes nothing: no update was begun, none failed, and the next
  // update goes through.
  EXPECT_EQ(Response(fw, 0x04), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF}));
  Command(fw, 0x83, WithCrc({0xFF, 0xFF, 0xFF, 0x00, 0, 0x20}));
  ASSERT_EQ(Command(fw, 0x83, WithCrc({0, 0, 0x30, 0, 0, 12})),
            (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF}));
  Command(fw, 0x84, WithCrc(Pattern(12, 4)));
  EXPECT_EQ(Response(fw, 0x04), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF}));
}

// A host that lost the answer to an information announces the segment again; a host that
// gave up half-way begins again at the image's start. Neither is a failed update.
TEST(Z1Update, AnnouncingTheSegmentAgainOrStartingOverIsNotAFailure) {
  for (const bool lost_answer : {true, false}) {
    SCOPED_TRACE(lost_answer ? "segment again" : "start over");
    Firmware fw(ConfigOf(DeviceType::Z2UsbBrg, 1));
    Command(fw, 0x83, WithCrc({0, 0, 0x40, 0, 0, 24}));
    if (!lost_answer) Command(fw, 0x84, WithCrc(Pattern(12, 1)));  // abandoned after one frame
    const uint8_t start = lost_answer ? 0x40 : 0x30;
    Command(fw, 0x83, WithCrc({0, 0, start, 0, 0, 24}));
    Command(fw, 0x84, WithCrc(Pattern(12, 2)));
    Command(fw, 0x84, WithCrc(Pattern(12, 3)));
    EXPECT_EQ(Response(fw, 0x04), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(fw.State().update_bytes, 24u);
  }
}

TEST(Z1Update, ANackedFrameIsNotKeptAndNamesTheFrameAwaited) {
  Firmware fw(ConfigOf(DeviceType::Z2UsbBrg, 1));
  fw.faults().Add({FaultKind::Nack, 0x84, 1, 1});
  Command(fw, 0x83, WithCrc({0, 0, 0x30, 0, 0, 24}));
  const auto a = Pattern(12, 10), b = Pattern(12, 50);
  EXPECT_EQ(Command(fw, 0x84, WithCrc(a)), (std::vector<uint8_t>{0x00, 0x80, 0x00, 0x00}));
  EXPECT_EQ(Command(fw, 0x84, WithCrc(b)), (std::vector<uint8_t>{0x00, 0x40, 0x00, 0x01}));
  EXPECT_EQ(Command(fw, 0x84, WithCrc(b)), (std::vector<uint8_t>{0x00, 0x80, 0x00, 0x01}));
  auto flash = fw.PeekMemory(0, 0x3000, 24);
  EXPECT_EQ(std::vector<uint8_t>(flash.begin() + 12, flash.end()), b);
}

TEST(Z1Update, ASegmentLeftShortFailsTheUpdateAndANewOneStartsClean) {
  Firmware fw(ConfigOf(DeviceType::Z2UsbBrg, 1));
  Command(fw, 0x83, WithCrc({0, 0, 0x30, 0, 0, 24}));
  Command(fw, 0x84, WithCrc(Pattern(12, 1)));
  Command(fw, 0x83, WithCrc({0, 0, 0x40, 0, 0, 12}));  // the first had 12 of 24
  Command(fw, 0x84, WithCrc(Pattern(12, 2)));
  EXPECT_EQ(Response(fw, 0x04), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF, 0xDE, 0xAD}));
  // The report ended that update: the next information begins a new one.
  Command(fw, 0x83, WithCrc({0, 0, 0x30, 0, 0, 12}));
  Command(fw, 0x84, WithCrc(Pattern(12, 3)));
  EXPECT_EQ(Response(fw, 0x04), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(Z1Update, NeverReadyAndUpdateFailedFaults) {
  Firmware fw(ConfigOf(DeviceType::Z2UsbBrg, 1));
  fw.faults().Add({FaultKind::NeverReady});
  EXPECT_TRUE(Response(fw, 0x04).empty());
  fw.faults().Clear();
  fw.faults().Add({FaultKind::UpdateFailed, -1});
  EXPECT_EQ(Command(fw, 0x85, {0x21}), (std::vector<uint8_t>{0x00, 0x80, 0x5A, 0x31}));  // untouched
  EXPECT_EQ(Response(fw, 0x04), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF, 0xDE, 0xAD}));
  EXPECT_EQ(Response(fw, 0x04), (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(Z2Update, ReversedWordsAreUndoneIntoFlash) {
  Firmware fw(ConfigOf(DeviceType::Z2Usb));
  SendOutput(fw, {0x09, '-', 16, 0, 0x00, 0x40, 0, 0});
  const auto data = Pattern(16, 9);
  const auto r = Reversed(data);
  std::vector<uint8_t> report{0x09, '<', 16, r[15]};
  report.insert(report.end(), r.begin(), r.begin() + 15);
  SendOutput(fw, report);
  EXPECT_EQ(fw.PeekMemory(0, 0x4000, 16), data);
  SendOutput(fw, {0x09, 'K'});
  auto ok = Ask(fw, {0x09, 'K', 'Z'});
  ASSERT_TRUE(ok);
  EXPECT_EQ((*ok)[2], 0xBE);
  // A frame past the segment fails the update.
  SendOutput(fw, {0x09, '-', 16, 0, 0x00, 0x40, 0, 0});
  SendOutput(fw, report);
  SendOutput(fw, report);
  auto fail = Ask(fw, {0x09, 'K', 'Z'});
  ASSERT_TRUE(fail);
  EXPECT_EQ((*fail)[2], 0xDE);
  EXPECT_EQ((*fail)[3], 0xAD);
}

TEST(Z2Update, NeverReadyGivesNeitherResult) {
  Firmware fw(ConfigOf(DeviceType::Z2Usb));
  fw.faults().Add({FaultKind::NeverReady});
  auto a = Ask(fw, {0x09, 'K', 'Z'});
  ASSERT_TRUE(a);
  EXPECT_EQ((*a)[2], 0);
  EXPECT_EQ((*a)[3], 0);
}

TEST(Z3Update, FramesOnEachCarrierAndTheBlockCrcOverFlash) {
  for (DeviceType type : {DeviceType::Z3Usb, DeviceType::Z3HidOverI2c}) {
    SCOPED_TRACE(DeviceTypeName(type));
    const bool i2c = type == DeviceType::Z3HidOverI2c;
    auto packet = [&](uint8_t cmd, const std::vector<uint8_t>& p) { return i2c ? I2cPacket(cmd, p) : Z3Packet(cmd, p); };
    Firmware fw(ConfigOf(type, 1));
    const auto image = Pattern(60, 4);
    auto info = Ask(fw, packet(0x83, {0x00, 0x30, 0, 0, 60, 0}));
    ASSERT_TRUE(info);
    const std::vector<uint8_t> a(image.begin(), image.begin() + 52), b(image.begin() + 52, image.end());
    for (const auto& frame : {a, b}) ASSERT_TRUE(Ask(fw, packet(0x84, Reversed(frame))));
    EXPECT_EQ(fw.PeekMemory(0, 0x3000, 60), image);
    std::vector<uint8_t> q = Le32(0x3000);
    q.insert(q.end(), {60, 0, 0, 0});
    auto c = Ask(fw, packet(0x91, q));
    ASSERT_TRUE(c);
    const uint16_t crc = Crc16(image.data(), image.size());
    const size_t at = i2c ? 4 : 6;
    EXPECT_EQ(((*c)[at] << 8) | (*c)[at + 1], crc);
  }
}

TEST(Z3Update, StrayFramesAndNacksAreRefusedAndFinishReportsTheResult) {
  Firmware fw(ConfigOf(DeviceType::Z3Usb, 1));
  auto stray = Ask(fw, Z3Packet(0x84, Pattern(52, 1)));
  ASSERT_TRUE(stray);
  EXPECT_EQ((*stray)[4], 0xAD);
  EXPECT_EQ((*Ask(fw, Z3Packet(0x83, {0x00, 0x30, 0, 0, 52, 0})))[4], 0xEF);
  fw.faults().Add({FaultKind::Nack, 0x84, 0, 1});
  EXPECT_EQ((*Ask(fw, Z3Packet(0x84, Reversed(Pattern(52, 2)))))[4], 0xAD);
  EXPECT_EQ(fw.PeekMemory(0, 0x3000, 1), std::vector<uint8_t>{0xFF});
  auto ok = Ask(fw, Z3Packet(0x84, Reversed(Pattern(52, 2))));
  ASSERT_TRUE(ok);
  EXPECT_EQ((*ok)[6], 0);  // still frame 0
  EXPECT_EQ(fw.PeekMemory(0, 0x3000, 52), Pattern(52, 2));
  auto result = Ask(fw, Z3Packet(0x81, {}));
  ASSERT_TRUE(result);
  EXPECT_EQ((*result)[4], 0xEF);
  fw.faults().Add({FaultKind::NeverReady});
  EXPECT_TRUE(SendOutput(fw, Z3Packet(0x81, {})).answers.empty());
}

TEST(Z3Update, ThroughTheTunnelTheSlavesFlashIsWritten) {
  Firmware fw(ConfigOf(DeviceType::Z3Usb, 2));
  ASSERT_TRUE(Ask(fw, TunnelPacket(5, 0x83, {0x00, 0x30, 0, 0, 8, 0})));
  const auto data = Pattern(8, 77);
  auto a = Ask(fw, TunnelPacket(5, 0x84, Reversed(data)));
  ASSERT_TRUE(a);
  EXPECT_EQ((*a)[8], 0xEF);
  EXPECT_EQ(fw.PeekMemory(1, 0x3000, 8), data);
  EXPECT_EQ(fw.PeekMemory(0, 0x3000, 1), std::vector<uint8_t>{0xFF});
  fw.faults().Add({FaultKind::UpdateFailed, 0x81});
  auto result = Ask(fw, TunnelPacket(5, 0x81, {}));
  ASSERT_TRUE(result);
  EXPECT_EQ((*result)[8], 0xAD);
}

}  // namespace
}  // namespace panelsim::test
