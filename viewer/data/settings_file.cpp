#include "data/settings_file.h"

#include <algorithm>
#include <cstdio>

#include "data/diagnostics.h"
#include "data/status_text.h"
#include "data/whole_file.h"

namespace pelorin {
namespace {

constexpr SettingKey Int(std::string_view section, std::string_view key, int32_t fallback) {
  return {section, key, false, fallback, {}, 0};
}
constexpr SettingKey Text(std::string_view section, std::string_view key, std::string_view fallback,
                          size_t maxLength) {
  return {section, key, true, 0, fallback, maxLength};
}

constexpr std::string_view kMaxKey = "MAX_DATA_RANGE";
constexpr std::string_view kMinKey = "MIN_DATA_RANGE";

// Source types in the order their ranges are read, and in the order they are written.
constexpr std::array<int32_t, 6> kRangeReadOrder = {kSourceBase,    kSourceCycle, kSourceLoop,
                                                    kSourceRawData, kSourceDiff,  kSourceRawDiff};
constexpr std::array<int32_t, 6> kRangeWriteOrder = {kSourceCycle,   kSourceLoop, kSourceBase,
                                                     kSourceRawData, kSourceDiff, kSourceRawDiff};

// Kernel keys, row by row.
constexpr std::array<std::string_view, 9> kKernelKeys = {
    "TOP_LEFT",    "TOP_MID",     "TOP_RIGHT",  "NAVEL_LEFT",  "NAVEL_MID",
    "NAVEL_RIGHT", "BOTTOM_LEFT", "BOTTOM_MID", "BOTTOM_RIGHT"};

// Reads keys by name with the defaults and limits of the key table.
class KeyReader {
 public:
  explicit KeyReader(const IniReader& reader) : reader_(reader) {}

  int32_t Int(std::string_view section, std::string_view key) const {
    const SettingKey& k = Lookup(section, key);
    return reader_.GetInt(k.section, k.key, k.intDefault);
  }
  bool Flag(std::string_view section, std::string_view key) const { return Int(section, key) != 0; }
  std::string Text(std::string_view section, std::string_view key) const {
    const SettingKey& k = Lookup(section, key);
    return reader_.GetText(k.section, k.key, k.textDefault, k.maxLength);
  }

 private:
  static const SettingKey& Lookup(std::string_view section, std::string_view key) {
    for (const SettingKey& k : kSettingKeys)
      if (k.section == section && k.key == key) return k;
    static const SettingKey kUnknown{};  // not reached: every name used here is in the table
    return kUnknown;
  }
  const IniReader& reader_;
};

}  // namespace

constexpr std::array<SettingKey, kSettingKeyCount> kSettingKeys = {{
    Int("Base", kMaxKey, 250),
    Int("Base", kMinKey, 0),
    Int("Cycle", kMaxKey, 250),
    Int("Cycle", kMinKey, 0),
    Int("Loop", kMaxKey, 250),
    Int("Loop", kMinKey, 0),
    Int("RawData", kMaxKey, 250),
    Int("RawData", kMinKey, 0),
    Int("Diff", kMaxKey, 250),
    Int("Diff", kMinKey, 0),
    Int("RawDiff", kMaxKey, 250),
    Int("RawDiff", kMinKey, 0),
    Int(kGeneralSection, "SOURCE_TYPE", 3),
    Text("Hide", "RX_CHIP_INDEX", "ALL", 255),
    Text("Hide", "HIDE_RX", "", 1023),
    Text("Hide", "HIDE_TX", "", 1023),
    Int("Hide", "HIDE_SHOW", 0),
    Text("Mask", "MASK_RX", "", 1023),
    Text("Mask", "MASK_TX", "", 1023),
    Int("Mask", "MASK_SHOW", 0),
    Text("Mask", "MASK_POINT", "", 2047),
    Int("Mask", "IS_MASK", 0),
    Int("Filter", "TOP_LEFT", 1),
    Int("Filter", "TOP_MID", 1),
    Int("Filter", "TOP_RIGHT", 1),
    Int("Filter", "NAVEL_LEFT", 1),
    Int("Filter", "NAVEL_MID", 1),
    Int("Filter", "NAVEL_RIGHT", 1),
    Int("Filter", "BOTTOM_LEFT", 1),
    Int("Filter", "BOTTOM_MID", 1),
    Int("Filter", "BOTTOM_RIGHT", 1),
    Int("Filter", "FILTER_THRESHOLD", 0),
    Int("Filter", "FILTER_TYPE", 0),
    Int(kGeneralSection, "REVERSE", 0),
    Int(kGeneralSection, "DELAY_BEFORE_ENABLE_DIGNOSIS", 10),
    Int(kGeneralSection, "SECOND_SOURCE_TYPE", -1),
    Int(kGeneralSection, "DRAW_STYLE", 1),
    Int(kGeneralSection, "DUMP_TYPE", 1),
    Int(kGeneralSection, "VIEW_POINT", 1),
    Int(kGeneralSection, "DUMP_ONE_FRAME_EVERY_FEW_FRAMES", 1),
    Int(kGeneralSection, "DISPLAY_RANGE_SHIFT", 5),
    Int(kGeneralSection, "AUTO_CENTER", 0),
}};

// Every slot of the table is filled.
static_assert([] {
  for (const SettingKey& k : kSettingKeys)
    if (k.key.empty()) return false;
  return true;
}());

std::string SettingsPathIn(std::string_view folder) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path += '/';
  path += kSettingsFileName;
  return path;
}

