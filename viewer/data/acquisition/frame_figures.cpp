#include "data/acquisition/frame_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "data/source_range_table.h"

namespace pelorin {

namespace {

size_t At(int32_t x, int32_t y, int32_t height) {
  return static_cast<size_t>(x) * static_cast<size_t>(height) + static_cast<size_t>(y);
}

double Det3(double a, double b, double c, double d, double e, double f, double g, double h,
            double i) {
  return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

}  // namespace

float FrameAverage(int64_t sum, int32_t width, int32_t height) {
  const int64_t n = static_cast<int64_t>(width) * height;
  if (width <= 0 || height <= 0) return 0.0f;
  return static_cast<float>(sum / n);
}

float Flatness(const int32_t* cells, int32_t width, int32_t height) {
  if (cells == nullptr || width <= 0 || height <= 0) return 0.0f;
  // The sums are kept in 64 bits: a large panel of Cycle values overflows 32.
  int64_t sxx = 0, sxy = 0, sx = 0, syy = 0, sy = 0, sv = 0, svx = 0, svy = 0;
  for (int32_t x = 0; x < width; ++x) {
    for (int32_t y = 0; y < height; ++y) {
      const int64_t v = cells[At(x, y, height)];
      sxx += int64_t{x} * x;
      sxy += int64_t{x} * y;
      sx += x;
      syy += int64_t{y} * y;
      sy += y;
      sv += v;
      svx += v * x;
      svy += v * y;
    }
  }
  const double n = static_cast<double>(width) * height;
  const double m[3][3] = {{double(sxx), double(sxy), double(sx)},
                          {double(sxy), double(syy), double(sy)},
                          {double(sx), double(sy), n}};
  const double r[3] = {double(svx), double(svy), double(sv)};
  const double det = Det3(m[0][0], m[0][1], m[0][2], m[1][0], m[1][1], m[1][2], m[2][0],
                          m[2][1], m[2][2]);
  double a = 0.0, b = 0.0, c = double(sv) / n;
  if (det != 0.0) {
    a = Det3(r[0], m[0][1], m[0][2], r[1], m[1][1], m[1][2], r[2], m[2][1], m[2][2]) / det;
    b = Det3(m[0][0], r[0], m[0][2], m[1][0], r[1], m[1][2], m[2][0], r[2], m[2][2]) / det;
    c = Det3(m[0][0], m[0][1], r[0], m[1][0], m[1][1], r[1], m[2][0], m[2][1], r[2]) / det;
  }
  float total = 0.0f;
  for (int32_t x = 0; x < width; ++x) {
    for (int32_t y = 0; y < height; ++y) {
      total += static_cast<float>(std::fabs(a * x + b * y + c - cells[At(x, y, height)]));
    }
  }
  return total / static_cast<float>(n);
}

float StandardDeviation(const int32_t* cells, int32_t width, int32_t height, int32_t average) {
  if (cells == nullptr || width <= 0 || height <= 0) return 0.0f;
  float total = 0.0f;
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < n; ++i) {
    const float d = static_cast<float>(static_cast<int64_t>(cells[i]) - average);
    total += d * d;
  }
  return std::sqrt(total / static_cast<float>(n));
}

void FrameRateClock::Reset() {
  startTick_ = 0;
  lastElapsed_ = 0;
}

uint32_t FrameRateClock::Tick(uint32_t nowMs, int32_t frameCount) {
  uint32_t elapsed = 0;
  if (startTick_ == 0) {
    startTick_ = nowMs;
  } else {
    elapsed = nowMs - startTick_;  // modulo 2^32, as the tick count wraps
  }
  lastElapsed_ = elapsed;
  if (elapsed > 0) rate_ = static_cast<float>(frameCount) / static_cast<float>(elapsed) * 1000.0f;
  return elapsed;
}

EdgeBuffers::EdgeBuffers(int32_t w, int32_t h)
    : width(std::max(w, 0)),
      height(std::max(h, 0)),
      x1Track(static_cast<size_t>(height)),
      x2Track(static_cast<size_t>(height)),
      y1Track(static_cast<size_t>(width)),
      y2Track(static_cast<size_t>(width)) {}

void UpdateEdgeTrackers(EdgeBuffers& edges, const int32_t* cells, int32_t width,
                        int32_t height, const SnrPins& pins) {
  if (cells == nullptr || width <= 0 || height <= 0) return;
  // A frame of another size than the buffers' is measured only where both overlap.
  const int32_t rows = std::min(height, edges.height);
  const int32_t columns = std::min(width, edges.width);
  // In 64 bits: a pin typed near the int32 limits must fall outside the frame, not wrap.
  const int64_t x1 = pins.x1, x2 = int64_t{width} - 1 + pins.x2;
  const int64_t y1 = pins.y1, y2 = int64_t{height} - 1 + pins.y2;
  auto raise = [](int32_t& track, int32_t v) { track = std::max(track, v); };
  auto in = [](int64_t v, int32_t size) { return v >= 0 && v < size; };
  auto i32 = [](int64_t v) { return static_cast<int32_t>(v); };
  for (int32_t y = 0; y < rows; ++y) {
    const size_t row = static_cast<size_t>(y);
    if (in(x1, width)) raise(edges.x1Track[row], cells[At(i32(x1), y, height)]);
    if (in(x2, width)) raise(edges.x2Track[row], cells[At(i32(x2), y, height)]);
  }
  for (int32_t x = 0; x < columns; ++x) {
    const size_t column = static_cast<size_t>(x);
    if (in(y1, height)) raise(edges.y1Track[column], cells[At(x, i32(y1), height)]);
    if (in(y2, height)) raise(edges.y2Track[column], cells[At(x, i32(y2), height)]);
  }
}

std::optional<SliderPositions> AutoCenterSliders(int32_t runningMax, int32_t runningMin,
                                                 int32_t rangeMax, int32_t rangeMin,
                                                 int32_t shift) {
  const int64_t hi = int64_t{runningMax} + shift;
  const int64_t lo = int64_t{runningMin} - shift;
  const int64_t c = (int64_t{runningMax} + runningMin) / 2;
  const bool offShift = rangeMax != hi || rangeMin != lo;
  const bool offCentre = rangeMax != c + 25 || rangeMin != c - 25;
  if (!offShift || !offCentre) return std::nullopt;
  // Range values far beyond any slider are held where their positions cannot overflow.
  auto range = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
  };
  if (hi - lo > 50) {
    return SliderPositions{MaxSliderPosition(range(hi)), MinSliderPosition(range(lo))};
  }
  return SliderPositions{MaxSliderPosition(range(c + 25)), MinSliderPosition(range(c - 25))};
}

bool IsFrameRecorded(int32_t frameNumber, int32_t interval) {
  if (interval <= 1) return true;
  return frameNumber % interval == 1;
}

bool ChipSelectionIllegal(int32_t selected, int32_t detected, int32_t cascadeMode) {
  if (selected == -1) return false;
  if (cascadeMode == 1) return selected == 1 || (detected > 1 && selected - 4 > detected);
  if (cascadeMode == 0) return (detected > 1 && selected - 4 >= detected) || detected <= 1;
  return false;
}

std::string ChipSelectionName(int32_t selected) {
  if (selected == 1) return "master";
  if (selected >= 2) {
    char text[24];
    std::snprintf(text, sizeof text, "slave%d", selected - 4);
    return text;
  }
  return "unknow";
}

}  // namespace pelorin
