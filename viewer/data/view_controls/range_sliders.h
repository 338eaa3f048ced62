// The two display-range sliders of the main window and how they hold each other apart.
// Positions encode range values (see RangeMaxFromSlider); moving one slider so that the
// range would shrink below 50 pushes the other one to exactly 50 away.
#pragma once

#include <cstdint>

#include "data/source_range_table.h"

namespace pelorin {

inline constexpr int32_t kRangeSliderGap = 50;

struct RangeSliders {
  int32_t maxPosition = MaxSliderPosition(250);
  int32_t minPosition = MinSliderPosition(0);

  int32_t RangeMax() const { return RangeMaxFromSlider(maxPosition); }
  int32_t RangeMin() const { return RangeMinFromSlider(minPosition); }
  friend bool operator==(const RangeSliders&, const RangeSliders&) = default;
};

// Which slider the user moved.
enum class RangeEnd { Max, Min };

// Sliders keep their positions within 0 .. kRangeSliderLimit.
int32_t ClampSliderPosition(int32_t position);

// After `moved` took its (clamped) position: the other slider pushed away where the two
// range values came closer than 50.
RangeSliders CoupleRangeSliders(RangeSliders sliders, RangeEnd moved);

// One step of a slider by the keyboard (+1 or -1), clamped and then coupled.
RangeSliders StepRangeSlider(RangeSliders sliders, RangeEnd end, int32_t step);

}  // namespace pelorin
