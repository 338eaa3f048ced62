// The edge-line SNR of a Diff run, evaluated at Stop from the untouched (noise) and
// touched (signal) maxima of the four lines X1, X2, Y1 and Y2. Per line the cell of the
// smallest (signal - noise) / noise is reported; ratios that are NaN (0 / 0) or +infinity
// (signal over zero noise) never win, so a line of only such cells reports position 0.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "data/acquisition/frame_figures.h"

namespace pelorin {

enum class SnrLine { X1 = 0, X2 = 1, Y1 = 2, Y2 = 3 };
inline constexpr std::array kSnrLines = {SnrLine::X1, SnrLine::X2, SnrLine::Y1, SnrLine::Y2};

struct SnrLineResult {
  // False when the pin puts the line outside the frame: nothing was read for it.
  bool inFrame = false;
  int32_t position = 0;  // along the line: y for X1 and X2, x for Y1 and Y2
  int32_t noise = 0;     // untouched maximum at the position
  int32_t signal = 0;    // touched maximum at the position
  double snr = 0.0;      // (signal - noise) / noise; inf or NaN for noise 0
};

using SnrResults = std::array<SnrLineResult, 4>;  // indexed by SnrLine

// The run qualifies when model 0 held Diff data and read more frames than the untouched
// count (a run of exactly that many frames has no touched frame).
bool ShouldEvaluateSnr(int32_t sourceType, int32_t frameCount, int32_t untouchedCount);

// Whether the pins put the line inside a width x height frame.
bool SnrLineInFrame(SnrLine line, const SnrPins& pins, int32_t width, int32_t height);

SnrResults EvaluateSnr(const EdgeBuffers& noise, const EdgeBuffers& signal, const SnrPins& pins);

// The four texts of a line's statics: "X1 signal : %d", "noise : %d", "SNR : %.2f" and
// "Index:%d"; a line outside the frame reads "X1 out of frame" and "-" for the others.
struct SnrLineTexts {
  std::string signal, noise, snr, index;
};
SnrLineTexts SnrResultTexts(SnrLine line, const SnrLineResult& result);

}  // namespace pelorin
