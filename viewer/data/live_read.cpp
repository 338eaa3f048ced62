// InstantModel::ReadFrame: read every active chip's block, join the blocks into one
// frame with the lines the layout shows, turn it over, filter it, publish it.
#include <algorithm>
#include <cstdio>

#include "data/diagnostics.h"
#include "data/frame_filter.h"
#include "data/live_model.h"

namespace pelorin {

namespace {

uint32_t Stride(int32_t senseCount) { return (static_cast<uint32_t>(senseCount) + 3u) & ~3u; }

}  // namespace

bool InstantModel::ReadChips(std::span<uint8_t> a, std::span<uint8_t> b, int32_t& errors) {
  const int32_t type = GetSourceType();
  errors = 0;
  if (type == kSourceNone) return true;
  for (size_t c = 0; c < active_.chips.size(); ++c) {
    const ChipInfo& chip = active_.chips[c];
    io_.SetChipIndex(chip.chipIndex);
    const uint32_t stride = Stride(chip.senseCount);
    const uint32_t size = static_cast<uint32_t>(chip.driveCount) * stride;
    if (a.size() < size || (type == kSourceRawDiff && b.size() < size)) {
      Diagnostic("Frame buffer of %zu bytes too small for a chip block of %u bytes.\n", a.size(), size);
      return false;
    }
    std::vector<int32_t>& cells = chipState_[c].cells;
    const uint32_t sense = static_cast<uint32_t>(chip.senseCount);
    uint32_t got = 0;
    if (type == kSourceRawDiff) {
      const int32_t rawErrors = ReadWithRetry(device_, a, kAddrRawData, size, got);
      if (rawErrors >= kReadAttempts) return false;
      const int32_t baseErrors = ReadWithRetry(device_, b, kAddrBase, size, got);
      if (baseErrors >= kReadAttempts) return false;
      for (uint32_t i = 0; i < size; ++i) {
        const uint32_t k = i % stride;
        if (k < sense) cells[(i / stride) * sense + k] = static_cast<int32_t>(b[i]) - static_cast<int32_t>(a[i]);
      }
      errors += rawErrors + baseErrors;
    } else {
      const int32_t readErrors = ReadWithRetry(device_, a, readAddress_, size, got);
      if (readErrors >= kReadAttempts) return false;
      for (uint32_t i = 0; i < size; ++i) {
        const uint32_t k = i % stride;
        if (k < sense) cells[(i / stride) * sense + k] = a[i];
      }
      errors += readErrors;
    }
  }
  return true;
}

void InstantModel::JoinChips(LiveFrame& frame) const {
  const bool reverse = reverse_.load(std::memory_order_relaxed);
  const size_t height = static_cast<size_t>(frame.height);
  int32_t base = 0;
  for (size_t c = 0; c < active_.chips.size(); ++c) {
    const ChipInfo& chip = active_.chips[c];
    const ChipState& state = chipState_[c];
    int32_t row = 0;
    for (int32_t r = 0; r < chip.driveCount && row < frame.width; ++r) {
      if (!state.driveVisible[static_cast<size_t>(r)]) continue;
      int32_t k2 = 0;
      for (int32_t k = 0; k < chip.senseCount; ++k) {
        if (!state.senseVisible[static_cast<size_t>(k)]) continue;
        const int32_t v = state.cells[static_cast<size_t>(r) * static_cast<size_t>(chip.senseCount) + static_cast<size_t>(k)];
        const int32_t y = base + (reverse ? state.visibleSense - 1 - k2 : k2);
        frame.cells[static_cast<size_t>(row) * height + static_cast<size_t>(y)] = v;
        frame.max = std::max(frame.max, v);
        frame.min = std::min(frame.min, v);
        frame.sum += v;
        ++k2;
      }
      ++row;
    }
    base += state.visibleSense;
  }
}

bool InstantModel::ReadFrame() { return ReadFrame(bufferA_, bufferB_); }

bool InstantModel::ReadFrame(std::span<uint8_t> a, std::span<uint8_t> b) {
  if (chipState_.empty() || active_.width <= 0 || active_.height <= 0) return false;
  int32_t errors = 0;
  if (!ReadChips(a, b, errors)) return false;
  const int32_t number = frameCounter_.load(std::memory_order_relaxed) + 1;

  auto frame = std::make_shared<LiveFrame>();
  frame->width = active_.width;
  frame->height = active_.height;
  const size_t cellCount = static_cast<size_t>(frame->width) * static_cast<size_t>(frame->height);
  frame->cells.assign(cellCount, 0);
  frame->mask = mask_;
  frame->number = number;
  frame->readErrors = errors;
  JoinChips(*frame);

  if (turnOver_.load(std::memory_order_relaxed)) {
    const size_t h = static_cast<size_t>(frame->height);
    for (size_t x = 0; x < static_cast<size_t>(frame->width) / 2; ++x) {
      const size_t mirror = static_cast<size_t>(frame->width) - 1 - x;
      std::swap_ranges(frame->cells.begin() + static_cast<std::ptrdiff_t>(x * h),
                       frame->cells.begin() + static_cast<std::ptrdiff_t>((x + 1) * h),
                       frame->cells.begin() + static_cast<std::ptrdiff_t>(mirror * h));
    }
  }
  if (GetSourceType() == kSourceDiff && GetFilterEnabled()) {
    const size_t workCells = static_cast<size_t>(WorkRows()) * static_cast<size_t>(WorkColumns());
    ApplyFilter(frame->width, frame->height, GetFilterThreshold(), Kernel(), frame->cells,
                std::span<int32_t>(WorkData(), workCells));
  }
  frame->average = static_cast<int32_t>(frame->sum / static_cast<int64_t>(cellCount));

  // The recording takes each frame's count from the frame itself; the list keeps only the
  // recent frames, so a run of hours does not grow without end.
  if (readErrors_.size() >= 2 * kReadErrorHistory)
    readErrors_.erase(readErrors_.begin(),
                      readErrors_.end() - static_cast<std::ptrdiff_t>(kReadErrorHistory) + 1);
  readErrors_.push_back(errors);
  {
    std::lock_guard lock(publishMutex_);
    published_ = std::move(frame);
  }
  frameCounter_.store(number, std::memory_order_release);
  return true;
}

}  // namespace pelorin