SettingsSnapshot ReadSettings(const IniReader& reader) {
  const KeyReader keys(reader);
  constexpr std::string_view g = kGeneralSection;
  SettingsSnapshot s;

  for (const int32_t type : kRangeReadOrder) {
    const std::string_view section = SourceRangeSection(type);
    s.ranges.For(type) = {keys.Int(section, kMaxKey), keys.Int(section, kMinKey)};
  }
  s.stage = LoadStage::kRangesRead;

  const int32_t first = keys.Int(g, "SOURCE_TYPE");
  if (!IsKnownSourceType(first)) {
    s.statusCode = kStatusSourceSettingWrong;
    s.statusArgument = "first";
    s.result = false;
    return s;
  }
  s.sourceType = first;

  s.rxChipIndex = keys.Text("Hide", "RX_CHIP_INDEX");
  s.hideRx = keys.Text("Hide", "HIDE_RX");
  s.hideTx = keys.Text("Hide", "HIDE_TX");
  s.hideShow = keys.Flag("Hide", "HIDE_SHOW");

  s.maskRx = keys.Text("Mask", "MASK_RX");
  s.maskTx = keys.Text("Mask", "MASK_TX");
  s.maskShow = keys.Flag("Mask", "MASK_SHOW");
  s.maskPoint = keys.Text("Mask", "MASK_POINT");
  s.isMask = keys.Flag("Mask", "IS_MASK");

  for (size_t i = 0; i < kKernelKeys.size(); ++i)
    s.kernel[i / 3][i % 3] = keys.Int("Filter", kKernelKeys[i]);
  s.filterThreshold = keys.Int("Filter", "FILTER_THRESHOLD");
  s.filterType = keys.Int("Filter", "FILTER_TYPE");

  s.firstRange = ClampRangePair(s.ranges.For(first));
  s.reverse = keys.Flag(g, "REVERSE");
  s.diagDelay = keys.Int(g, "DELAY_BEFORE_ENABLE_DIGNOSIS");
  if (s.diagDelay < 0) s.diagDelay = 10;
  if (s.diagDelay > kMaxDiagDelayMs) {
    s.notices.push_back("DELAY_BEFORE_ENABLE_DIGNOSIS=" + std::to_string(s.diagDelay) +
                        " is longer than " + std::to_string(kMaxDiagDelayMs) + " ms; " +
                        std::to_string(kMaxDiagDelayMs) + " ms is used");
    s.diagDelay = kMaxDiagDelayMs;
  }
  s.stage = LoadStage::kFirstSourceRead;

  const int32_t second = keys.Int(g, "SECOND_SOURCE_TYPE");
  if (!IsKnownSourceType(second)) {
    s.statusCode = kStatusSourceSettingWrong;
    s.statusArgument = "second";
    s.result = false;
    return s;
  }
  s.secondSourceType = second;

  s.drawStyle = keys.Int(g, "DRAW_STYLE") == 1 ? kDrawStyle2 : kDrawStyle1;
  s.dumpType = keys.Int(g, "DUMP_TYPE") == 0 ? kDumpTypePelorin : kDumpTypeMatlab;
  const int32_t view = keys.Int(g, "VIEW_POINT");
  s.viewPoint = view >= 1 && view <= 3 ? view : 0;
  s.dumpInterval = std::max(keys.Int(g, "DUMP_ONE_FRAME_EVERY_FEW_FRAMES"), 1);
  s.displayRangeShift = keys.Int(g, "DISPLAY_RANGE_SHIFT");
  s.autoCenter = keys.Flag(g, "AUTO_CENTER");
  s.stage = LoadStage::kAllRead;
  return s;
}

