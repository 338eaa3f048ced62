#include "data/frame_filter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace pelorin {
namespace {

using ::testing::ElementsAre;

constexpr FilterKernel kWeight = {{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}};
constexpr FilterKernel kHighPass = {{{-1, -1, -1}, {-1, 8, -1}, {-1, -1, -1}}};

std::vector<int32_t> Work(int w, int h) { return std::vector<int32_t>(static_cast<size_t>((w + 2) * (h + 2)), 0); }

TEST(FrameFilter, OnlyCellsAboveTheThresholdAreFiltered) {
  // 3 x 3 frame, threshold 0: values 0 and below stay, 1 is filtered.
  std::vector<int32_t> cells = {0, -5, 0, 0, 1, 0, 0, 0, 0};
  auto work = Work(3, 3);
  ASSERT_TRUE(ApplyFilter(3, 3, 0, kWeight, cells, work));
  EXPECT_THAT(cells, ElementsAre(0, -5, 0, 0, -4, 0, 0, 0, 0));
}

TEST(FrameFilter, CornerSumsItsExistingNeighboursFromTheUnfilteredCopy) {
  std::vector<int32_t> cells = {10, 20, 30, 40};  // 2 x 2
  auto work = Work(2, 2);
  ASSERT_TRUE(ApplyFilter(2, 2, 0, kWeight, cells, work));
  // Every cell is a corner: the sum of all four unfiltered cells.
  EXPECT_THAT(cells, ElementsAre(100, 100, 100, 100));

  std::vector<int32_t> flat(9, 5);
  flat[4] = 9;
  auto work3 = Work(3, 3);
  ASSERT_TRUE(ApplyFilter(3, 3, 6, kHighPass, flat, work3));
  EXPECT_EQ(flat[4], 8 * 9 - 8 * 5);
  EXPECT_EQ(flat[0], 5);
}

TEST(FrameFilter, WrapsAroundInThirtyTwoBits) {
  const int32_t big = std::numeric_limits<int32_t>::max();
  std::vector<int32_t> cells = {big, big};  // 1 x 2
  auto work = Work(1, 2);
  ASSERT_TRUE(ApplyFilter(1, 2, 0, kWeight, cells, work));
  EXPECT_EQ(cells[0], -2);  // 2 x (2^31 - 1) modulo 2^32
  const int32_t n[3][3] = {{big, 1, 0}, {0, 0, 0}, {0, 0, 0}};
  EXPECT_EQ(Convolve3x3(kWeight, n), std::numeric_limits<int32_t>::min());
}

TEST(FrameFilter, NothingAboveTheThresholdLeavesTheFrameAndShortWorkIsRefused) {
  std::vector<int32_t> cells = {3, 7, 1, 7, 2, 0};
  const auto before = cells;
  auto work = Work(2, 3);
  ASSERT_TRUE(ApplyFilter(2, 3, 7, kHighPass, cells, work));
  EXPECT_EQ(cells, before);

  std::vector<int32_t> shortWork(19, 0);
  EXPECT_FALSE(ApplyFilter(2, 3, 0, kWeight, cells, shortWork));
  EXPECT_EQ(cells, before);

  // Old cells in a reused buffer must not leak into this frame's border.
  std::vector<int32_t> dirty(20, 99);
  std::vector<int32_t> one = {1, 0, 0, 0, 0, 0};
  ASSERT_TRUE(ApplyFilter(2, 3, 0, kWeight, one, dirty));
  EXPECT_EQ(one[0], 1);
}

}  // namespace
}  // namespace pelorin
