#include "data/acquisition/bad_frames.h"

#include <cstring>

#include "data/source_type.h"

namespace pelorin {

CellRange SourceCellRange(int32_t sourceType) {
  if (sourceType == kSourceRawDiff) return {-255, 255};
  return {0, 255};
}

BadFrameKind ClassifyFrame(const int32_t* cells, const int32_t* previous, size_t count, int32_t min,
                           int32_t max, int32_t sourceType) {
  // Source None reads nothing: its frames are zero by design.
  if (count == 0 || sourceType == kSourceNone) return BadFrameKind::None;
  const CellRange range = SourceCellRange(sourceType);
  if (min < range.min || max > range.max) return BadFrameKind::OutOfRange;
  const bool allZero = min == 0 && max == 0;
  const bool difference = sourceType == kSourceDiff || sourceType == kSourceRawDiff;
  if (allZero && !difference) return BadFrameKind::Zero;
  const bool calibration = sourceType == kSourceBase || sourceType == kSourceCycle;
  if (calibration || (difference && allZero) || previous == nullptr) return BadFrameKind::None;
  if (std::memcmp(cells, previous, count * sizeof(int32_t)) == 0) return BadFrameKind::Repeated;
  return BadFrameKind::None;
}

void BadFrameCounts::Count(BadFrameKind kind) {
  switch (kind) {
    case BadFrameKind::Zero: ++zero; break;
    case BadFrameKind::Repeated: ++repeated; break;
    case BadFrameKind::OutOfRange: ++outOfRange; break;
    case BadFrameKind::None: break;
  }
}

}  // namespace pelorin
