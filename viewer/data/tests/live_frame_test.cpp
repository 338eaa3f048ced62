// Layout (hidden lines, mask) and frame assembly of the live model against a scripted
// cascade.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "data/live_model.h"
#include "scripted_device.h"

namespace pelorin {
namespace {

using ::testing::ElementsAre;
using testing::FakeChip;
using testing::MakeBlock;
using testing::ScriptedDevice;

// Cell value of chip number n (0, 1, ...) at drive r, sense k, below 256 for small chips.
int Value(int n, int r, int k) { return n * 64 + r * 8 + k; }

FakeChip Chip(int n, uint8_t index, uint8_t drive, uint8_t sense) {
  FakeChip chip;
  chip.index = index;
  chip.position = static_cast<uint8_t>(n);
  chip.drive = drive;
  chip.sense = sense;
  for (uint32_t region : {0x51000000u, 0x52000000u, 0x53000000u}) {
    chip.blocks[region] = MakeBlock(drive, sense, [n](int r, int k) { return Value(n, r, k); }, 0xEE);
  }
  return chip;
}

class LiveFrameTest : public ::testing::Test {
 protected:
  // A master and one slave, 4 drive lines and 3 sense lines each: a 4 x 6 frame.
  void TwoChips() {
    dev.cascadeStatus = 1;
    dev.chips = {Chip(0, 1, 4, 3), Chip(1, 5, 4, 3)};
  }
  void OneChip(uint8_t drive, uint8_t sense) { dev.chips = {Chip(0, 0, drive, sense)}; }

  bool Start(int32_t type = kSourceRawData) {
    dev.Deselect();
    model = std::make_unique<InstantModel>(dev.Io());
    model->SetSourceType(type);
    model->SetReadAddress(SourceReadAddress(type));
    configure(*model);
    return model->DetectChips() && model->SetChipOrder("") && model->PrepareFrameBuffers();
  }
  std::shared_ptr<const LiveFrame> Read() {
    if (!model->ReadFrame()) return nullptr;
    return model->CurrentFrame();
  }
  // Column y of frame row x as a list.
  static std::vector<int32_t> Row(const LiveFrame& f, int32_t x) {
    return {f.cells.begin() + x * f.height, f.cells.begin() + (x + 1) * f.height};
  }

  ScriptedDevice dev;
  std::unique_ptr<InstantModel> model;
  std::function<void(InstantModel&)> configure = [](InstantModel&) {};
};

TEST_F(LiveFrameTest, JoinsChipsInOrderWithStatistics) {
  TwoChips();
  ASSERT_TRUE(Start());
  auto f = Read();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->width, 4);
  EXPECT_EQ(f->height, 6);
  EXPECT_THAT(Row(*f, 2), ElementsAre(16, 17, 18, 80, 81, 82));
  EXPECT_EQ(f->max, Value(1, 3, 2));
  EXPECT_EQ(f->min, 0);
  EXPECT_EQ(f->number, 1);
  EXPECT_EQ(f->average, f->sum / 24);
  EXPECT_THAT(dev.chipIndexCalls, ElementsAre(1, 5, 0, 1, 5));  // detection, then the frame
  EXPECT_EQ(model->GetFrameCounter(), 1);
}

TEST_F(LiveFrameTest, ReverseFlipsEachChipsLinesAndTurnOverFlipsDriveLines) {
  TwoChips();
  ASSERT_TRUE(Start());
  model->SetReverse(true);
  auto f = Read();
  EXPECT_THAT(Row(*f, 0), ElementsAre(2, 1, 0, 66, 65, 64));
  model->SetReverse(false);
  model->SetTurnOver(true);
  f = Read();
  EXPECT_THAT(Row(*f, 0), ElementsAre(24, 25, 26, 88, 89, 90));
  EXPECT_THAT(Row(*f, 3), ElementsAre(0, 1, 2, 64, 65, 66));
}

TEST_F(LiveFrameTest, ThirtySenseLinesAreReadAsRowsOfThirtyTwoBytes) {
  OneChip(20, 30);
  ASSERT_TRUE(Start());
  auto f = Read();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->height, 30);
  EXPECT_EQ(std::count(f->cells.begin(), f->cells.end(), 0xEE), 0);  // padding dropped
  EXPECT_EQ(f->Cell(19, 29), static_cast<uint8_t>(Value(0, 19, 29)));
  // 640 bytes in replies of 52: 13 reads, word addresses advancing by 13.
  std::vector<uint32_t> reads;
  for (uint32_t a : dev.readAddresses) if ((a & 0xFF000000u) == 0x52000000u) reads.push_back(a);
  ASSERT_EQ(reads.size(), 13u);
  EXPECT_EQ(reads.back(), 0x52000000u + 12 * 13);
}

