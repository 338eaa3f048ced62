#pragma once
// The map's colours: the Style1 palette and the Style2 blue-to-red ramp over a display
// range. Pure arithmetic, so the 3-D map and the picture export colour a value alike.
#include <algorithm>
#include <array>
#include <cstdint>

namespace pelorin {

// One palette entry, channels 0..255.
struct PaletteRgb {
  int32_t r, g, b;
};

inline constexpr int32_t kPaletteSize = 50;
inline constexpr int32_t kPaletteBandWidth = 5;   // values per palette entry
inline constexpr int32_t kPaletteLastIndex = 49;  // highest palette index

// The Style1 palette (the map's legend draws it too). Entries 25..49 repeat 0..24.
extern const std::array<PaletteRgb, kPaletteSize> kPalette;

// Palette entry of a value: value / bandWidth, capped at lastIndex. Negative values
// get entry 0, and the result always lies within the palette.
inline int32_t PaletteIndex(int32_t value, int32_t bandWidth = kPaletteBandWidth,
                            int32_t lastIndex = kPaletteLastIndex) {
  if (value <= 0 || bandWidth <= 0) return 0;
  return std::min(value / bandWidth, std::clamp(lastIndex, 0, kPaletteSize - 1));
}

// A colour with float channels as the GL colour array takes them (nominally 0..1).
struct RgbF {
  float r, g, b;
};

// The Style2 ramp over the map's display range lo..hi: blue at lo, cyan at a quarter,
// green at half, yellow at three quarters, red at hi. The constants depend only on the
// range, so a build makes one ramp and applies it to every cell.
class ColourRamp {
 public:
  ColourRamp(int32_t lo, int32_t hi);
  RgbF operator()(int32_t value) const {
    const int64_t v = value;
    int64_t red;
    if (v > threeQuarter_) red = 255;
    else if (v < half_) red = 0;
    else red = (v - half_) * step_;

    int64_t green;
    if (v > threeQuarter_) green = std::max<int64_t>(255 - (v - threeQuarter_) * step_, 0);
    else if (v < quarter_) green = std::max<int64_t>((v - lo_) * step_, 0);
    else green = 255;

    int64_t blue;
    if (v > half_) blue = 0;
    else if (v < quarter_) blue = 255;
    else blue = 255 - (v - quarter_) * step_;

    return {Channel(red), Channel(green), Channel(blue)};
  }

  int64_t Step() const { return step_; }
  int64_t Quarter() const { return quarter_; }
  int64_t Half() const { return half_; }
  int64_t ThreeQuarter() const { return threeQuarter_; }

 private:
  static float Channel(int64_t c) { return static_cast<float>(c) / 255.0f; }

  // 64-bit so that extreme cell values cannot overflow the channel arithmetic.
  int64_t lo_, step_, quarter_, half_, threeQuarter_;
};

// What the map's ColourOf answers for a value: its palette index and its ramp colour.
struct ValueColour {
  int32_t paletteIndex;
  RgbF colour;
};

ValueColour ColourOf(int32_t value, int32_t rangeMin, int32_t rangeMax,
                     int32_t bandWidth = kPaletteBandWidth,
                     int32_t lastIndex = kPaletteLastIndex);

// The palette with each channel divided by 255, as the Style1 mesh colours it.
extern const std::array<RgbF, kPaletteSize> kPaletteColours;

// Palette entry i as float channels; an index outside the palette is clamped into it.
inline RgbF PaletteColour(int32_t index) {
  return kPaletteColours[static_cast<size_t>(std::clamp(index, 0, kPaletteSize - 1))];
}

}  // namespace pelorin
