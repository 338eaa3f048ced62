// The per-frame figures of the acquisition on frames whose answers are known by hand.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "data/acquisition/frame_figures.h"
#include "data/status_text.h"

namespace pelorin {
namespace {

TEST(FrameAverage, TruncatesTheIntegerQuotient) {
  EXPECT_EQ(FrameAverage(1000, 3, 3), 111.0f);
  EXPECT_EQ(FormatStatistics(1, 0.0f, FrameAverage(1000, 3, 3), 0, 0, 0, 0).values.substr(0, 14),
            "Average:111.00");
  EXPECT_EQ(FrameAverage(-1000, 3, 3), -111.0f);  // toward zero
  EXPECT_EQ(FrameAverage(int64_t{5} << 33, 1, 2), float(int64_t{5} << 32));
  EXPECT_EQ(FrameAverage(7, 0, 3), 0.0f);
}

TEST(Flatness, PlaneIsFlatAndOneRaisedCornerIsOneAway) {
  // v = 2x + 3y + 5 on 4 x 5 cells.
  std::vector<int32_t> plane;
  for (int x = 0; x < 4; ++x)
    for (int y = 0; y < 5; ++y) plane.push_back(2 * x + 3 * y + 5);
  EXPECT_NEAR(Flatness(plane.data(), 4, 5), 0.0f, 1e-4f);
  // (0,0)=0 (0,1)=0 (1,0)=0 (1,1)=4: best plane 2x + 2y - 1, every cell 1 away.
  const std::vector<int32_t> corner = {0, 0, 0, 4};
  EXPECT_NEAR(Flatness(corner.data(), 2, 2), 1.0f, 1e-5f);
}

TEST(Flatness, SingleLineIsMeasuredAgainstItsMeanAndLargeValuesDoNotOverflow) {
  const std::vector<int32_t> line = {1, 3, 5, 7};  // 1 x 4: the plane is not determined
  EXPECT_NEAR(Flatness(line.data(), 1, 4), 2.0f, 1e-5f);
  std::vector<int32_t> big(64 * 64, 2000000000);
  EXPECT_NEAR(Flatness(big.data(), 64, 64), 0.0f, 1.0f);
  EXPECT_EQ(Flatness(nullptr, 3, 3), 0.0f);
}

TEST(StandardDeviation, AroundTheTruncatedAverage) {
  const std::vector<int32_t> cells = {1, 2, 3, 4};  // average 10 / 4 = 2
  EXPECT_NEAR(StandardDeviation(cells.data(), 2, 2, 2), 1.2247449f, 1e-5f);
  const std::vector<int32_t> flat(12, 9);
  EXPECT_EQ(StandardDeviation(flat.data(), 3, 4, 9), 0.0f);
}

TEST(FrameRateClock, FirstFrameKeepsTheRateSecondGivesFramesPerSecond) {
  FrameRateClock clock;
  EXPECT_EQ(clock.Tick(1000, 1), 0u);
  EXPECT_EQ(clock.Rate(), 0.0f);
  EXPECT_EQ(clock.Tick(1050, 2), 50u);
  EXPECT_FLOAT_EQ(clock.Rate(), 40.0f);
  EXPECT_EQ(clock.Tick(1050, 3), 50u);  // no time passed: no division by zero
  EXPECT_FLOAT_EQ(clock.Rate(), 60.0f);
  // The tick count wraps around 2^32.
  FrameRateClock wrap;
  wrap.Tick(0xFFFFFFF0u, 1);
  EXPECT_EQ(wrap.Tick(0x10u, 2), 0x20u);
  wrap.Reset();
  EXPECT_EQ(wrap.Tick(5, 1), 0u);
}

TEST(EdgeTrackers, PinsChooseTheLinesAndOnlyRaise) {
  // 4 x 3 frame, cell (x, y) = 10 * x + y.
  std::vector<int32_t> cells;
  for (int x = 0; x < 4; ++x)
    for (int y = 0; y < 3; ++y) cells.push_back(10 * x + y);
  EdgeBuffers e(4, 3);
  ASSERT_EQ(e.x1Track.size(), 3u);
  ASSERT_EQ(e.y1Track.size(), 4u);
  const SnrPins pins{0, 1, -1, 0, -1};  // X1 column 1, X2 column 2, Y1 row 0, Y2 row 1
  UpdateEdgeTrackers(e, cells.data(), 4, 3, pins);
  EXPECT_EQ(e.x1Track, (std::vector<int32_t>{10, 11, 12}));
  EXPECT_EQ(e.x2Track, (std::vector<int32_t>{20, 21, 22}));
  EXPECT_EQ(e.y1Track, (std::vector<int32_t>{0, 10, 20, 30}));
  EXPECT_EQ(e.y2Track, (std::vector<int32_t>{1, 11, 21, 31}));
  // A lower frame changes nothing; a negative cell never lowers a zero tracker.
  for (int32_t& v : cells) v = -v;
  UpdateEdgeTrackers(e, cells.data(), 4, 3, pins);
  EXPECT_EQ(e.x1Track, (std::vector<int32_t>{10, 11, 12}));
  EXPECT_EQ(e.y1Track[0], 0);
}

TEST(EdgeTrackers, PinsOutsideTheFrameLeaveTheirTrackers) {
  std::vector<int32_t> cells(4 * 3, 50);
  EdgeBuffers e(4, 3);
  UpdateEdgeTrackers(e, cells.data(), 4, 3, SnrPins{0, 4, -4, 3, -3});
  EXPECT_EQ(e.x1Track, (std::vector<int32_t>(3, 0)));
  EXPECT_EQ(e.x2Track, (std::vector<int32_t>(3, 0)));
  EXPECT_EQ(e.y1Track, (std::vector<int32_t>(4, 0)));
  EXPECT_EQ(e.y2Track, (std::vector<int32_t>(4, 0)));
  // Pins typed at the int32 limits lie outside too, without wrapping into the frame.
  UpdateEdgeTrackers(e, cells.data(), 4, 3,
                     SnrPins{0, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MAX});
  EXPECT_EQ(e.x2Track, (std::vector<int32_t>(3, 0)));
  EXPECT_EQ(e.y2Track, (std::vector<int32_t>(4, 0)));
  // A frame larger than the buffers fills only what the buffers hold.
  std::vector<int32_t> large(6 * 5, 7);
  UpdateEdgeTrackers(e, large.data(), 6, 5, SnrPins{});
  EXPECT_EQ(e.x1Track, (std::vector<int32_t>(3, 7)));
  EXPECT_EQ(e.y2Track, (std::vector<int32_t>(4, 7)));
}

TEST(AutoCenter, WideSpanFollowsTheShiftAndThenStays) {
  const auto move = AutoCenterSliders(180, 20, 250, 0, 5);
  ASSERT_TRUE(move);
  EXPECT_EQ(*move, (SliderPositions{285, 215}));  // range 185 / 15
  EXPECT_FALSE(AutoCenterSliders(180, 20, 185, 15, 5));
}

TEST(AutoCenter, NarrowSpanCentresFiftyWide) {
  const auto move = AutoCenterSliders(120, 100, 250, 0, 5);
  ASSERT_TRUE(move);
  EXPECT_EQ(*move, (SliderPositions{235, 285}));  // range 135 / 85
  EXPECT_FALSE(AutoCenterSliders(120, 100, 135, 85, 5));
  // On the centre fit only: left alone as well.
  EXPECT_FALSE(AutoCenterSliders(180, 20, 125, 75, 5));
  // Extremes near the ends of int32 do not overflow.
  EXPECT_TRUE(AutoCenterSliders(2147483647, -2147483647 - 1, 0, 0, 5));
}

TEST(RecordedFrames, OneInEveryInterval) {
  std::vector<int32_t> recorded;
  for (int32_t n = 1; n <= 10; ++n)
    if (IsFrameRecorded(n, 3)) recorded.push_back(n);
  EXPECT_EQ(recorded, (std::vector<int32_t>{1, 4, 7, 10}));
  for (int32_t n = 1; n <= 4; ++n) {
    EXPECT_TRUE(IsFrameRecorded(n, 1));
    EXPECT_TRUE(IsFrameRecorded(n, 0));  // a value below 1 counts as 1
  }
}

TEST(ChipSelection, CascadeModesAndNames) {
  EXPECT_FALSE(ChipSelectionIllegal(-1, 0, 0));
  // Cascade mode 1: the master may not be chosen; a slave beyond the chips found neither.
  EXPECT_TRUE(ChipSelectionIllegal(1, 3, 1));
  EXPECT_FALSE(ChipSelectionIllegal(6, 3, 1));
  EXPECT_FALSE(ChipSelectionIllegal(7, 3, 1));
  EXPECT_TRUE(ChipSelectionIllegal(8, 3, 1));
  // Cascade mode 0: a slave index at or past the count, or a single chip.
  EXPECT_TRUE(ChipSelectionIllegal(7, 3, 0));
  EXPECT_FALSE(ChipSelectionIllegal(6, 3, 0));
  EXPECT_TRUE(ChipSelectionIllegal(1, 1, 0));
  EXPECT_FALSE(ChipSelectionIllegal(11, 1, 5));
  EXPECT_EQ(ChipSelectionName(1), "master");
  EXPECT_EQ(ChipSelectionName(7), "slave3");
  EXPECT_EQ(ChipSelectionName(0), "unknow");
  EXPECT_EQ(StatusMessageText(kStatusIllegalSelection, ChipSelectionName(1)),
            "Selecting master is illegal");
}

}  // namespace
}  // namespace pelorin
