#include "data/recording/recording_set.h"

#include <gtest/gtest.h>

#include "data/recording/load_recording.h"
#include "test_files.h"

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

struct Texts {
  std::vector<std::string> seen;
  static void Record(void* self, int32_t index, int32_t count) {
    static_cast<Texts*>(self)->seen.push_back(LoadProgressArgument(index, count));
  }
};

TEST(LoadRecordingData, AFailedLoadKeepsTheRecordingOnScreen) {
  test::ScratchDir dir;
  test::WriteText(dir.File("good.csv"),
                  "Pelorin\nFrameCount, 2\nWidth, 1\nHeight, 2,1\nType, Base,Diff\n"
                  "\nNo , 1, 0ms, Read Error Times , 0\n1,2,\n\nNo , 1, 0ms, Read Error Times , 0\n3,\n"
                  "\nNo , 2, 9ms, Read Error Times , 0\n4,5,\n\nNo , 2, 9ms, Read Error Times , 0\n6,\n\n");
  test::WriteText(dir.File("bad.csv"), "Pelorin\nFrameCount, 1\nWidth, 1\nHeight, 1\nType, Base\n\nNo \n");
  RecordingSet set;
  Texts texts;
  ASSERT_TRUE(LoadRecordingData(set, dir.File("good.csv"), {120, 10}, &texts, &Texts::Record)) << set.LastError();
  EXPECT_EQ(texts.seen, (std::vector<std::string>{"1, 2", "1, 2", "2, 2", "2, 2"}));
  ASSERT_EQ(set.Count(), 2);
  EXPECT_EQ(set.GetModel(1)->GetRangeMax(), 120);
  EXPECT_EQ(set.GetModel(1)->GetRangeMin(), 10);

  set.SetCurrentIndex(0, 1);
  EXPECT_FALSE(LoadRecordingData(set, dir.File("bad.csv"), {0, 0}, nullptr, nullptr));
  EXPECT_FALSE(set.LastError().empty());
  ASSERT_EQ(set.Count(), 2);
  EXPECT_EQ(set.GetFrameCount(0), 2);
  EXPECT_EQ(set.GetCurrentIndex(0), 1);
  EXPECT_EQ(set.GetModel(0)->GetRangeMax(), 120);
}

}  // namespace
}  // namespace pelorin
