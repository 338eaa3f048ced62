// The chips of a cascade as the live model sees them: what each chip told about itself
// (ChipInfo) and an ordered list of chips with the frame size they form (ChipSet).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace pelorin {

// Chip indexes as IO_SetChipIndex takes them.
inline constexpr int32_t kChipSingle = 0;
inline constexpr int32_t kChipMaster = 1;
inline constexpr int32_t kChipFirstSlave = 5;  // slave 1; slave n is n + 4
inline constexpr int32_t kMaxSlaves = 7;

// Cascade modes.
inline constexpr int32_t kCascadeUnknown = -1;
inline constexpr int32_t kCascadeMasterWithSlaves = 0;
inline constexpr int32_t kCascadeSlavesOnly = 1;  // the master carries no sensor lines
inline constexpr int32_t kCascadeSingleChip = 2;

// Reply sizes of the chip status (0xA000C024) and chip geometry (0x5A000000) reads.
inline constexpr uint32_t kChipStatusBytes = 8;
inline constexpr uint32_t kChipGeometryBytes = 4;

struct ChipInfo {
  int32_t senseCount = 0;  // sense lines (values per drive line); grows by the overlap
                           // lines when the chip's Diff data include them
  int32_t driveCount = 0;
  int32_t chipIndex = 0;   // passed to IO_SetChipIndex before reading this chip
  int32_t leadOverlap = 0; // overlap lines at the start of the chip's block
  int32_t tailOverlap = 0; // ... and at its end
  int32_t position = 0;    // place in the cascade, sorts the chips
  uint16_t overlapIncluded = 0;  // 1: Diff data of this chip include the overlap lines

  // From the 8-byte status reply and the 4-byte geometry reply of the chip.
  static ChipInfo FromReplies(std::span<const uint8_t, kChipStatusBytes> status,
                              std::span<const uint8_t, kChipGeometryBytes> geometry);

  bool operator==(const ChipInfo&) const = default;
};

struct ChipSet {
  std::vector<ChipInfo> chips;  // in frame order once ordered
  int32_t slaveCount = 0;
  int32_t cascadeMode = kCascadeUnknown;
  int32_t height = 0;  // frame Height: sense lines of all chips left visible
  int32_t width = 0;   // frame Width: drive lines left visible
  bool singleChip = false;

  void Reset(int32_t slaves, int32_t mode) {
    chips.clear();
    slaveCount = slaves;
    cascadeMode = mode;
    height = 0;
    width = 0;
    singleChip = false;
  }
};

// Chip index named by the hide chip text: "MASTER" 1, "SINGLE" 0, "S0" and "S1" 5,
// "S2" .. "S7" 6 .. 11; any other text names the master.
int32_t ChipIndexOfName(std::string_view name);

}  // namespace pelorin