TEST_F(LiveFrameTest, RawDiffIsBaseMinusRawAndReadErrorsAreOnePerFrame) {
  OneChip(1, 4);
  dev.chips[0].blocks[0x52000000] = {200, 0, 255, 7};
  dev.chips[0].blocks[0x51000000] = {190, 255, 0, 7};
  ASSERT_TRUE(Start(kSourceRawDiff));
  ::testing::internal::CaptureStdout();
  dev.failNext = 1;
  auto f = Read();
  ASSERT_TRUE(f);
  EXPECT_THAT(Row(*f, 0), ElementsAre(-10, 255, -255, 0));
  dev.failNext = 2;
  ASSERT_TRUE(Read());
  ASSERT_TRUE(Read());
  dev.failNext = 3;  // this frame fails: no count, no frame number
  EXPECT_FALSE(model->ReadFrame());
  ::testing::internal::GetCapturedStdout();
  EXPECT_THAT(model->ReadErrors(), ElementsAre(1, 2, 0));
  EXPECT_EQ(model->GetFrameCounter(), 3);
  EXPECT_EQ(model->CurrentFrame()->number, 3);
}

TEST_F(LiveFrameTest, TheReadErrorListStaysBoundedOverALongRun) {
  OneChip(1, 4);
  ASSERT_TRUE(Start());
  const size_t history = InstantModel::kReadErrorHistory;
  for (size_t n = 0; n < 3 * history; ++n) ASSERT_TRUE(model->ReadFrame());
  EXPECT_GE(model->ReadErrors().size(), history);
  EXPECT_LT(model->ReadErrors().size(), 2 * history);
  // The newest frame's count is still the last one.
  ::testing::internal::CaptureStdout();
  dev.failNext = 2;
  ASSERT_TRUE(model->ReadFrame());
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(model->ReadErrors().back(), 2);
  EXPECT_EQ(model->CurrentFrame()->readErrors, 2);
}

TEST_F(LiveFrameTest, ReadErrorsOfAFrameAddUpOverItsChips) {
  TwoChips();
  ASSERT_TRUE(Start());
  ::testing::internal::CaptureStdout();
  dev.failChip = {{1, 1}, {5, 2}};
  ASSERT_TRUE(model->ReadFrame());
  ASSERT_TRUE(model->ReadFrame());
  ::testing::internal::GetCapturedStdout();
  EXPECT_THAT(model->ReadErrors(), ElementsAre(3, 0));
  EXPECT_EQ(model->CurrentFrame()->readErrors, 0);
}

TEST_F(LiveFrameTest, HideDriveListTakesOnlyPlainNumbers) {
  OneChip(20, 3);
  configure = [](InstantModel& m) {
    m.SetHideOn(true);
    m.SetHideDriveList("2,5");
  };
  ASSERT_TRUE(Start());
  EXPECT_EQ(model->Width(), 18);
  auto f = Read();
  EXPECT_EQ(f->Cell(1, 0), Value(0, 2, 0));  // line 2 (index 1) is gone
  EXPECT_EQ(f->Cell(3, 0), Value(0, 5, 0));  // and line 5 (index 4)

  configure = [](InstantModel& m) {
    m.SetHideOn(true);
    m.SetHideDriveList("2, 5,40");
  };
  ASSERT_TRUE(Start());
  EXPECT_EQ(model->Width(), 19);  // " 5" is no number; 40 is beyond the chip
}

struct SenseCase {
  const char* chip;
  const char* list;
  bool show;
  std::vector<int32_t> row0;
};

