#include "data/recording/recording_set.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

TEST(RecordingSet, CurrentIndexStaysWithinTheLoadedFrames) {
  RecordingSet set;
  PlayerModel& a = set.AddSource(2, 3, 5);
  set.AddSource(2, 4, 5);
  a.AppendFrame(std::make_unique<FrameRecord>(2, 3));
  a.AppendFrame(std::make_unique<FrameRecord>(2, 3));
  set.SetCurrentIndex(0, 1);
  EXPECT_EQ(set.GetCurrentIndex(0), 1);
  set.SetCurrentIndex(0, 4);  // the header claims 5 frames, 2 are loaded
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
  EXPECT_TRUE(m.Clear());
  EXPECT_EQ(m.LoadedFrameCount(), 0);
  EXPECT_EQ(m.Frame(0), nullptr);
  EXPECT_EQ(m.Width(), 0);
  EXPECT_EQ(m.DeclaredFrameCount(), 0);
  EXPECT_EQ(m.GetMaxValue(), 50);
  EXPECT_EQ(m.GetMinValue(), -5);
}

}  // namespace
}  // namespace pelorin
