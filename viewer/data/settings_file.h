// What the viewer reads from and writes to PLsetting.ini: the key table with defaults and
// limits, LoadSettings (the file read into a snapshot the window applies to its models and
// controls) and SaveSettings (the values written back through the store at close).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/frame_model.h"
#include "data/ini_reader.h"
#include "data/settings_store.h"
#include "data/source_range_table.h"

namespace pelorin {

inline constexpr std::string_view kSettingsFileName = "PLsetting.ini";
inline constexpr std::string_view kGeneralSection = "Pelorin";

// The settings file in a folder (the working directory).
std::string SettingsPathIn(std::string_view folder);

struct SettingKey {
  std::string_view section;
  std::string_view key;
  bool isText = false;
  int32_t intDefault = 0;
  std::string_view textDefault;
  size_t maxLength = 0;  // texts only
};

// Every key, in reading order.
inline constexpr size_t kSettingKeyCount = 42;
extern const std::array<SettingKey, kSettingKeyCount> kSettingKeys;

// How far LoadSettings got.
enum class LoadStage {
  kNothingRead,      // no file: everything keeps its initial value
  kRangesRead,       // stopped at a bad SOURCE_TYPE: only the range table was read
  kFirstSourceRead,  // stopped at a bad SECOND_SOURCE_TYPE: model 0's settings were read
  kAllRead,
};

// The longest delay before a frame cycle: a larger DELAY_BEFORE_ENABLE_DIGNOSIS would
// leave a run that shows and records nothing for days. The load holds the setting to it;
// the acquisition holds any delay a caller set on a model to it as well.
inline constexpr int32_t kMaxDiagDelayMs = 1000;

// Draw styles and dump types as the window selects them.
inline constexpr int32_t kDrawStyle1 = 0, kDrawStyle2 = 1;
inline constexpr int32_t kDumpTypePelorin = 0, kDumpTypeMatlab = 1;

// Everything LoadSettings read, for the window to apply. Fields beyond the stage reached
// keep the window's initial values and are not to be applied.
struct SettingsSnapshot {
  LoadStage stage = LoadStage::kNothingRead;
  bool result = true;       // false when stopped at a bad source type
  int32_t statusCode = -1;  // status line code to show, -1 for none
  std::string statusArgument;
  std::unique_ptr<SettingsStore> store;  // none when the file could not be loaded
  // Values changed on reading, one line each naming the key; LoadSettings prints them.
  std::vector<std::string> notices;

  // kRangesRead and later.
  SourceRangeTable ranges;

  // kFirstSourceRead and later: model 0.
  int32_t sourceType = kSourceBase;
  RangePair firstRange;  // from the table for sourceType, clamped; sliders show it
  std::string rxChipIndex;
  std::string hideRx, hideTx;
  bool hideShow = false;
  std::string maskRx, maskTx, maskPoint;
  bool maskShow = false;
  bool isMask = false;
  FilterKernel kernel{};
  int32_t filterThreshold = 0;
  int32_t filterType = 0;
  bool reverse = false;
  int32_t diagDelay = 0;  // milliseconds before each frame cycle, 0 to kMaxDiagDelayMs

  // kAllRead.
  int32_t secondSourceType = 0;  // 0: no second source
  int32_t drawStyle = kDrawStyle1;
  int32_t dumpType = kDumpTypePelorin;
  int32_t viewPoint = 0;  // 0 Default, 1 X-axis, 2 Y-axis, 3 Z-axis
  int32_t dumpInterval = 1;
  int32_t displayRangeShift = 5;
  bool autoCenter = false;
};

// Reads the keys in table order into a snapshot, stopping early at a bad source type.
// The store and the file-level status are left to LoadSettings.
SettingsSnapshot ReadSettings(const IniReader& reader);

// Reads the settings file at path: status code 2 with the path and nothing read when it
// cannot be opened or is not a regular file; otherwise ReadSettings and the store (one
// that refuses to be saved when the file was not read whole, see SettingsStore).
SettingsSnapshot LoadSettings(const std::string& path);

// The values the window writes back at close.
struct SettingsToSave {
  int32_t viewPoint = 0;
  bool reverse = false;
  SourceRangeTable ranges;
  int32_t sourceType = kSourceBase;
  int32_t secondSourceType = 0;  // model 1's type, 0 when there is no second model
  int32_t drawStyle = kDrawStyle1;
  int32_t dumpType = kDumpTypePelorin;
  FilterKernel kernel{};
  int32_t filterThreshold = 0;
  int32_t filterType = 0;
  int32_t displayRangeShift = 5;
  bool autoCenter = false;
};

// Text of the message box shown for every key that could not be written; its title is
// one of the strings WriteSettings returns.
inline constexpr std::string_view kSetConfigFailedText = "Set Config File Failed";

// Sets every saved key in the store, in the fixed order; returns the message-box titles
// ("VIEW_POINT not exist", "Cycle - MAX_DATA_RANGE not exist", ...) of the keys missing.
// A store that does not hold the whole file is left alone and gives no titles.
std::vector<std::string> WriteSettings(SettingsStore& store, const SettingsToSave& values);

struct SaveOutcome {
  bool hadStore = false;  // false: nothing was written, nothing to report
  std::vector<std::string> failedTitles;
  bool saved = false;  // the file was written
};

// WriteSettings, then Save to path and Release. A missing store does nothing; a store
// that does not hold the whole file writes nothing and says why on standard output.
SaveOutcome SaveSettings(std::unique_ptr<SettingsStore>& store, const std::string& path,
                         const SettingsToSave& values);

}  // namespace pelorin