TEST_F(LiveFrameTest, HideSenseListsInEveryMode) {
  const std::vector<SenseCase> cases = {
      {"LAST", "1,3", false, {0, 1, 2, 65}},
      {"LAST", "9", false, {0, 1, 2, 64, 65, 66}},  // beyond the chip: ignored
      {"ALL", "2,4", false, {0, 2, 65, 66}},
      {"ALL", "2,4", true, {1, 64}},                // only the listed lines remain
      {"ALL", "2,7", true, {1}},                    // 7 is beyond the panel
      {"S0", "1", false, {0, 1, 2, 65, 66}},        // slave 1
      {"S1", "1", false, {0, 1, 2, 65, 66}},
      {"MASTER", "1", false, {1, 2, 64, 65, 66}},
      {"whatever", "3", false, {0, 1, 64, 65, 66}},  // names the master
      {"S2", "1", false, {0, 1, 2, 64, 65, 66}},    // no such chip
      {"LAST", "2", true, {65}},                    // listed lines shown, not hidden
  };
  TwoChips();
  for (const SenseCase& c : cases) {
    configure = [&](InstantModel& m) {
      m.SetHideOn(true);
      m.SetHideShow(c.show);
      m.SetHideChip(c.chip);
      m.SetHideSenseList(c.list);
    };
    ASSERT_TRUE(Start()) << c.chip << " " << c.list;
    auto f = Read();
    ASSERT_TRUE(f);
    EXPECT_EQ(Row(*f, 0), c.row0) << c.chip << " " << c.list << " show " << c.show;
    EXPECT_EQ(model->Height(), static_cast<int32_t>(c.row0.size()));
  }
}

TEST_F(LiveFrameTest, DiffOverlapLinesIncludedAndHidden) {
  dev.cascadeStatus = 1;
  // Each chip has 4 own lines; the master's block ends with 2 overlap lines, the slave's
  // starts with 2.
  dev.chips = {Chip(0, 1, 2, 6), Chip(1, 5, 2, 6)};
  dev.chips[0].sense = 4;
  dev.chips[0].tail = 2;
  dev.chips[1].sense = 4;
  dev.chips[1].lead = 2;
  for (FakeChip& c : dev.chips) c.overlapIncluded = 1;
  ASSERT_TRUE(Start(kSourceDiff));
  EXPECT_EQ(model->Height(), 12);
  EXPECT_EQ(model->MaxBlockBytes(), 2u * 8u);

  configure = [](InstantModel& m) { m.SetHideOverlap(true); };
  ASSERT_TRUE(Start(kSourceDiff));
  auto f = Read();
  EXPECT_THAT(Row(*f, 0), ElementsAre(0, 1, 2, 3, 66, 67, 68, 69));

  // In LAST mode the numbers skip the lead overlap: 1 is the slave's first own line.
  configure = [](InstantModel& m) {
    m.SetHideOverlap(true);
    m.SetHideOn(true);
    m.SetHideChip("LAST");
    m.SetHideSenseList("1");
  };
  ASSERT_TRUE(Start(kSourceDiff));
  EXPECT_THAT(Row(*Read(), 0), ElementsAre(0, 1, 2, 3, 67, 68, 69));

  // A chip read alone still sends its overlap lines.
  configure = [](InstantModel& m) { m.SetSelectedChip(5); };
  ASSERT_TRUE(Start(kSourceDiff));
  EXPECT_THAT(Row(*Read(), 1), ElementsAre(72, 73, 74, 75, 76, 77));

  // Overlap lines are Diff data only: a Raw Data frame has the chips' own lines.
  configure = [](InstantModel&) {};
  ASSERT_TRUE(Start(kSourceRawData));
  EXPECT_EQ(model->Height(), 8);
}

TEST_F(LiveFrameTest, MaskListsAndPoints) {
  TwoChips();
  configure = [](InstantModel& m) {
    m.SetMaskOn(true);
    m.SetMaskDriveList("1,9");
    m.SetMaskSenseList("5");
    m.SetMaskPoints("0,0;3,4;9,9;2");
  };
  ASSERT_TRUE(Start());
  auto f = Read();
  std::vector<int> masked;
  for (int x = 0; x < 4; ++x)
    for (int y = 0; y < 6; ++y)
      if (!f->Valid(x, y)) masked.push_back(x * 10 + y);
  EXPECT_THAT(masked, ElementsAre(0, 5, 10, 11, 12, 13, 14, 15, 25, 34, 35));

  configure = [](InstantModel& m) {
    m.SetMaskOn(true);
    m.SetMaskShow(true);
    m.SetMaskPoints("1,2");
  };
  ASSERT_TRUE(Start());
  f = Read();
  EXPECT_EQ(std::count(f->mask.begin(), f->mask.end(), 1), 1);
  EXPECT_EQ(f->Valid(1, 2), 1);
}

