#include "data/source_type.h"

#include <array>

namespace pelorin {
namespace {

struct SourceTypeRow {
  std::string_view caption;
  std::string_view modelName;
  std::string_view rangeSection;
  uint32_t readAddress;
};

// Indexed by the type value 0 to 6.
constexpr std::array<SourceTypeRow, 7> kRows = {{
    {"None", "None", "RawDiff", kAddrRawDiff},
    {"Loop", "Loop", "Loop", kAddrLoop},
    {"Cycle", "Cycle", "Cycle", kAddrCycle},
    {"Base", "Base", "Base", kAddrBase},
    {"Raw Data", "RawData", "RawData", kAddrRawData},
    {"Raw Diff", "RawDiff", "RawDiff", kAddrRawDiff},
    {"Diff", "Diff", "Diff", kAddrDiff},
}};

}  // namespace

bool IsKnownSourceType(int32_t type) {
  return type >= kFirstSourceType && type <= kLastSourceType;
}

std::string_view SourceCaption(int32_t type) {
  return IsKnownSourceType(type) ? kRows[static_cast<size_t>(type)].caption : "";
}

std::string_view SourceModelName(int32_t type) {
  return IsKnownSourceType(type) ? kRows[static_cast<size_t>(type)].modelName : "Unknow";
}

std::string_view SourceRangeSection(int32_t type) {
  return IsKnownSourceType(type) ? kRows[static_cast<size_t>(type)].rangeSection : "RawDiff";
}

uint32_t SourceReadAddress(int32_t type) {
  return IsKnownSourceType(type) ? kRows[static_cast<size_t>(type)].readAddress : kAddrRawDiff;
}

}  // namespace pelorin
