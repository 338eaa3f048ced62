#include "data/frame_model.h"

#include <algorithm>

namespace pelorin {

PelorinModel::PelorinModel() = default;
PelorinModel::~PelorinModel() = default;

void PelorinModel::AllocWorkBuffer(int32_t rows, int32_t columns) {
  if (HasWorkBuffer()) return;
  rows = std::max(rows, 0);
  columns = std::max(columns, 0);
  work_.assign(static_cast<size_t>(rows) * static_cast<size_t>(columns), 0);
  workRows_ = rows;
  workColumns_ = columns;
}

void PelorinModel::FreeWorkBuffer() {
  work_.clear();
  work_.shrink_to_fit();
  workRows_ = 0;
  workColumns_ = 0;
}

void PelorinModel::ClampRange() {
  const RangePair clamped = ClampRangePair({GetRangeMax(), GetRangeMin()});
  SetRangeMax(clamped.max);
  SetRangeMin(clamped.min);
}

bool PelorinModel::MergeFrameExtremes(int32_t frameMax, int32_t frameMin) {
  SetMaxValue(std::max(GetMaxValue(), frameMax));
  SetMinValue(std::min(GetMinValue(), frameMin));
  return true;
}

void ApplySourceType(PelorinModel& model, int32_t type, const SourceRangeTable& ranges) {
  model.SetName(std::string(SourceModelName(type)));
  const RangePair& range = ranges.For(type);
  model.SetRangeMax(range.max);
  model.SetRangeMin(range.min);
  model.SetReadAddress(SourceReadAddress(type));
}

FrameRecord::FrameRecord(int32_t width, int32_t height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      cells_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0),
      mask_(cells_.size(), 1) {}

}  // namespace pelorin
