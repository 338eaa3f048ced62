// Display range (maximum, minimum) per source type, as read from and written to the
// settings file, and the slider encoding the main window uses for a range.
#pragma once

#include <array>
#include <cstdint>

namespace pelorin {

struct RangePair {
  int32_t max = 250;
  int32_t min = 0;
  friend bool operator==(const RangePair&, const RangePair&) = default;
};

// Upper end 300 at most; a lower end above 225 falls back to 0; the two ends stay at
// least 25 apart (the upper end moves up).
RangePair ClampRangePair(RangePair range);

// The maximum slider shows range value + 100, the minimum slider range value + 200;
// both sliders run from 0 to 400.
inline constexpr int32_t kRangeSliderLimit = 400;
inline constexpr int32_t MaxSliderPosition(int32_t rangeMax) { return rangeMax + 100; }
inline constexpr int32_t MinSliderPosition(int32_t rangeMin) { return rangeMin + 200; }
inline constexpr int32_t RangeMaxFromSlider(int32_t position) { return position - 100; }
inline constexpr int32_t RangeMinFromSlider(int32_t position) { return position - 200; }

// One pair for each of Loop, Cycle, Base, RawData, RawDiff and Diff. None and any unknown
// type share the RawDiff pair.
class SourceRangeTable {
 public:
  RangePair& For(int32_t type);
  const RangePair& For(int32_t type) const;

  friend bool operator==(const SourceRangeTable&, const SourceRangeTable&) = default;

 private:
  // Indexed by type 1 to 6; slot 0 is unused.
  std::array<RangePair, 7> pairs_{};
};

}  // namespace pelorin
