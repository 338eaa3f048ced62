#include "data/view_controls/range_sliders.h"

#include <algorithm>

namespace pelorin {

int32_t ClampSliderPosition(int32_t position) {
  return std::clamp(position, int32_t{0}, kRangeSliderLimit);
}

RangeSliders CoupleRangeSliders(RangeSliders s, RangeEnd moved) {
  s.maxPosition = ClampSliderPosition(s.maxPosition);
  s.minPosition = ClampSliderPosition(s.minPosition);
  // The two encodings differ by 100, so a gap of 50 in values is a gap of 50 the other
  // way round in positions: the minimum's position may not exceed the maximum's + 50.
  if (moved == RangeEnd::Max) {
    if (s.maxPosition < s.minPosition - kRangeSliderGap)
      s.minPosition = s.maxPosition + kRangeSliderGap;
  } else {
    if (s.minPosition >= s.maxPosition + kRangeSliderGap)
      s.maxPosition = s.minPosition - kRangeSliderGap;
  }
  return s;
}

RangeSliders StepRangeSlider(RangeSliders s, RangeEnd end, int32_t step) {
  if (end == RangeEnd::Max) {
    s.maxPosition = ClampSliderPosition(s.maxPosition + step);
  } else {
    s.minPosition = ClampSliderPosition(s.minPosition + step);
  }
  return CoupleRangeSliders(s, end);
}

}  // namespace pelorin
