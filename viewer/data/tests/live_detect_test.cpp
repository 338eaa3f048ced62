// Chip detection, chip order and the retrying device read of the live model, against a
// scripted cascade.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "data/live_model.h"
#include "scripted_device.h"

namespace pelorin {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::FakeChip;
using testing::ScriptedDevice;

FakeChip Chip(uint8_t index, uint8_t position, uint8_t drive = 4, uint8_t sense = 3) {
  FakeChip chip;
  chip.index = index;
  chip.position = position;
  chip.drive = drive;
  chip.sense = sense;
  return chip;
}

std::vector<int32_t> Indexes(const ChipSet& set) {
  std::vector<int32_t> out;
  for (const ChipInfo& c : set.chips) out.push_back(c.chipIndex);
  return out;
}

TEST(LiveDetect, MasterWithSlavesReadsEveryChipAndSortsByPosition) {
  ScriptedDevice dev;
  dev.cascadeStatus = 1;
  dev.chips = {Chip(1, 2, 20, 30), Chip(5, 0), Chip(6, 1)};
  dev.chips[1].lead = 2;
  dev.chips[1].tail = 1;
  dev.chips[1].overlapIncluded = 1;
  InstantModel model(dev.Io());
  ASSERT_TRUE(model.DetectChips());
  EXPECT_EQ(model.GetCascadeMode(), kCascadeMasterWithSlaves);
  EXPECT_EQ(model.GetDetectedSet().slaveCount, 2);
  // Detection ends on the master: the frame cycle's raw mode and ready poll are its.
  EXPECT_THAT(dev.chipIndexCalls, ElementsAre(1, 5, 6, 0));
  const ChipInfo& master = model.GetDetectedSet().chips[0];
  EXPECT_EQ(master.driveCount, 20);
  EXPECT_EQ(master.senseCount, 30);
  const ChipInfo& slave = model.GetDetectedSet().chips[1];
  EXPECT_EQ(slave.leadOverlap, 2);
  EXPECT_EQ(slave.tailOverlap, 1);
  EXPECT_EQ(slave.overlapIncluded, 1);

  ASSERT_TRUE(model.SetChipOrder(""));
  EXPECT_THAT(Indexes(model.GetDetectedSet()), ElementsAre(5, 6, 1));
}

TEST(LiveDetect, SlavesOnlySkipsTheMasterAndSingleChipChoosesNone) {
  ScriptedDevice slaves;
  slaves.cascadeStatus = 11;
  slaves.chips = {Chip(5, 0), Chip(6, 1)};
  InstantModel a(slaves.Io());
  ASSERT_TRUE(a.DetectChips());
  EXPECT_EQ(a.GetCascadeMode(), kCascadeSlavesOnly);
  EXPECT_THAT(slaves.chipIndexCalls, ElementsAre(5, 6, 0));
  a.SetAutoOrder(false);
  ASSERT_TRUE(a.SetChipOrder("21"));
  EXPECT_THAT(Indexes(a.GetDetectedSet()), ElementsAre(6, 5));

  ScriptedDevice single;
  single.chips = {Chip(0, 0)};
  InstantModel b(single.Io());
  ASSERT_TRUE(b.DetectChips());
  EXPECT_EQ(b.GetCascadeMode(), kCascadeSingleChip);
  EXPECT_TRUE(b.GetDetectedSet().singleChip);
  EXPECT_TRUE(single.chipIndexCalls.empty());
  b.SetAutoOrder(false);
  EXPECT_FALSE(b.SetChipOrder("1"));  // a single chip has no order to choose
}

TEST(LiveDetect, RefusesUnknownStatusFailedReadsAndTooManySlaves) {
  ScriptedDevice dev;
  dev.cascadeStatus = 3;
  dev.chips = {Chip(1, 0), Chip(5, 1)};
  EXPECT_FALSE(InstantModel(dev.Io()).DetectChips());

  dev.cascadeStatus = 1;
  dev.failNext = 3;  // the status read fails: status unknown
  EXPECT_FALSE(InstantModel(dev.Io()).DetectChips());
  dev.failNext = 0;

  dev.chips.clear();
  for (uint8_t i = 0; i < 9; ++i) dev.chips.push_back(Chip(i == 0 ? 1 : i + 4, i));
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(InstantModel(dev.Io()).DetectChips());
  EXPECT_THAT(::testing::internal::GetCapturedStdout(), HasSubstr("8 slaves"));
}

// A connection that reaches the master only (the master answers in every slave's place)
// must not give the master's lines as every slave's.
TEST(LiveDetect, SlavesOutOfReachLeaveTheMasterAloneOrFail) {
  struct Case {
    const char* name;
    uint8_t cascadeStatus;
    std::vector<FakeChip> chips;
    bool detected;
    size_t chipCount;
  };
  const std::vector<Case> cases = {
      {"master with two slaves", 1, {Chip(1, 0, 6, 5), Chip(5, 1), Chip(6, 2)}, true, 1},
      // The master, chosen in the slaves' place, has no lines of its own.
      {"slaves only", 11, {Chip(1, 0, 0, 0), Chip(5, 1), Chip(6, 2)}, false, 0},
  };
  for (const Case& c : cases) {
    ScriptedDevice dev;
    dev.cascadeStatus = c.cascadeStatus;
    dev.chips = c.chips;
    dev.masterOnly = true;
    InstantModel model(dev.Io());
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(model.DetectChips(), c.detected) << c.name;
    EXPECT_THAT(::testing::internal::GetCapturedStdout(), HasSubstr("reaches the master only"))
        << c.name;
    EXPECT_EQ(model.GetDetectedSet().chips.size(), c.chipCount) << c.name;
    EXPECT_EQ(dev.chipIndexCalls.back(), 0) << c.name;
    if (!c.detected) continue;
    EXPECT_EQ(model.GetCascadeMode(), kCascadeSingleChip) << c.name;
    EXPECT_EQ(model.GetDetectedSet().slaveCount, 0) << c.name;
    ASSERT_TRUE(model.SetChipOrder("")) << c.name;
    ASSERT_TRUE(model.PrepareFrameBuffers()) << c.name;
    EXPECT_EQ(model.Width(), 6) << c.name;
    EXPECT_EQ(model.Height(), 5) << c.name;
  }
}

TEST(LiveOrder, OrderTextNamesChipsByDigit) {
  ScriptedDevice dev;
  dev.cascadeStatus = 1;
  dev.chips = {Chip(1, 0), Chip(5, 1)};
  InstantModel model(dev.Io());
  ASSERT_TRUE(model.DetectChips());
  model.SetAutoOrder(false);
  for (const char* bad : {"", "1", "11", "13", "2a", "123"}) {
    EXPECT_FALSE(model.SetChipOrder(bad)) << bad;
    EXPECT_THAT(Indexes(model.GetDetectedSet()), ElementsAre(1, 5)) << bad;
  }
  ASSERT_TRUE(model.SetChipOrder("21"));
  EXPECT_THAT(Indexes(model.GetDetectedSet()), ElementsAre(5, 1));
}

TEST(LiveOrder, TwoChipsAtOnePositionGiveThePanelBack) {
  ScriptedDevice dev;
  dev.cascadeStatus = 1;
  dev.chips = {Chip(1, 3), Chip(5, 3)};
  InstantModel model(dev.Io());
  model.SetDevice(7);
  ASSERT_TRUE(model.DetectChips());
  EXPECT_FALSE(model.SetChipOrder(""));
  ASSERT_EQ(dev.reportToOsCalls.size(), 1u);
  EXPECT_TRUE(dev.reportToOsCalls[0].first);    // enable: back to touch reporting
  EXPECT_FALSE(dev.reportToOsCalls[0].second);  // with confirmation
}

TEST(LiveOrder, CopyChipSetTakesTheWholeSet) {
  ScriptedDevice dev;
  dev.chips = {Chip(0, 0, 6, 5)};
  InstantModel first(dev.Io());
  ASSERT_TRUE(first.DetectChips());
  InstantModel second(dev.Io());
  ASSERT_TRUE(second.CopyChipSet(first.GetDetectedSet()));
  EXPECT_EQ(second.GetDetectedSet().chips, first.GetDetectedSet().chips);
  EXPECT_EQ(second.GetCascadeMode(), kCascadeSingleChip);
  ASSERT_TRUE(second.PrepareFrameBuffers());
  EXPECT_EQ(second.Width(), 6);
  EXPECT_EQ(second.Height(), 5);
}

class ReadWithRetryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeChip chip = Chip(0, 0, 4, 8);
    chip.blocks[0x52000000] = testing::MakeBlock(4, 8, [](int r, int k) { return r * 8 + k; });
    dev.chips = {chip};
    dev.Io().SetChipIndex(0);
  }
  ScriptedDevice dev;
  std::vector<uint8_t> buffer = std::vector<uint8_t>(32, 0xFF);
  uint32_t got = 0;
};

