// Source types: what a frame's cells mean (raw data, base line, difference, ...), with the
// texts each type shows and the device address a live model reads for it. The numbers are
// stored in PLsetting.ini and in recordings, so they never change.
#pragma once

#include <cstdint>
#include <string_view>

namespace pelorin {

enum SourceType : int32_t {
  kSourceNone = 0,
  kSourceLoop = 1,
  kSourceCycle = 2,
  kSourceBase = 3,
  kSourceRawData = 4,
  kSourceRawDiff = 5,
  kSourceDiff = 6,
};

// Lowest and highest type a settings file or a source button may name.
inline constexpr int32_t kFirstSourceType = kSourceNone;
inline constexpr int32_t kLastSourceType = kSourceDiff;

// Device read addresses of the data blocks (word addressed: top nibble 5).
inline constexpr uint32_t kAddrRawDiff = 0x50000000;  // also the firmware-ready flag
inline constexpr uint32_t kAddrBase = 0x51000000;
inline constexpr uint32_t kAddrRawData = 0x52000000;
inline constexpr uint32_t kAddrDiff = 0x53000000;
inline constexpr uint32_t kAddrCycle = 0x54000000;
inline constexpr uint32_t kAddrLoop = 0x55000000;

// True for 0 (None) to 6 (Diff).
bool IsKnownSourceType(int32_t type);

// Text for buttons and captions ("Raw Data", "Raw Diff", ...); "" for an unknown type.
std::string_view SourceCaption(int32_t type);

// Name a model stores, a recording's "Type" line carries and recording file names contain
// ("RawData", ...); "Unknow" for an unknown type.
std::string_view SourceModelName(int32_t type);

// Settings section that holds the type's display range ("RawData", ...). None and unknown
// types have no section of their own and use the RawDiff range.
std::string_view SourceRangeSection(int32_t type);

// Address a live model reads for the type; None and unknown types read the raw difference.
uint32_t SourceReadAddress(int32_t type);

}  // namespace pelorin
