#include "data/snr/snr_evaluation.h"

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <vector>

#include "data/source_type.h"

namespace pelorin {

namespace {

const char* LineName(SnrLine line) {
  switch (line) {
    case SnrLine::X1: return "X1";
    case SnrLine::X2: return "X2";
    case SnrLine::Y1: return "Y1";
    case SnrLine::Y2: return "Y2";
  }
  return "";
}

const std::vector<int32_t>& Track(const EdgeBuffers& b, SnrLine line) {
  switch (line) {
    case SnrLine::X1: return b.x1Track;
    case SnrLine::X2: return b.x2Track;
    case SnrLine::Y1: return b.y1Track;
    case SnrLine::Y2: return b.y2Track;
  }
  return b.x1Track;
}

bool InRange(int64_t index, int32_t count) { return index >= 0 && index < count; }

}  // namespace

bool ShouldEvaluateSnr(int32_t sourceType, int32_t frameCount, int32_t untouchedCount) {
  return sourceType == kSourceDiff && frameCount > untouchedCount;
}

bool SnrLineInFrame(SnrLine line, const SnrPins& pins, int32_t width, int32_t height) {
  switch (line) {
    case SnrLine::X1: return InRange(pins.x1, width);
    case SnrLine::X2: return InRange(int64_t{width} - 1 + pins.x2, width);
    case SnrLine::Y1: return InRange(pins.y1, height);
    case SnrLine::Y2: return InRange(int64_t{height} - 1 + pins.y2, height);
  }
  return false;
}

SnrResults EvaluateSnr(const EdgeBuffers& noise, const EdgeBuffers& signal, const SnrPins& pins) {
  SnrResults results;
  for (SnrLine line : kSnrLines) {
    SnrLineResult& r = results[static_cast<size_t>(line)];
    const std::vector<int32_t>& a = Track(noise, line);
    const std::vector<int32_t>& b = Track(signal, line);
    const size_t n = std::min(a.size(), b.size());
    r.inFrame = n > 0 && SnrLineInFrame(line, pins, noise.width, noise.height);
    if (!r.inFrame) continue;
    float smallest = FLT_MAX;
    size_t at = 0;
    for (size_t i = 0; i < n; ++i) {
      const float ratio = static_cast<float>(int64_t{b[i]} - a[i]) / static_cast<float>(a[i]);
      if (ratio < smallest) {  // false for NaN
        smallest = ratio;
        at = i;
      }
    }
    r.position = static_cast<int32_t>(at);
    r.noise = a[at];
    r.signal = b[at];
    r.snr = (static_cast<double>(r.signal) - r.noise) / static_cast<double>(r.noise);
  }
  return results;
}

SnrLineTexts SnrResultTexts(SnrLine line, const SnrLineResult& result) {
  SnrLineTexts t;
  char text[64];
  if (!result.inFrame) {
    std::snprintf(text, sizeof text, "%s out of frame", LineName(line));
    t.signal = text;
    t.noise = "noise : -";
    t.snr = "SNR : -";
    t.index = "Index:-";
    return t;
  }
  std::snprintf(text, sizeof text, "%s signal : %d", LineName(line), result.signal);
  t.signal = text;
  std::snprintf(text, sizeof text, "noise : %d", result.noise);
  t.noise = text;
  std::snprintf(text, sizeof text, "SNR : %.2f", result.snr);
  t.snr = text;
  std::snprintf(text, sizeof text, "Index:%d", result.position);
  t.index = text;
  return t;
}

}  // namespace pelorin
