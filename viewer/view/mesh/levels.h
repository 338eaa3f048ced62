#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace pelorin {

// Heights on the map run from kLowestHeight (at or below the range's low end) to
// kHighestHeight (at or above its high end).
inline constexpr float kLowestHeight = -11.0f;
inline constexpr float kHighestHeight = 89.0f;

namespace detail {

// Maps a non-negative distance above lo onto the height scale. A collapsed or inverted
// range (hi <= lo) would divide by zero or flip the map; callers keep hi - lo >= 25,
// but should one slip through, the range acts as a step at lo.
inline float ScaleHeight(float distance, int32_t lo, int32_t hi) {
  const int64_t span = int64_t{hi} - lo;
  if (span <= 0) return distance > 0.0f ? kHighestHeight : kLowestHeight;
  const float fraction = std::min(distance / static_cast<float>(span), 1.0f);
  return fraction * 100.0f + kLowestHeight;
}

}  // namespace detail

// Height of a cell value within the display range lo..hi (Style2 vertices).
inline float HeightOf(int32_t value, int32_t lo, int32_t hi) {
  // 64-bit difference: an extreme cell value must not overflow.
  const int64_t above = std::max<int64_t>(int64_t{value} - lo, 0);
  return detail::ScaleHeight(static_cast<float>(above), lo, hi);
}

// Height of the frame average within lo..hi: the reference level the zoom picker
// compares against and the level masked cells sit at. Unlike HeightOf, the distance
// above lo is truncated to a whole number first.
inline float RefLevel(float average, int32_t lo, int32_t hi) {
  float above = average - static_cast<float>(lo);
  if (!(above > 0.0f)) above = 0.0f;  // also catches NaN
  return detail::ScaleHeight(std::trunc(above), lo, hi);
}

}  // namespace pelorin
