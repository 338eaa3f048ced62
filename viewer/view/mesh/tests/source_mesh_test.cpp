#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "view/mesh/colours.h"
#include "view/mesh/levels.h"
#include "view/mesh/source_mesh.h"

namespace pelorin {
namespace {

// A frame owned by the test, cell (x, y) at x * height + y.
struct TestFrame {
  TestFrame(int32_t w, int32_t h, std::vector<int32_t> values)
      : cells(std::move(values)), mask(cells.size(), 1) {
    view.width = w;
    view.height = h;
  }
  MeshFrame View() {
    view.cells = cells.data();
    view.mask = mask.data();
    return view;
  }
  std::vector<int32_t> cells;
  std::vector<uint8_t> mask;
  MeshFrame view;
};

struct Vertex {
  float x, y, z, r, g, b;
};

Vertex At(const std::vector<float>& v, const std::vector<float>& c, size_t i) {
  return {v[3 * i], v[3 * i + 1], v[3 * i + 2], c[3 * i], c[3 * i + 1], c[3 * i + 2]};
}

MeshColouring Style2(int32_t lo, int32_t hi) { return {DrawStyle::Style2, lo, hi}; }

TEST(SourceMesh, TwoByTwoFrameIsOneSquareOfTwoTriangles) {
  // Cells: (0,0)=0 (0,1)=100 (1,0)=200 (1,1)=250.
  TestFrame f(2, 2, {0, 100, 200, 250});
  f.view.rangeMin = 0;
  f.view.rangeMax = 250;
  std::vector<float> v(18, -1.0f), c(18, -1.0f);
  ASSERT_EQ(BuildSourceMesh(0, f.View(), Style2(0, 250), v, c), 18u);

  // P01 P00 P10, P01 P10 P11; the field is 80 wide, 40 per cell here.
  const float xs[6] = {0, 0, 40, 0, 40, 40};
  const float ys[6] = {40, 0, 0, 40, 0, 40};
  const int32_t values[6] = {100, 0, 200, 100, 200, 250};
  const ColourRamp ramp(0, 250);
  for (size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    const Vertex p = At(v, c, i);
    EXPECT_FLOAT_EQ(p.x, xs[i]);
    EXPECT_FLOAT_EQ(p.y, ys[i]);
    EXPECT_FLOAT_EQ(p.z, HeightOf(values[i], 0, 250));
    const RgbF want = ramp(values[i]);
    EXPECT_FLOAT_EQ(p.r, want.r);
    EXPECT_FLOAT_EQ(p.g, want.g);
    EXPECT_FLOAT_EQ(p.b, want.b);
  }
  EXPECT_FLOAT_EQ(At(v, c, 5).z, 89.0f);
  EXPECT_FLOAT_EQ(At(v, c, 1).z, -11.0f);
}

TEST(SourceMesh, SquaresRunColumnByColumnOverTheField) {
  // 3 x 4: 2 x 3 squares; square k sits at x = k / 3, y = k % 3.
  std::vector<int32_t> values(12);
  for (int32_t i = 0; i < 12; ++i) values[static_cast<size_t>(i)] = i * 6;
  TestFrame f(3, 4, values);
  std::vector<float> v(MeshFloatCount(3, 4)), c(v.size());
  ASSERT_EQ(BuildSourceMesh(0, f.View(), {DrawStyle::Style1}, v, c), 6u * 18u);
  for (size_t k = 0; k < 6; ++k) {
    SCOPED_TRACE(k);
    const size_t x = k / 3, y = k % 3;
    const Vertex p00 = At(v, c, 6 * k + 1);
    const Vertex p11 = At(v, c, 6 * k + 5);
    EXPECT_FLOAT_EQ(p00.x, static_cast<float>(x) * (80.0f / 3));
    EXPECT_FLOAT_EQ(p00.y, static_cast<float>(y) * 20.0f);
    EXPECT_FLOAT_EQ(p11.x, static_cast<float>(x + 1) * (80.0f / 3));
    EXPECT_FLOAT_EQ(p11.y, static_cast<float>(y + 1) * 20.0f);
    // Style1 height is value / 6, here the cell's index.
    EXPECT_FLOAT_EQ(p00.z, static_cast<float>(x * 4 + y));
    EXPECT_FLOAT_EQ(p11.z, static_cast<float>((x + 1) * 4 + y + 1));
  }
}

class MaskedCorner : public ::testing::Test {
 protected:
  // The corner (0, 0) of a 2 x 2 frame is masked; its value is 30.
  MaskedCorner() : f(2, 2, {30, 60, 90, 120}) {
    f.mask[0] = 0;
    f.view.rangeMin = 0;
    f.view.rangeMax = 100;
    f.view.average = 42.7f;
  }
  Vertex Build(MeshColouring colouring) {
    v.assign(18, -1.0f);
    c.assign(18, -1.0f);
    EXPECT_EQ(BuildSourceMesh(0, f.View(), colouring, v, c), 18u);
    return At(v, c, 1);  // P00
  }
  TestFrame f;
  std::vector<float> v, c;
};

TEST_F(MaskedCorner, Style2DrawsItBlackAtZeroWithoutIsMask) {
  const Vertex p = Build(Style2(0, 100));
  EXPECT_FLOAT_EQ(p.z, 0.0f);
  EXPECT_FLOAT_EQ(p.r + p.g + p.b, 0.0f);
  EXPECT_FLOAT_EQ(At(v, c, 0).z, HeightOf(60, 0, 100));  // its neighbours are unaffected
}

TEST_F(MaskedCorner, Style2DrawsItBlackAtTheAverageLevelWithIsMask) {
  f.view.maskLevelOn = true;
  const Vertex p = Build(Style2(0, 100));
  EXPECT_FLOAT_EQ(p.z, RefLevel(42.7f, 0, 100));
  EXPECT_FLOAT_EQ(p.z, 31.0f);
  EXPECT_FLOAT_EQ(p.r + p.g + p.b, 0.0f);
}

TEST_F(MaskedCorner, Style1IgnoresTheMask) {
  f.view.maskLevelOn = true;
  const Vertex p = Build({DrawStyle::Style1});
  EXPECT_FLOAT_EQ(p.z, 5.0f);
  EXPECT_FLOAT_EQ(p.r, PaletteColour(6).r);
  EXPECT_FLOAT_EQ(p.g, PaletteColour(6).g);
  EXPECT_FLOAT_EQ(p.b, PaletteColour(6).b);
}

TEST(SourceMesh, HeightsUseTheSourceRangeAndColoursTheMapRange) {
  TestFrame f(2, 2, {50, 50, 50, 50});
  f.view.rangeMin = 0;
  f.view.rangeMax = 50;
  std::vector<float> v(18), c(18);
  BuildSourceMesh(0, f.View(), Style2(0, 200), v, c);
  const Vertex p = At(v, c, 0);
  EXPECT_FLOAT_EQ(p.z, 89.0f);
  EXPECT_FLOAT_EQ(p.b, 1.0f);  // 50 is below the quarter of 0..200: blue side
}

TEST(SourceMesh, FrameOneCellWideOrHighBuildsNothing) {
  std::vector<float> v(36, -1.0f), c(36, -1.0f);
  for (auto [w, h] : {std::pair{1, 5}, std::pair{5, 1}, std::pair{1, 1}, std::pair{0, 0},
                      std::pair{-3, 4}}) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    std::vector<int32_t> cells(25, 7);
    MeshFrame frame;
    frame.width = w;
    frame.height = h;
    frame.cells = cells.data();
    EXPECT_EQ(MeshFloatCount(w, h), 0u);
    EXPECT_EQ(BuildSourceMesh(0, frame, Style2(0, 100), v, c), 0u);
    EXPECT_EQ(BuildSourceMesh(0, frame, {DrawStyle::Style1}, v, c), 0u);
  }
  EXPECT_EQ(v, std::vector<float>(36, -1.0f));
}

TEST(SourceMesh, MeshThatDoesNotFitIsNotWritten) {
  TestFrame f(3, 3, std::vector<int32_t>(9, 1));
  std::vector<float> v(72, -1.0f), c(72, -1.0f);  // room for exactly 4 squares
  EXPECT_EQ(BuildSourceMesh(1, f.View(), {DrawStyle::Style1}, v, c), 0u);
  EXPECT_EQ(BuildSourceMesh(1000, f.View(), {DrawStyle::Style1}, v, c), 0u);
  EXPECT_EQ(BuildSourceMesh(0, f.View(), {DrawStyle::Style1}, v, std::span(c).first(71)), 0u);
  EXPECT_EQ(v, std::vector<float>(72, -1.0f));
  EXPECT_EQ(BuildSourceMesh(0, f.View(), {DrawStyle::Style1}, v, c), 72u);
}

TEST(SourceMesh, WritesExactlyItsOwnStretchOfTheArrays) {
  TestFrame f(3, 4, std::vector<int32_t>(12, 60));
  const size_t count = MeshFloatCount(3, 4);
  for (MeshColouring colouring : {MeshColouring{DrawStyle::Style1}, Style2(0, 100)}) {
    std::vector<float> v(count + 10, -1.0f), c(count + 10, -1.0f);
    ASSERT_EQ(BuildSourceMesh(5, f.View(), colouring, v, c), count);
    for (size_t i : {size_t{0}, size_t{4}, count + 5, count + 9}) {
      EXPECT_EQ(v[i], -1.0f) << i;
      EXPECT_EQ(c[i], -1.0f) << i;
    }
    EXPECT_NE(v[5], -1.0f);
    EXPECT_NE(c[count + 4], -1.0f);
  }
}

// Style2 corners come from a table over the ranges where that fits; every value, also
// far outside the ranges, must get what the rules give it directly.
TEST(SourceMesh, Style2CornersFollowTheRulesForAnyValueAndRange) {
  const std::vector<int32_t> values = {std::numeric_limits<int32_t>::min(), -1000, -1, 0, 1,
                                       24, 25, 62, 63, 99, 100, 187, 188, 251, 252, 300,
                                       1125, 1126, 5000, std::numeric_limits<int32_t>::max()};
  struct Ranges {
    int32_t sourceMin, sourceMax, mapMin, mapMax;
  };
  for (const Ranges& r : {Ranges{0, 250, 0, 250}, Ranges{0, 100, 0, 2}, Ranges{-50, 20, 10, 300},
                          Ranges{0, 1500, 0, 1500}, Ranges{0, 100000, -7, 90000},
                          Ranges{100, 100, 50, 50}}) {
    SCOPED_TRACE(testing::Message() << r.sourceMin << ".." << r.sourceMax << " map "
                                    << r.mapMin << ".." << r.mapMax);
    // A 2 x n frame: corner (0, y) of square y is its P00, vertex 1.
    const int32_t n = static_cast<int32_t>(values.size()) + 1;
    std::vector<int32_t> cells(2 * static_cast<size_t>(n), 0);
    std::copy(values.begin(), values.end(), cells.begin());
    TestFrame f(2, n, cells);
    f.view.rangeMin = r.sourceMin;
    f.view.rangeMax = r.sourceMax;
    std::vector<float> v(MeshFloatCount(2, n)), c(v.size());
    ASSERT_EQ(BuildSourceMesh(0, f.View(), Style2(r.mapMin, r.mapMax), v, c), v.size());
    const ColourRamp ramp(r.mapMin, r.mapMax);
    for (size_t y = 0; y < values.size(); ++y) {
      SCOPED_TRACE(values[y]);
      const Vertex p = At(v, c, 6 * y + 1);
      const RgbF want = ramp(values[y]);
      EXPECT_EQ(p.z, HeightOf(values[y], r.sourceMin, r.sourceMax));
      EXPECT_EQ(p.r, want.r);
      EXPECT_EQ(p.g, want.g);
      EXPECT_EQ(p.b, want.b);
    }
  }
}

TEST(SourceMesh, Style1CornersFollowTheRulesForAnyValueAndBands) {
  const std::vector<int32_t> values = {std::numeric_limits<int32_t>::min(), -6, -5, 0, 4, 5,
                                       244, 245, 249, 250, 4999, 5000,
                                       std::numeric_limits<int32_t>::max()};
  for (auto [band, last] : {std::pair{5, 49}, std::pair{100, 49}, std::pair{0, 49},
                            std::pair{5, 70}, std::pair{-3, 10}}) {
    SCOPED_TRACE(testing::Message() << "band " << band << " last " << last);
    const int32_t n = static_cast<int32_t>(values.size()) + 1;
    std::vector<int32_t> cells(2 * static_cast<size_t>(n), 0);
    std::copy(values.begin(), values.end(), cells.begin());
    TestFrame f(2, n, cells);
    std::vector<float> v(MeshFloatCount(2, n)), c(v.size());
    ASSERT_EQ(BuildSourceMesh(0, f.View(), {DrawStyle::Style1, 0, 0, band, last}, v, c),
              v.size());
    for (size_t y = 0; y < values.size(); ++y) {
      SCOPED_TRACE(values[y]);
      const Vertex p = At(v, c, 6 * y + 1);
      const RgbF want = PaletteColour(PaletteIndex(values[y], band, last));
      EXPECT_EQ(p.z, static_cast<float>(values[y] / 6));
      EXPECT_EQ(p.r, want.r);
      EXPECT_EQ(p.g, want.g);
      EXPECT_EQ(p.b, want.b);
    }
  }
}

TEST(SourceMesh, FrameWithoutMaskCountsEveryCellValid) {
  std::vector<int32_t> cells = {0, 0, 0, 0};
  MeshFrame frame;
  frame.width = frame.height = 2;
  frame.cells = cells.data();
  frame.rangeMax = 100;
  std::vector<float> v(18), c(18);
  ASSERT_EQ(BuildSourceMesh(0, frame, Style2(0, 100), v, c), 18u);
  EXPECT_FLOAT_EQ(At(v, c, 0).b, 1.0f);
  EXPECT_FLOAT_EQ(At(v, c, 0).z, -11.0f);
}

}  // namespace
}  // namespace pelorin
