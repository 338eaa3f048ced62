#include "data/source_range_table.h"

#include "data/source_type.h"

namespace pelorin {

RangePair ClampRangePair(RangePair range) {
  if (range.max > 300) range.max = 300;
  if (range.min > 225) range.min = 0;
  // 64-bit so a very negative upper end cannot overflow the subtraction.
  if (static_cast<int64_t>(range.min) > static_cast<int64_t>(range.max) - 25) range.max = range.min + 25;
  return range;
}

RangePair& SourceRangeTable::For(int32_t type) {
  if (type < kSourceLoop || type > kLastSourceType) type = kSourceRawDiff;
  return pairs_[static_cast<size_t>(type)];
}

const RangePair& SourceRangeTable::For(int32_t type) const {
  if (type < kSourceLoop || type > kLastSourceType) type = kSourceRawDiff;
  return pairs_[static_cast<size_t>(type)];
}

}  // namespace pelorin
