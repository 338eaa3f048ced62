// The frame model: the abstract base every frame source shares (live device or recorded
// file), one stored frame (FrameRecord), and ApplySourceType, which gives a model the
// name, display range and read address of its source type.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "data/source_range_table.h"
#include "data/source_type.h"

namespace pelorin {

inline constexpr int32_t kNoMinimum = 0x7FFFFFFF;

// The custom 3 x 3 filter weights, [row][column].
using FilterKernel = std::array<std::array<int32_t, 3>, 3>;

// Common state of every frame source. The numbers the acquisition worker and the window
// both touch (extremes, range, type, flags) are atomics, so either thread may read them
// while the other writes; the name and the kernel change only while no worker runs.
class PelorinModel {
 public:
  PelorinModel();
  virtual ~PelorinModel();
  PelorinModel(const PelorinModel&) = delete;
  PelorinModel& operator=(const PelorinModel&) = delete;

  // Drops every frame and the per-acquisition state.
  virtual bool Clear() = 0;

  // Device address to read for the source type. Only a live model reads from the device,
  // so the base ignores it.
  virtual void SetReadAddress(uint32_t /*address*/) {}

  int32_t GetMaxValue() const { return maxValue_.load(std::memory_order_relaxed); }
  void SetMaxValue(int32_t v) { maxValue_.store(v, std::memory_order_relaxed); }
  int32_t GetMinValue() const { return minValue_.load(std::memory_order_relaxed); }
  void SetMinValue(int32_t v) { minValue_.store(v, std::memory_order_relaxed); }

  int32_t GetRangeMax() const { return rangeMax_.load(std::memory_order_relaxed); }
  void SetRangeMax(int32_t v) { rangeMax_.store(v, std::memory_order_relaxed); }
  int32_t GetRangeMin() const { return rangeMin_.load(std::memory_order_relaxed); }
  void SetRangeMin(int32_t v) { rangeMin_.store(v, std::memory_order_relaxed); }

  // Sets the type only; callers then call ApplySourceType.
  int32_t GetSourceType() const { return sourceType_.load(std::memory_order_relaxed); }
  void SetSourceType(int32_t v) { sourceType_.store(v, std::memory_order_relaxed); }

  const std::string& GetName() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  int32_t GetFilterThreshold() const { return filterThreshold_.load(std::memory_order_relaxed); }
  void SetFilterThreshold(int32_t v) { filterThreshold_.store(v, std::memory_order_relaxed); }
  int32_t GetFilterType() const { return filterType_.load(std::memory_order_relaxed); }
  void SetFilterType(int32_t v) { filterType_.store(v, std::memory_order_relaxed); }
  bool GetFilterEnabled() const { return filterEnabled_.load(std::memory_order_relaxed); }
  void SetFilterEnabled(bool v) { filterEnabled_.store(v, std::memory_order_relaxed); }

  bool GetVisible() const { return visible_.load(std::memory_order_relaxed); }
  void SetVisible(bool v) { visible_.store(v, std::memory_order_relaxed); }

  FilterKernel& Kernel() { return kernel_; }
  const FilterKernel& Kernel() const { return kernel_; }

  // Allocates the zero-filled work buffer (rows x columns) if there is none yet; an
  // existing buffer stays as it is. Negative sizes count as 0.
  void AllocWorkBuffer(int32_t rows, int32_t columns);
  void FreeWorkBuffer();
  int32_t WorkRows() const { return workRows_; }
  int32_t WorkColumns() const { return workColumns_; }
  bool HasWorkBuffer() const { return !work_.empty(); }
  // Row-major, WorkRows() x WorkColumns(); the caller keeps to the size.
  int32_t* WorkData() { return work_.data(); }
  int32_t& WorkCell(int32_t row, int32_t column) {
    return work_[static_cast<size_t>(row) * static_cast<size_t>(workColumns_) + static_cast<size_t>(column)];
  }

  // Keeps the display range usable after loading it from the settings.
  void ClampRange();

  // Widens the running extremes by one frame's; returns true.
  bool MergeFrameExtremes(int32_t frameMax, int32_t frameMin);

 private:
  FilterKernel kernel_{};
  std::atomic<int32_t> maxValue_{0};
  std::atomic<int32_t> minValue_{kNoMinimum};
  std::atomic<int32_t> rangeMax_{0};
  std::atomic<int32_t> rangeMin_{0};
  std::atomic<int32_t> sourceType_{kSourceBase};
  std::atomic<int32_t> filterThreshold_{0};
  std::atomic<int32_t> filterType_{0};
  std::vector<int32_t> work_;
  std::atomic<bool> filterEnabled_{false};
  std::atomic<bool> visible_{true};
  std::string name_;
  int32_t workRows_ = 0;
  int32_t workColumns_ = 0;
};

// Gives the model the name of the type, its display range from the table and, for a
// live model, the address to read. The caller sets the source type itself.
void ApplySourceType(PelorinModel& model, int32_t type, const SourceRangeTable& ranges);

// One stored frame: width rows (drive lines, first index x) of height values (sense
// lines, second index y), with a valid mask (1 = value, 0 = masked).
class FrameRecord {
 public:
  // Negative sizes count as 0. Cells start at 0, the mask at 1.
  FrameRecord(int32_t width, int32_t height);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

  bool Contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  // The caller keeps (x, y) inside the grid.
  int32_t& Cell(int32_t x, int32_t y) { return cells_[Index(x, y)]; }
  int32_t Cell(int32_t x, int32_t y) const { return cells_[Index(x, y)]; }
  void SetCellValid(int32_t x, int32_t y, bool valid) { mask_[Index(x, y)] = valid ? 1 : 0; }
  // The mask byte, or 0 outside the grid.
  uint8_t CellValid(int32_t x, int32_t y) const { return Contains(x, y) ? mask_[Index(x, y)] : 0; }
  // Cells and mask in one block each, cell (x, y) at x * Height() + y: the map's mesh
  // reads them in place.
  const int32_t* CellData() const { return cells_.data(); }
  const uint8_t* MaskData() const { return mask_.data(); }

  float average = 0.0f;    // mean over all cells, masked cells counted as 0
  int32_t max = 0;         // largest valid cell value
  int32_t min = kNoMinimum;  // smallest valid cell value

 private:
  size_t Index(int32_t x, int32_t y) const {
    return static_cast<size_t>(x) * static_cast<size_t>(height_) + static_cast<size_t>(y);
  }
  int32_t width_;
  int32_t height_;
  std::vector<int32_t> cells_;
  std::vector<uint8_t> mask_;
};

}  // namespace pelorin