TEST_F(LiveFrameTest, RefusesContradictorySwitchesAndEmptyFrames) {
  TwoChips();
  configure = [](InstantModel& m) { m.SetMaskShow(true); };
  EXPECT_FALSE(Start());
  configure = [](InstantModel& m) { m.SetHideShow(true); };
  EXPECT_FALSE(Start());
  configure = [](InstantModel& m) {  // every line hidden
    m.SetHideOn(true);
    m.SetHideShow(true);
    m.SetHideChip("ALL");
  };
  EXPECT_FALSE(Start());
  configure = [](InstantModel&) {};
  dev.chips[1].sense = 0;  // a chip without sense lines
  EXPECT_FALSE(Start());
  dev.chips[1].sense = 3;
  configure = [](InstantModel& m) { m.SetSelectedChip(6); };  // no such chip
  EXPECT_FALSE(Start());
  configure = [](InstantModel& m) { m.SetSelectedChip(5); };
  ASSERT_TRUE(Start());
  EXPECT_THAT(Row(*Read(), 0), ElementsAre(64, 65, 66));
}

TEST_F(LiveFrameTest, FilterRunsOnDiffAfterTheStatisticsAndFollowsTheFrameSize) {
  OneChip(2, 2);
  dev.chips[0].blocks[0x53000000] = {1, 2, 0, 0, 3, 4, 0, 0};
  configure = [](InstantModel& m) {
    m.SetHideOn(true);
    m.SetHideDriveList("2");
  };
  ASSERT_TRUE(Start(kSourceDiff));
  EXPECT_EQ(model->WorkRows(), 3);
  // A larger layout on the same model must not run over the old, smaller buffer.
  configure(*model);
  model->SetHideDriveList("");
  ASSERT_TRUE(model->PrepareFrameBuffers());
  EXPECT_EQ(model->WorkRows(), 4);
  EXPECT_EQ(model->WorkColumns(), 4);
  for (auto& row : model->Kernel()) row = {1, 1, 1};
  model->SetFilterThreshold(1);
  model->SetFilterEnabled(true);
  auto f = Read();
  EXPECT_THAT(f->cells, ElementsAre(1, 10, 10, 10));
  EXPECT_EQ(f->max, 4);
  EXPECT_EQ(f->sum, 10);
}

TEST_F(LiveFrameTest, BuffersTooSmallAndClear) {
  TwoChips();
  ASSERT_TRUE(Start());
  std::vector<uint8_t> small(4);
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(model->ReadFrame(small, small));
  ::testing::internal::GetCapturedStdout();
  ASSERT_TRUE(Read());
  model->MergeFrameExtremes(90, 3);
  EXPECT_TRUE(model->Clear());
  EXPECT_EQ(model->GetFrameCounter(), 0);
  EXPECT_EQ(model->CurrentFrame(), nullptr);
  EXPECT_EQ(model->DetectedCount(), 0);
  EXPECT_EQ(model->GetDetectedSet().slaveCount, -1);
  EXPECT_EQ(model->GetMaxValue(), 0);
  EXPECT_EQ(model->GetMinValue(), kNoMinimum);
  EXPECT_TRUE(model->ReadErrors().empty());
  EXPECT_FALSE(model->ReadFrame());
}

// The window reads frames while the worker publishes them: every frame it sees is whole.
TEST_F(LiveFrameTest, WindowSeesOnlyWholeFrames) {
  TwoChips();
  ASSERT_TRUE(Start());
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread window([&] {
    while (!done.load()) {
      auto f = model->CurrentFrame();
      if (!f) continue;
      if (std::count(f->cells.begin(), f->cells.end(), f->cells[0]) != 24) torn.fetch_add(1);
    }
  });
  for (int i = 1; i <= 200; ++i) {
    for (FakeChip& c : dev.chips) std::fill(c.blocks[0x52000000].begin(), c.blocks[0x52000000].end(), i);
    ASSERT_TRUE(model->ReadFrame());
  }
  done.store(true);
  window.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(model->CurrentFrame()->cells[0], 200);
}

}  // namespace
}  // namespace pelorin
