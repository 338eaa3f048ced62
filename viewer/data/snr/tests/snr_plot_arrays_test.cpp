#include "data/snr/snr_plot_arrays.h"

#include <gtest/gtest.h>

#include <vector>

namespace pelorin {
namespace {

// Cell (x, y) of a width x height frame holds 10 * x + y.
std::vector<int32_t> Numbered(int32_t w, int32_t h) {
  std::vector<int32_t> cells;
  for (int32_t x = 0; x < w; ++x)
    for (int32_t y = 0; y < h; ++y) cells.push_back(10 * x + y);
  return cells;
}

TEST(SnrPlotArrays, PinsZeroTakeTheOuterLines) {
  const std::vector<int32_t> cells = Numbered(3, 4);
  const EdgeBuffers e = CurrentEdges(cells.data(), 3, 4, SnrPins{});
  EXPECT_EQ(e.x1Track, (std::vector<int32_t>{0, 1, 2, 3}));      // column 0
  EXPECT_EQ(e.x2Track, (std::vector<int32_t>{20, 21, 22, 23}));  // column 2, the last
  EXPECT_EQ(e.y1Track, (std::vector<int32_t>{0, 10, 20}));       // row 0
  EXPECT_EQ(e.y2Track, (std::vector<int32_t>{3, 13, 23}));       // row 3, the last
}

TEST(SnrPlotArrays, CurrentFrameShowsNegativeCellsAsZero) {
  const std::vector<int32_t> cells = {-5, 7, -1, 2};
  const EdgeBuffers e = CurrentEdges(cells.data(), 2, 2, SnrPins{});
  EXPECT_EQ(e.x1Track, (std::vector<int32_t>{0, 7}));
  EXPECT_EQ(e.y1Track, (std::vector<int32_t>{0, 0}));
}

TEST(SnrPlotArrays, TwoByTwoFramePlotsOneSegmentPerLineAndSeries) {
  ASSERT_EQ(SnrPlotFloats(2, 2), 72u);
  const std::vector<int32_t> cells = {1, 2, 3, 4};
  const EdgeBuffers current = CurrentEdges(cells.data(), 2, 2, SnrPins{});
  EdgeBuffers noise(2, 2), signal(2, 2);
  signal.y1Track = {30, 40};
  std::vector<float> v(72, -1.0f), c(72, -1.0f);
  EXPECT_EQ(BuildSnrPlotArrays(current, noise, signal, v, c), 72u);
  const float s = 105.0f / 8.0f;
  // Series 0, Y1 (row 0: cells 1 and 3) from axis cell 0 to 1.
  EXPECT_FLOAT_EQ(v[0], 0.0f);
  EXPECT_FLOAT_EQ(v[1], 1.0f);
  EXPECT_FLOAT_EQ(v[3], s);
  EXPECT_FLOAT_EQ(v[4], 3.0f);
  // Series 0, X1 (column 0: cells 1 and 2) starts at axis cell W = 2.
  EXPECT_FLOAT_EQ(v[6], 2 * s);
  EXPECT_FLOAT_EQ(v[7], 1.0f);
  EXPECT_FLOAT_EQ(v[10], 2.0f);
  // Series 2 (signal) starts after two series of 24 floats, with its Y1 profile.
  EXPECT_FLOAT_EQ(v[48 + 1], 30.0f);
  EXPECT_FLOAT_EQ(v[48 + 4], 40.0f);
  for (size_t i = 0; i < 72; i += 3) {
    const SnrRgb want = kSnrSeriesColours[i / 24];
    EXPECT_FLOAT_EQ(c[i], want.r) << i;
    EXPECT_FLOAT_EQ(c[i + 1], want.g) << i;
    EXPECT_FLOAT_EQ(c[i + 2], want.b) << i;
    EXPECT_FLOAT_EQ(v[i + 2], 0.0f);
  }
}

TEST(SnrPlotArrays, ProfilesStartAtTheirBases) {
  // W = 3, H = 2: s = 10.5; Y1 at 0 (2 segments), X1 at 3, Y2 at 5, X2 at 8.
  const EdgeBuffers e(3, 2);
  std::vector<float> v(SnrPlotFloats(3, 2)), c(v.size());
  ASSERT_EQ(v.size(), 108u);
  ASSERT_EQ(BuildSnrPlotArrays(e, e, e, v, c), 108u);
  const std::vector<float> starts = {0, 1, 3, 5, 6, 8};  // first x of each segment, in cells
  for (size_t seg = 0; seg < starts.size(); ++seg) {
    EXPECT_FLOAT_EQ(v[seg * 6], starts[seg] * 10.5f) << seg;
    EXPECT_FLOAT_EQ(v[seg * 6 + 3], (starts[seg] + 1) * 10.5f) << seg;
  }
  EXPECT_FLOAT_EQ(v[36], 0.0f) << "series 1 starts over at Y1";
}

TEST(SnrPlotArrays, MismatchedBuffersOrShortArraysWriteNothing) {
  const EdgeBuffers small(2, 2), big(3, 2);
  std::vector<float> v(200, -1.0f), c(200, -1.0f);
  EXPECT_EQ(BuildSnrPlotArrays(small, big, small, v, c), 0u);
  EXPECT_EQ(v[0], -1.0f);
  std::vector<float> shortArray(71);
  EXPECT_EQ(BuildSnrPlotArrays(small, small, small, shortArray, v), 0u);
  EdgeBuffers torn(2, 2);
  torn.y2Track.pop_back();
  EXPECT_EQ(BuildSnrPlotArrays(torn, torn, torn, v, c), 0u);
  EXPECT_EQ(BuildSnrPlotArrays(EdgeBuffers(1, 1), EdgeBuffers(1, 1), EdgeBuffers(1, 1), v, c), 0u);
}

TEST(SnrPlotArrays, AxesMarkWhereEachProfileStarts) {
  const SnrAxes a = BuildSnrAxes(3, 2);
  EXPECT_FLOAT_EQ(a.points[3], 105.0f);
  EXPECT_FLOAT_EQ(a.colours[0], 1.0f);
  EXPECT_FLOAT_EQ(a.colours[2], 1.0f);
  const float xs[] = {0.0f, 31.5f, 52.5f, 84.0f};
  for (int i = 0; i < 4; ++i) {
    const size_t p = 6 + static_cast<size_t>(i) * 6;
    EXPECT_FLOAT_EQ(a.points[p], xs[i]);
    EXPECT_FLOAT_EQ(a.points[p + 3], xs[i]);
    EXPECT_FLOAT_EQ(a.points[p + 4], 50.0f);
    EXPECT_FLOAT_EQ(a.colours[p], 0.0f);
    EXPECT_FLOAT_EQ(a.colours[p + 1], 1.0f);
  }
}

}  // namespace
}  // namespace pelorin
