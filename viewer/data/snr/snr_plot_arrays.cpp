#include "data/snr/snr_plot_arrays.h"

#include <vector>

namespace pelorin {

namespace {

// Writes one profile of n values starting at cell `base` along the axis: n - 1 segments.
void WriteProfile(const std::vector<int32_t>& values, int32_t base, float step, SnrRgb colour,
                  std::span<float> vertices, std::span<float> colours, size_t& at) {
  auto put = [&](float x, float y) {
    vertices[at] = x;
    vertices[at + 1] = y;
    vertices[at + 2] = 0.0f;
    colours[at] = colour.r;
    colours[at + 1] = colour.g;
    colours[at + 2] = colour.b;
    at += 3;
  };
  for (size_t i = 0; i + 1 < values.size(); ++i) {
    const int64_t b = int64_t{base} + static_cast<int64_t>(i);
    put(static_cast<float>(b) * step, static_cast<float>(values[i]));
    put(static_cast<float>(b + 1) * step, static_cast<float>(values[i + 1]));
  }
}

bool SameSize(const EdgeBuffers& a, const EdgeBuffers& b) {
  return a.width == b.width && a.height == b.height && a.x1Track.size() == b.x1Track.size() &&
         a.x2Track.size() == b.x2Track.size() && a.y1Track.size() == b.y1Track.size() &&
         a.y2Track.size() == b.y2Track.size();
}

bool Complete(const EdgeBuffers& e) {
  const auto w = static_cast<size_t>(e.width), h = static_cast<size_t>(e.height);
  return e.x1Track.size() == h && e.x2Track.size() == h && e.y1Track.size() == w &&
         e.y2Track.size() == w;
}

}  // namespace

size_t SnrPlotFloats(int32_t width, int32_t height) {
  if (width < 1 || height < 1) return 0;
  return 36 * (static_cast<size_t>(width) + static_cast<size_t>(height) - 2);
}

float SnrPlotStep(int32_t width, int32_t height) {
  const int64_t cells = 2 * (int64_t{width} + height);
  return cells > 0 ? kSnrPlotLength / static_cast<float>(cells) : 0.0f;
}

EdgeBuffers CurrentEdges(const int32_t* cells, int32_t width, int32_t height, const SnrPins& pins) {
  EdgeBuffers e(width, height);
  UpdateEdgeTrackers(e, cells, width, height, pins);
  return e;
}

size_t BuildSnrPlotArrays(const EdgeBuffers& current, const EdgeBuffers& noise,
                          const EdgeBuffers& signal, std::span<float> vertices,
                          std::span<float> colours) {
  const int32_t w = current.width, h = current.height;
  const size_t total = SnrPlotFloats(w, h);
  if (total == 0 || !Complete(current) || !SameSize(current, noise) || !SameSize(current, signal) ||
      vertices.size() < total || colours.size() < total) {
    return 0;
  }
  const float step = SnrPlotStep(w, h);
  const std::array<const EdgeBuffers*, 3> series = {&current, &noise, &signal};
  size_t at = 0;
  for (size_t k = 0; k < series.size(); ++k) {
    const EdgeBuffers& e = *series[k];
    const SnrRgb colour = kSnrSeriesColours[k];
    WriteProfile(e.y1Track, 0, step, colour, vertices, colours, at);
    WriteProfile(e.x1Track, w, step, colour, vertices, colours, at);
    WriteProfile(e.y2Track, w + h, step, colour, vertices, colours, at);
    WriteProfile(e.x2Track, 2 * w + h, step, colour, vertices, colours, at);
  }
  return at;
}

SnrAxes BuildSnrAxes(int32_t width, int32_t height) {
  SnrAxes axes;
  const float s = SnrPlotStep(width, height);
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  const std::array<float, 4> uprights = {0.0f, w * s, (w + h) * s, (2 * w + h) * s};
  size_t at = 0;
  auto put = [&](float x, float y, SnrRgb c) {
    axes.points[at] = x;
    axes.points[at + 1] = y;
    axes.points[at + 2] = 0.0f;
    axes.colours[at] = c.r;
    axes.colours[at + 1] = c.g;
    axes.colours[at + 2] = c.b;
    at += 3;
  };
  const SnrRgb white{1.0f, 1.0f, 1.0f}, green{0.0f, 1.0f, 0.0f};
  put(0.0f, 0.0f, white);
  put(kSnrPlotLength, 0.0f, white);
  for (float x : uprights) {
    put(x, 0.0f, green);
    put(x, 50.0f, green);
  }
  return axes;
}

}  // namespace pelorin
