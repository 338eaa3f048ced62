// The heat map picture: every cell in the map's ramp colour at its place (y upwards),
// masked cells black, the legend bar from blue to red, and a file libpng reads back.
#include "data/export/png_map.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <filesystem>

#include "data/colours.h"

namespace pelorin {
namespace {

std::array<uint8_t, 3> Pixel(const RgbImage& im, int32_t x, int32_t y) {
  const uint8_t* p = im.At(x, y);
  return {p[0], p[1], p[2]};
}

std::array<uint8_t, 3> Ramp(int32_t lo, int32_t hi, int32_t v) {
  const RgbF c = ColourRamp(lo, hi)(v);
  auto b = [](float f) { return static_cast<uint8_t>(f * 255.0f + 0.5f); };
  return {b(c.r), b(c.g), b(c.b)};
}

HeatMap TwoByThree() {
  HeatMap m;
  m.width = 2;
  m.height = 3;
  m.cells = {0, 125, 250, 62, 187, 999};  // [x * 3 + y]
  m.valid = {1, 1, 1, 1, 1, 0};
  m.rangeMin = 0;
  m.rangeMax = 250;
  return m;
}

TEST(PngMap, CellsTakeTheRampColourWithYUpAndMaskedCellsBlack) {
  const HeatMap m = TwoByThree();
  const RgbImage im = RenderHeatMap(m);
  ASSERT_GT(im.width, 0);
  const HeatMapLayout l = LayOutHeatMap(m);
  auto centre = [&](int32_t x, int32_t y) {
    return Pixel(im, l.CellLeft(x) + l.cellSize / 2, l.CellTop(y, m.height) + l.cellSize / 2);
  };
  for (int32_t x = 0; x < 2; ++x) {
    for (int32_t y = 0; y < 3; ++y) {
      if (x == 1 && y == 2) continue;
      EXPECT_EQ(centre(x, y), Ramp(0, 250, m.cells[size_t(x) * 3 + size_t(y)])) << x << "," << y;
    }
  }
  EXPECT_EQ(centre(1, 2), (std::array<uint8_t, 3>{0, 0, 0}));
  // y = 0 is the bottom row: the top-left cell of the picture is (0, 2), red at 250.
  EXPECT_EQ(Pixel(im, l.mapLeft + 1, l.mapTop + 1), Ramp(0, 250, 250));
  // The legend bar: red at the top, blue at the bottom.
  EXPECT_EQ(Pixel(im, l.barLeft + 2, l.barTop), Ramp(0, 250, 250));
  EXPECT_EQ(Pixel(im, l.barLeft + 2, l.barTop + l.barHeight - 1),
            (std::array<uint8_t, 3>{0, 0, 255}));
}

TEST(PngMap, LegendLabelsAreTheMapsTwentyFiveSteps) {
  const std::vector<int32_t> v = LegendValues(0, 250);
  ASSERT_EQ(v.size(), 25u);
  EXPECT_EQ(v[0], 0);
  EXPECT_EQ(v[1], 10);
  EXPECT_EQ(v[24], 240);
  EXPECT_EQ(LegendValues(-100, -75)[3], -97);
  // The labels are drawn: some white pixels right of the bar.
  const HeatMap m = TwoByThree();
  const RgbImage im = RenderHeatMap(m);
  const HeatMapLayout l = LayOutHeatMap(m);
  int white = 0;
  for (int32_t y = 0; y < im.height; ++y)
    for (int32_t x = l.labelLeft; x < im.width; ++x) white += Pixel(im, x, y)[0] == 255;
  EXPECT_GT(white, 25 * 5);
}

TEST(PngMap, AMapWhoseCellsDoNotFitItsSizeDrawsNothing) {
  HeatMap m = TwoByThree();
  m.cells.pop_back();
  EXPECT_EQ(RenderHeatMap(m).width, 0);
  m = TwoByThree();
  m.valid.resize(2);
  EXPECT_EQ(RenderHeatMap(m).width, 0);
  m.width = 0;
  EXPECT_EQ(RenderHeatMap(m).width, 0);
}

TEST(PngMap, TheFileReadsBackPixelForPixel) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("pelorin-map-" + std::to_string(::getpid()) + ".png"))
                               .string();
  const RgbImage im = RenderHeatMap(TwoByThree());
  std::string error;
  ASSERT_TRUE(WritePng(path, im, &error)) << error;
  png_image back{};
  back.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&back, path.c_str()));
  back.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(back));
  ASSERT_TRUE(png_image_finish_read(&back, nullptr, pixels.data(), 0, nullptr));
  EXPECT_EQ(int32_t(back.width), im.width);
  EXPECT_EQ(int32_t(back.height), im.height);
  EXPECT_EQ(pixels, im.rgb);
  std::filesystem::remove(path);

  EXPECT_FALSE(WritePng("/nonexistent-dir/x.png", im, &error));
  EXPECT_NE(error.find("can't create"), std::string::npos);
  EXPECT_FALSE(WritePng(path, RgbImage{}, &error));
}

}  // namespace
}  // namespace pelorin
