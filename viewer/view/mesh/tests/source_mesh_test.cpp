#include <gtest/gtest.h>

#include <cstdint>
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

TEST(SourceMesh, Style1HeightTruncatesTowardZeroAndUsesPaletteBands) {
  TestFrame f(2, 2, {-13, 7, 300, 5});
  std::vector<float> v(18), c(18);
  ASSERT_EQ(BuildSourceMesh(0, f.View(), {DrawStyle::Style1}, v, c), 18u);
  const Vertex p00 = At(v, c, 1), p01 = At(v, c, 0), p10 = At(v, c, 2), p11 = At(v, c, 5);
  EXPECT_FLOAT_EQ(p00.z, -2.0f);
  EXPECT_FLOAT_EQ(p01.z, 1.0f);
  EXPECT_FLOAT_EQ(p10.z, 50.0f);
  EXPECT_FLOAT_EQ(p11.z, 0.0f);
  EXPECT_FLOAT_EQ(p00.r, PaletteColour(0).r);   // negative: entry 0
  EXPECT_FLOAT_EQ(p01.g, PaletteColour(1).g);   // 7: entry 1
  EXPECT_FLOAT_EQ(p10.b, PaletteColour(49).b);  // 300: entry 49
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
