// Feeds arbitrary PLsetting.ini contents to the settings store (parse, set, write back)
// and to the key-by-key reading, and checks what must hold for any input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "data/ini_reader.h"
#include "data/settings_file.h"
#include "data/settings_store.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

size_t Lines(std::string_view s) {
  size_t n = 0;
  for (const char c : s) n += c == '\n';
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pelorin;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const auto store = SettingsStore::Parse(text);
  Check(store->HasSection(SettingsStore::kDefaultSection));
  // Only text read to its end may be written back.
  const bool utf16 = text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
  Check(store->HoldsWholeFile() == (!utf16 && text.find('\0') == std::string_view::npos));
  Check(store->HoldsWholeFile() == store->NotWholeReason().empty());
  for (const SettingKey& k : kSettingKeys) {
    if (!store->HasSection(k.section)) continue;  // SetInt would print for each
    const bool had = store->Find(k.section, k.key) != nullptr;
    Check(store->SetInt(k.section, k.key, -2147483647 - 1) == had);
    if (had) Check(*store->Find(k.section, k.key) == "-2147483648");
  }
  // The write-back reads back as the same sections and lines.
  const std::string written = store->Serialize();
  const auto again = SettingsStore::Parse(written);
  Check(again->SectionCount() == store->SectionCount());
  Check(Lines(again->Serialize()) == Lines(written));
  Check(written.starts_with("\xEF\xBB\xBF") == (!utf16 && text.starts_with("\xEF\xBB\xBF")));

  const SettingsSnapshot s = ReadSettings(IniReader(text));
  Check(s.result == (s.stage == LoadStage::kAllRead));
  if (s.stage >= LoadStage::kFirstSourceRead) {
    Check(IsKnownSourceType(s.sourceType));
    Check(s.firstRange.max <= 300 && s.firstRange.min <= 225 &&
          int64_t{s.firstRange.max} - s.firstRange.min >= 25);
    Check(s.rxChipIndex.size() <= 255 && s.hideRx.size() <= 1023 && s.maskPoint.size() <= 2047);
    Check(s.diagDelay >= 0 && s.diagDelay <= kMaxDiagDelayMs);
  }
  if (s.stage == LoadStage::kAllRead) {
    Check(s.dumpInterval >= 1 && s.viewPoint >= 0 && s.viewPoint <= 3);
    Check(s.drawStyle == kDrawStyle1 || s.drawStyle == kDrawStyle2);
    Check(IsKnownSourceType(s.secondSourceType));
  }
  return 0;
}
