#include "data/export/png_map.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "data/colours.h"

namespace pelorin {
namespace {

constexpr int32_t kMargin = 10;
constexpr int32_t kGap = 16;
constexpr int32_t kBarWidth = 18;
constexpr int32_t kLabelCount = 25;
constexpr int32_t kFontScale = 2;
constexpr int32_t kGlyphW = 3, kGlyphH = 5;
constexpr int32_t kAdvance = (kGlyphW + 1) * kFontScale;
constexpr int32_t kLabelPitch = 14;  // pixels between legend labels at least
constexpr std::array<uint8_t, 3> kBackground = {0, 0, 0};
constexpr std::array<uint8_t, 3> kMasked = {0, 0, 0};
constexpr std::array<uint8_t, 3> kText = {255, 255, 255};

// Digits and the minus sign, 3 x 5 pixels, one row per byte (bit 2 = left column).
constexpr std::array<std::array<uint8_t, 5>, 11> kGlyphs = {{
    {7, 5, 5, 5, 7},
    {2, 6, 2, 2, 7},
    {7, 1, 7, 4, 7},
    {7, 1, 7, 1, 7},
    {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7},
    {7, 4, 7, 5, 7},
    {7, 1, 1, 1, 1},
    {7, 5, 7, 5, 7},
    {7, 5, 7, 1, 7},
    {0, 0, 7, 0, 0},
}};

class Canvas {
 public:
  explicit Canvas(RgbImage& image) : image_(image) {}
  void Fill(int32_t left, int32_t top, int32_t w, int32_t h, const std::array<uint8_t, 3>& c) {
    const int32_t x0 = std::max(left, 0), y0 = std::max(top, 0);
    const int32_t x1 = std::min(left + w, image_.width), y1 = std::min(top + h, image_.height);
    for (int32_t y = y0; y < y1; ++y) {
      uint8_t* p = &image_.rgb[(size_t(y) * size_t(image_.width) + size_t(x0)) * 3];
      for (int32_t x = x0; x < x1; ++x, p += 3) std::memcpy(p, c.data(), 3);
    }
  }
  // Text whose vertical middle lies at row midY.
  void Text(int32_t left, int32_t midY, const std::string& text) {
    const int32_t top = midY - kGlyphH * kFontScale / 2;
    for (size_t i = 0; i < text.size(); ++i) {
      const char ch = text[i];
      const int g = ch == '-' ? 10 : ch - '0';
      if (g < 0 || g > 10) continue;
      for (int32_t row = 0; row < kGlyphH; ++row) {
        for (int32_t col = 0; col < kGlyphW; ++col) {
          if ((kGlyphs[size_t(g)][size_t(row)] >> (kGlyphW - 1 - col) & 1) == 0) continue;
          Fill(left + int32_t(i) * kAdvance + col * kFontScale, top + row * kFontScale, kFontScale,
               kFontScale, kText);
        }
      }
    }
  }

