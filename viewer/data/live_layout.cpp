// InstantModel::PrepareFrameBuffers: which chips form the frame, which of their drive and
// sense lines are shown, which cells are masked, and the buffers of the acquisition.
// Every number from the hide and mask lists is checked against the lines the chip or the
// frame has; one beyond them is ignored.
#include <algorithm>

#include "data/live_model.h"
#include "data/number_list.h"

namespace pelorin {

namespace {

uint32_t Stride(int32_t senseCount) { return (static_cast<uint32_t>(senseCount) + 3u) & ~3u; }

int32_t CountOnes(const std::vector<uint8_t>& flags) {
  return static_cast<int32_t>(std::count(flags.begin(), flags.end(), uint8_t{1}));
}

}  // namespace

bool InstantModel::DiffWithOverlap(const ChipInfo& chip) const {
  return GetSourceType() == kSourceDiff && chip.overlapIncluded == 1;
}

int32_t InstantModel::ShiftedSenseLine(const ChipInfo& chip, int32_t t) const {
  return t - 1 + (DiffWithOverlap(chip) ? chip.leadOverlap : 0);
}

uint32_t InstantModel::MaxBlockBytes() const {
  uint32_t most = 0;
  for (const ChipInfo& chip : active_.chips) {
    most = std::max(most, static_cast<uint32_t>(chip.driveCount) * Stride(chip.senseCount));
  }
  return most;
}

bool InstantModel::FillActiveSet() {
  active_.Reset(detected_.slaveCount, detected_.cascadeMode);
  const int32_t selected = GetSelectedChip();
  if (selected != -1 || detected_.singleChip) {
    const auto it = selected != -1
                        ? std::find_if(detected_.chips.begin(), detected_.chips.end(),
                                       [&](const ChipInfo& c) { return c.chipIndex == selected; })
                        : detected_.chips.begin();
    if (it == detected_.chips.end()) return false;
    active_.chips.push_back(*it);
  } else {
    active_.chips = detected_.chips;
  }
  // A chip whose Diff data include the overlap lines sends them in every row, whether it
  // is read alone or with the others.
  for (ChipInfo& chip : active_.chips) {
    if (DiffWithOverlap(chip)) chip.senseCount += chip.leadOverlap + chip.tailOverlap;
  }
  if (active_.chips.empty()) return false;
  maxSense_ = 0;
  maxDrive_ = 0;
  for (const ChipInfo& chip : active_.chips) {
    // A chip without lines would make an empty frame (or, after hiding, a negative one).
    if (chip.driveCount <= 0 || chip.senseCount <= 0) return false;
    active_.height += chip.senseCount;
    maxSense_ = std::max(maxSense_, chip.senseCount);
    maxDrive_ = std::max(maxDrive_, chip.driveCount);
  }
  active_.width = active_.chips.front().driveCount;
  return true;
}

void InstantModel::HideDriveLines() {
  const std::vector<int32_t> hidden = hideOn_ ? ParseNumberList(hideDriveList_) : std::vector<int32_t>{};
  for (size_t c = 0; c < active_.chips.size(); ++c) {
    ChipState& state = chipState_[c];
    const int32_t drive = active_.chips[c].driveCount;
    state.driveVisible.assign(static_cast<size_t>(drive), 1);
    for (const int32_t t : hidden) {
      if (t <= drive) state.driveVisible[static_cast<size_t>(t - 1)] = 0;
    }
    state.visibleDrive = CountOnes(state.driveVisible);
  }
  active_.width = chipState_.front().visibleDrive;
}

void InstantModel::HideSenseLines() {
  const uint8_t start = hideShow_ ? 0 : 1;
  const uint8_t listed = hideShow_ ? 1 : 0;
  for (size_t c = 0; c < active_.chips.size(); ++c) {
    const ChipInfo& chip = active_.chips[c];
    std::vector<uint8_t>& lines = chipState_[c].senseVisible;
    lines.assign(static_cast<size_t>(chip.senseCount), start);
    if (GetSourceType() == kSourceDiff && hideOverlap_) {
      const int32_t sense = chip.senseCount;
      for (int32_t k = 0; k < std::min(chip.leadOverlap, sense); ++k) lines[static_cast<size_t>(k)] = 0;
      for (int32_t k = std::max(sense - chip.tailOverlap, 0); k < sense; ++k) lines[static_cast<size_t>(k)] = 0;
    }
  }

  if (hideOn_) {
    const std::vector<int32_t> numbers = ParseNumberList(hideSenseList_);
    // Sets line `line` of chip c to the listed state, if the chip has it.
    const auto mark = [&](size_t c, int32_t line) {
      std::vector<uint8_t>& lines = chipState_[c].senseVisible;
      if (line >= 0 && static_cast<size_t>(line) < lines.size()) lines[static_cast<size_t>(line)] = listed;
    };
    if (hideChip_ == "LAST") {
      const size_t last = active_.chips.size() - 1;
      for (const int32_t t : numbers) {
        if (t <= active_.chips[last].senseCount) mark(last, ShiftedSenseLine(active_.chips[last], t));
      }
    } else if (hideChip_ == "ALL") {
      // The numbers count the sense lines of all chips in frame order.
      for (int32_t t : numbers) {
        size_t c = 0;
        for (; c < active_.chips.size(); ++c) {
          const ChipInfo& chip = active_.chips[c];
          const int32_t span = chip.senseCount - (DiffWithOverlap(chip) ? chip.tailOverlap : 0);
          if (t <= span) break;
          t -= span;
        }
        if (c == active_.chips.size()) continue;  // beyond the last chip
        mark(c, ShiftedSenseLine(active_.chips[c], t));
      }
    } else {
      const int32_t index = ChipIndexOfName(hideChip_);
      for (size_t c = 0; c < active_.chips.size(); ++c) {
        if (active_.chips[c].chipIndex != index) continue;
        for (const int32_t t : numbers) {
          if (t <= active_.chips[c].senseCount) mark(c, ShiftedSenseLine(active_.chips[c], t));
        }
      }
    }
  }

  active_.height = 0;
  for (ChipState& state : chipState_) {
    state.visibleSense = CountOnes(state.senseVisible);
    active_.height += state.visibleSense;
  }
}

void InstantModel::ApplyMask() {
  const size_t width = static_cast<size_t>(active_.width);
  const size_t height = static_cast<size_t>(active_.height);
  mask_.assign(width * height, 1);
  if (!maskOn_) return;
  const uint8_t start = maskShow_ ? 0 : 1;
  const uint8_t named = maskShow_ ? 1 : 0;
  std::fill(mask_.begin(), mask_.end(), start);
  const auto inside = [](int32_t v, size_t limit) { return v >= 0 && static_cast<size_t>(v) < limit; };
  for (const auto& [x, y] : ParseMaskPoints(maskPoints_)) {
    if (inside(x, width) && inside(y, height)) mask_[static_cast<size_t>(x) * height + static_cast<size_t>(y)] = named;
  }
  for (const int32_t x : ParseNumberList(maskDriveList_)) {
    if (!inside(x, width)) continue;
    std::fill_n(mask_.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(x) * height),
                height, named);
  }
  for (const int32_t y : ParseNumberList(maskSenseList_)) {
    if (!inside(y, height)) continue;
    for (size_t x = 0; x < width; ++x) mask_[x * height + static_cast<size_t>(y)] = named;
  }
}

bool InstantModel::PrepareFrameBuffers() {
  if ((maskShow_ && !maskOn_) || (hideShow_ && !hideOn_)) return false;
  chipState_.clear();
  if (!FillActiveSet()) return false;
  chipState_.resize(active_.chips.size());
  HideDriveLines();
  HideSenseLines();
  // Every line hidden leaves nothing to show (and an average over no cells).
  if (active_.width <= 0 || active_.height <= 0) return false;
  ApplyMask();

  for (size_t c = 0; c < active_.chips.size(); ++c) {
    const ChipInfo& chip = active_.chips[c];
    chipState_[c].cells.assign(static_cast<size_t>(chip.driveCount) * static_cast<size_t>(chip.senseCount), 0);
  }
  const uint32_t block = MaxBlockBytes();
  bufferA_.assign(block, 0);
  bufferB_.assign(block, 0);
  // The work buffer follows the frame: one left from a frame of another size is replaced.
  if (WorkRows() != active_.width + 2 || WorkColumns() != active_.height + 2) FreeWorkBuffer();
  AllocWorkBuffer(active_.width + 2, active_.height + 2);
  return true;
}

}  // namespace pelorin
