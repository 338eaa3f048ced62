// The SNR plot's geometry, built without a window: three series (the current frame, the
// noise maxima, the signal maxima), each the four line profiles Y1, X1, Y2, X2 side by
// side along a 105-unit axis, as GL_LINES segments with one colour per vertex. Values are
// plotted unscaled (one value unit is one plot unit).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "data/acquisition/frame_figures.h"

namespace pelorin {

struct SnrRgb {
  float r, g, b;
};
// Series colours: "Real-Time Data", noise, signal.
inline constexpr std::array<SnrRgb, 3> kSnrSeriesColours = {
    SnrRgb{1.0f, 0.647f, 0.0f}, SnrRgb{0.529f, 0.897f, 0.921f}, SnrRgb{1.0f, 1.0f, 0.0f}};
inline constexpr float kSnrPlotLength = 105.0f;

// Floats per array for a width x height first source: 36 x (width + height - 2).
size_t SnrPlotFloats(int32_t width, int32_t height);

// Plot units per cell along the axis: 105 / (2 (width + height)).
float SnrPlotStep(int32_t width, int32_t height);

// The four lines of one frame alone, under the trackers' max rule (from 0, so negative
// cells read 0). cells: width x height, x-major.
EdgeBuffers CurrentEdges(const int32_t* cells, int32_t width, int32_t height, const SnrPins& pins);

// Writes the three series one after another into the arrays. Returns the floats written
// per array: SnrPlotFloats of the current buffers' size, or 0 (nothing written) when the
// three buffers are not of one size or the arrays are too small.
size_t BuildSnrPlotArrays(const EdgeBuffers& current, const EdgeBuffers& noise,
                          const EdgeBuffers& signal, std::span<float> vertices,
                          std::span<float> colours);

// The axes: a white base line from 0 to 105, then four green uprights 50 units high
// where the Y1, X1, Y2 and X2 profiles start. 10 vertices, 3 floats each.
struct SnrAxes {
  std::array<float, 30> points{};
  std::array<float, 30> colours{};
};
SnrAxes BuildSnrAxes(int32_t width, int32_t height);

}  // namespace pelorin