 private:
  RgbImage& image_;
};

std::array<uint8_t, 3> Bytes(RgbF c) {
  auto b = [](float v) { return static_cast<uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
  return {b(c.r), b(c.g), b(c.b)};
}

int32_t LabelWidth(const HeatMap& map) {
  size_t chars = 1;
  for (int32_t v : LegendValues(map.rangeMin, map.rangeMax))
    chars = std::max(chars, std::to_string(v).size());
  return int32_t(chars) * kAdvance;
}

}  // namespace

std::vector<int32_t> LegendValues(int32_t rangeMin, int32_t rangeMax) {
  std::vector<int32_t> values;
  const int64_t span = int64_t(rangeMax) - rangeMin;
  for (int32_t i = 0; i < kLabelCount; ++i)
    values.push_back(static_cast<int32_t>(rangeMin + span * i / kLabelCount));
  return values;
}

HeatMapLayout LayOutHeatMap(const HeatMap& map) {
  HeatMapLayout l;
  const int32_t longest = std::max({map.width, map.height, 1});
  l.cellSize = std::clamp(480 / longest, 2, 32);
  l.mapLeft = kMargin;
  l.mapTop = kMargin;
  l.barLeft = l.mapLeft + map.width * l.cellSize + kGap;
  l.barTop = kMargin;
  l.barWidth = kBarWidth;
  l.barHeight = std::max(map.height * l.cellSize, kLabelCount * kLabelPitch);
  l.labelLeft = l.barLeft + l.barWidth + 6;
  return l;
}

RgbImage RenderHeatMap(const HeatMap& map) {
  RgbImage image;
  const size_t cells = map.width > 0 && map.height > 0 ? size_t(map.width) * size_t(map.height) : 0;
  if (cells == 0 || cells > (size_t(1) << 24) || map.cells.size() != cells ||
      (!map.valid.empty() && map.valid.size() != cells)) {
    return image;
  }
  const HeatMapLayout l = LayOutHeatMap(map);
  image.width = l.labelLeft + LabelWidth(map) + kMargin;
  image.height = l.barTop + l.barHeight + kMargin;
  image.rgb.assign(size_t(image.width) * size_t(image.height) * 3, 0);
  Canvas canvas(image);
  canvas.Fill(0, 0, image.width, image.height, kBackground);

  const ColourRamp ramp(map.rangeMin, map.rangeMax);
  for (int32_t x = 0; x < map.width; ++x) {
    for (int32_t y = 0; y < map.height; ++y) {
      const size_t i = size_t(x) * size_t(map.height) + size_t(y);
      const bool valid = map.valid.empty() || map.valid[i] != 0;
      canvas.Fill(l.CellLeft(x), l.CellTop(y, map.height), l.cellSize, l.cellSize,
                  valid ? Bytes(ramp(map.cells[i])) : kMasked);
    }
  }
  // The bar runs from rangeMin at its bottom to rangeMax at its top.
  const int64_t span = int64_t(map.rangeMax) - map.rangeMin;
  for (int32_t row = 0; row < l.barHeight; ++row) {
    const int64_t fromBottom = l.barHeight - 1 - row;
    const int64_t value =
        map.rangeMin + (l.barHeight > 1 ? span * fromBottom / (l.barHeight - 1) : 0);
    canvas.Fill(l.barLeft, l.barTop + row, l.barWidth, 1, Bytes(ramp(static_cast<int32_t>(value))));
  }
  const std::vector<int32_t> labels = LegendValues(map.rangeMin, map.rangeMax);
  for (size_t i = 0; i < labels.size(); ++i) {
    const int32_t row =
        l.barTop + l.barHeight - 1 - int32_t((int64_t(l.barHeight) - 1) * int64_t(i) / kLabelCount);
    canvas.Text(l.labelLeft, row, std::to_string(labels[i]));
  }
  return image;
}

bool WritePng(const std::string& path, const RgbImage& image, std::string* error) {
  auto fail = [&](const std::string& what) {
    if (error != nullptr) *error = what;
    return false;
  };
  if (image.width <= 0 || image.height <= 0 ||
      image.rgb.size() != size_t(image.width) * size_t(image.height) * 3) {
    return fail("no picture to write");
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return fail("can't create " + path + ": " + std::strerror(errno));
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::fclose(file);
    return fail("libpng could not start");
  }
  std::vector<png_const_bytep> rows(size_t(image.height));
  for (int32_t y = 0; y < image.height; ++y) rows[size_t(y)] = image.At(0, y);
  // libpng reports its errors by a long jump back here.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    std::remove(path.c_str());
    return fail("can't write " + path);
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_rows(png, const_cast<png_bytepp>(rows.data()), png_uint_32(rows.size()));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) {
    std::remove(path.c_str());
    return fail("can't write " + path + ": " + std::strerror(errno));
  }
  return true;
}

}  // namespace pelorin
