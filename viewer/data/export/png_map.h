#pragma once
// A frame as a heat map picture: one square of the map's Style2 colour ramp per cell,
// drive lines (x) from left to right and sense lines (y) from bottom to top as the map
// shows them from above, masked cells black, and beside it the ramp as a legend bar with
// the map's 25 value labels. Written as an 8-bit RGB PNG.
#include <cstdint>
#include <string>
#include <vector>

namespace pelorin {

struct HeatMap {
  int32_t width = 0;           // cells along x (drive lines)
  int32_t height = 0;          // cells along y (sense lines)
  std::vector<int32_t> cells;  // cell (x, y) at [x * height + y]
  std::vector<uint8_t> valid;  // same layout, 0 = masked; empty = every cell valid
  int32_t rangeMin = 0;        // the colour ramp's range
  int32_t rangeMax = 250;
};

struct RgbImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgb;  // rows top to bottom, 3 bytes per pixel
  // Pixel (px, py) from the top left; the caller keeps it inside the picture.
  const uint8_t* At(int32_t px, int32_t py) const {
    return &rgb[(size_t(py) * size_t(width) + size_t(px)) * 3];
  }
};

// Where the picture puts things, so callers and tests can find a cell or a label.
struct HeatMapLayout {
  int32_t cellSize = 0;  // pixels per cell side
  int32_t mapLeft = 0, mapTop = 0;
  int32_t barLeft = 0, barTop = 0, barWidth = 0, barHeight = 0;
  int32_t labelLeft = 0;
  // Top-left pixel of cell (x, y).
  int32_t CellLeft(int32_t x) const { return mapLeft + x * cellSize; }
  int32_t CellTop(int32_t y, int32_t height) const { return mapTop + (height - 1 - y) * cellSize; }
};

// The 25 legend values, from the bottom: rangeMin + (rangeMax - rangeMin) * i / 25.
std::vector<int32_t> LegendValues(int32_t rangeMin, int32_t rangeMax);

HeatMapLayout LayOutHeatMap(const HeatMap& map);
// Empty picture (width 0) when the map has no cells or its cell data do not fit its size.
RgbImage RenderHeatMap(const HeatMap& map);

// False with a reason in *error when the file cannot be written.
bool WritePng(const std::string& path, const RgbImage& image, std::string* error);

}  // namespace pelorin
