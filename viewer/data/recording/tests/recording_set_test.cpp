#include "data/recording/recording_set.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

TEST(RecordingSet, ForwardsToItsSources) {
  RecordingSet set;
  PlayerModel& a = set.AddSource(2, 3, 5);
  set.AddSource(2, 4, 5);
  auto frame = std::make_unique<FrameRecord>(2, 3);
  frame->average = 1.5f;
  frame->max = 9;
  frame->min = -2;
  a.AppendFrame(std::move(frame));
  a.AppendFrame(std::make_unique<FrameRecord>(2, 3));
  a.MergeFrameExtremes(9, -2);
  EXPECT_EQ(set.Count(), 2);
  EXPECT_EQ(set.GetFrameCount(0), 2);
  EXPECT_EQ(set.GetDeclaredFrameCount(0), 5);
  EXPECT_EQ(set.GetHeight(1), 4);
  EXPECT_FLOAT_EQ(set.FrameAverage(0, 0), 1.5f);
  EXPECT_EQ(set.FrameMax(0, 0), 9);
  EXPECT_EQ(set.FrameMin(0, 0), -2);
  EXPECT_EQ(set.GetMaxValue(0), 9);
  EXPECT_EQ(set.GetMinValue(1), 0x7FFFFFFF);
  set.SetRangeMax(1, 120);
  set.SetRangeMin(1, 10);
  EXPECT_EQ(set.GetModel(1)->GetRangeMax(), 120);
  EXPECT_EQ(set.GetModel(1)->GetRangeMin(), 10);
  set.SetVisible(0, false);
  EXPECT_FALSE(set.GetVisible(0));
  EXPECT_TRUE(set.GetVisible(1));
  set.SetCurrentIndex(0, 1);
  EXPECT_EQ(set.GetCurrentIndex(0), 1);
  set.SetCurrentIndex(0, -4);
  EXPECT_EQ(set.GetCurrentIndex(0), 0);
  set.SetCurrentIndex(1, 3);  // a source without frames stays at 0
  EXPECT_EQ(set.GetCurrentIndex(1), 0);
  set.Clear();
  EXPECT_EQ(set.Count(), 0);
}

TEST(PlayerModel, ClearDropsFramesButKeepsTheExtremes) {
  PlayerModel m(3, 4, 7);
  m.AppendFrame(std::make_unique<FrameRecord>(3, 4));
  m.MergeFrameExtremes(50, -5);
  m.SetCurrentIndex(0);
  m.SetHasMaskedCells(true);
  EXPECT_TRUE(m.Clear());
  EXPECT_EQ(m.LoadedFrameCount(), 0);
  EXPECT_EQ(m.Frame(0), nullptr);
  EXPECT_EQ(m.Width(), 0);
  EXPECT_EQ(m.Height(), 0);
  EXPECT_EQ(m.DeclaredFrameCount(), 0);
  EXPECT_EQ(m.GetMaxValue(), 50);
  EXPECT_EQ(m.GetMinValue(), -5);
}

}  // namespace
}  // namespace pelorin
