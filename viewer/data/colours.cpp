#include "data/colours.h"

#include <algorithm>

namespace pelorin {
namespace {

constexpr std::array<PaletteRgb, 25> kBaseColours = {{
    {220, 220, 220}, {135, 206, 250}, {0, 191, 255},   {255, 0, 0},     {0, 0, 255},
    {0, 139, 69},    {0, 255, 127},   {255, 255, 0},   {155, 48, 255},  {255, 165, 0},
    {30, 144, 255},  {238, 64, 0},    {139, 0, 0},     {85, 26, 139},   {255, 215, 0},
    {255, 0, 255},   {255, 187, 255}, {139, 131, 134}, {205, 193, 197}, {139, 121, 94},
    {205, 179, 139}, {224, 238, 224}, {255, 222, 173}, {193, 205, 193}, {238, 207, 161},
}};

constexpr std::array<PaletteRgb, kPaletteSize> MakePalette() {
  std::array<PaletteRgb, kPaletteSize> palette{};
  for (size_t i = 0; i < palette.size(); ++i) palette[i] = kBaseColours[i % kBaseColours.size()];
  return palette;
}

constexpr std::array<RgbF, kPaletteSize> MakePaletteColours() {
  std::array<RgbF, kPaletteSize> colours{};
  const auto palette = MakePalette();
  for (size_t i = 0; i < colours.size(); ++i) {
    colours[i] = {static_cast<float>(palette[i].r) / 255.0f,
                  static_cast<float>(palette[i].g) / 255.0f,
                  static_cast<float>(palette[i].b) / 255.0f};
  }
  return colours;
}

}  // namespace

const std::array<PaletteRgb, kPaletteSize> kPalette = MakePalette();
const std::array<RgbF, kPaletteSize> kPaletteColours = MakePaletteColours();

ColourRamp::ColourRamp(int32_t lo, int32_t hi) : lo_(lo) {
  // A span under 4 would make the quarter 0 and the step a division by zero.
  const int64_t span = std::max<int64_t>(int64_t{hi} - lo, 4);
  const int64_t q = span / 4;
  step_ = 255 / q;
  quarter_ = lo_ + q;
  half_ = lo_ + span / 2;
  threeQuarter_ = lo_ + (3 * span) / 4;
}

ValueColour ColourOf(int32_t value, int32_t rangeMin, int32_t rangeMax, int32_t bandWidth,
                     int32_t lastIndex) {
  return {PaletteIndex(value, bandWidth, lastIndex), ColourRamp(rangeMin, rangeMax)(value)};
}

}  // namespace pelorin