SettingsSnapshot LoadSettings(const std::string& path) {
  // One read serves both the values and the store, so they come from the same bytes.
  const FileRead read = ReadWholeFile(path, IniReader::kMaxReadSize);
  if (read.status == FileReadStatus::kNotOpened || read.status == FileReadStatus::kNotRegular) {
    SettingsSnapshot s;
    s.statusCode = kStatusCantLoadSettings;
    s.statusArgument = path;
    return s;
  }
  SettingsSnapshot s = ReadSettings(IniReader(read.text));
  s.store = SettingsStore::FromRead(read);
  for (const std::string& line : s.notices) Diagnostic("%s: %s\n", path.c_str(), line.c_str());
  return s;
}

std::vector<std::string> WriteSettings(SettingsStore& store, const SettingsToSave& v) {
  std::vector<std::string> failed;
  // Of a file not read whole, a key that seems missing may stand in the part not read;
  // such a store is not saved anyway (Save says why).
  if (!store.HoldsWholeFile()) return failed;
  constexpr std::string_view g = kGeneralSection;
  const auto set = [&](std::string_view section, std::string_view key, int32_t value) {
    if (store.SetInt(section, key, value)) return;
    std::string title(key);
    title += " not exist";
    failed.push_back(std::move(title));
  };
  const auto setRange = [&](std::string_view section, std::string_view key, int32_t value) {
    if (store.SetInt(section, key, value)) return;
    std::string title(section);
    title += " - ";
    title += key;
    title += " not exist";
    failed.push_back(std::move(title));
  };

  set(g, "VIEW_POINT", v.viewPoint);
  set(g, "REVERSE", v.reverse ? 1 : 0);
  for (const int32_t type : kRangeWriteOrder) {
    const std::string_view section = SourceRangeSection(type);
    setRange(section, kMaxKey, v.ranges.For(type).max);
    setRange(section, kMinKey, v.ranges.For(type).min);
  }
  set(g, "SOURCE_TYPE", v.sourceType);
  set(g, "SECOND_SOURCE_TYPE", v.secondSourceType);
  set(g, "DRAW_STYLE", v.drawStyle);
  set(g, "DUMP_TYPE", v.dumpType);
  for (size_t i = 0; i < kKernelKeys.size(); ++i)
    set("Filter", kKernelKeys[i], v.kernel[i / 3][i % 3]);
  set("Filter", "FILTER_THRESHOLD", v.filterThreshold);
  set("Filter", "FILTER_TYPE", v.filterType);
  set(g, "DISPLAY_RANGE_SHIFT", v.displayRangeShift);
  set(g, "AUTO_CENTER", v.autoCenter ? 1 : 0);
  return failed;
}

SaveOutcome SaveSettings(std::unique_ptr<SettingsStore>& store, const std::string& path,
                         const SettingsToSave& values) {
  SaveOutcome out;
  if (!store) return out;
  out.hadStore = true;
  out.failedTitles = WriteSettings(*store, values);
  out.saved = store->Save(path);
  Release(store);
  return out;
}

}  // namespace pelorin