TEST_F(ReadWithRetryTest, ShortReplyPrintsTheMessageAndStillUsesTheBytes) {
  dev.replyBytes = 6;
  InstantModel model(dev.Io());
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(model.ReadWithRetry(0, buffer, 0x52000000, 12, got), 0);
  EXPECT_THAT(::testing::internal::GetCapturedStdout(),
              HasSubstr("The byte number of data isn't a multiple of 4.\n"));
  EXPECT_EQ(got, 12u);
  // Six bytes advance the word address by one word: the second reply starts at byte 4.
  EXPECT_THAT(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 12),
              ElementsAre(0, 1, 2, 3, 4, 5, 4, 5, 6, 7, 8, 9));
  EXPECT_EQ(buffer[12], 0xFF);
}

TEST_F(ReadWithRetryTest, FailedAttemptsAreCountedAndReported) {
  InstantModel model(dev.Io());
  dev.failNext = 2;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(model.ReadWithRetry(0, buffer, 0x52000000, 32, got), 2);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_THAT(out, HasSubstr("Read 52000000 Error(1)..., Retry!!!\n"));
  EXPECT_THAT(out, HasSubstr("Read 52000000 Error(2)..., Retry!!!\n"));
  EXPECT_EQ(got, 32u);
  EXPECT_EQ(buffer[31], 3 * 8 + 7);

  dev.failNext = 3;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(model.ReadWithRetry(0, buffer, 0x52000000, 32, got), 3);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(got, 0u);
}

TEST_F(ReadWithRetryTest, EmptySuccessfulRepliesEndTheReadInsteadOfLoopingForever) {
  InstantModel model(dev.Io());
  dev.zeroNext = 100;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(model.ReadWithRetry(0, buffer, 0x52000000, 32, got), 3);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(dev.readAddresses.size(), 3u);
}

}  // namespace
}  // namespace pelorin
