#include "data/chip_set.h"

namespace pelorin {

ChipInfo ChipInfo::FromReplies(std::span<const uint8_t, kChipStatusBytes> status,
                               std::span<const uint8_t, kChipGeometryBytes> geometry) {
  ChipInfo chip;
  chip.senseCount = geometry[2];
  chip.driveCount = geometry[1];
  chip.chipIndex = status[3];
  chip.leadOverlap = status[7] >> 4;
  chip.tailOverlap = status[7] & 0x0F;
  chip.position = status[5];
  chip.overlapIncluded = status[6];
  return chip;
}

int32_t ChipIndexOfName(std::string_view name) {
  if (name == "MASTER") return kChipMaster;
  if (name == "SINGLE") return kChipSingle;
  // "S0" is taken as slave 1, like "S1".
  if (name.size() == 2 && name[0] == 'S' && name[1] >= '0' && name[1] <= '7') {
    const int32_t slave = name[1] == '0' ? 1 : name[1] - '0';
    return kChipFirstSlave + slave - 1;
  }
  return kChipMaster;
}

}  // namespace pelorin
