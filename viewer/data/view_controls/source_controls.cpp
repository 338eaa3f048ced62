#include "data/view_controls/source_controls.h"

#include "data/source_type.h"

namespace pelorin {

int32_t ChipIndexForItem(int item) {
  if (item == 1) return 1;
  if (item >= 2 && item <= 8) return item + 3;  // Slave1 is chip index 5
  return -1;
}

std::string SourceButtonCaption(SourceSlot slot, int32_t type) {
  std::string caption = slot == SourceSlot::First ? "1st-Source\n" : "2st-Source\n";
  const bool named = type >= kSourceLoop && type <= kSourceDiff;
  caption += named ? std::string(SourceCaption(type)) : std::string("None");
  return caption;
}

std::string FirstSourceCaptionForName(const std::string& modelName) {
  return "1st-Source\n" + modelName;
}

SourceChange DecideSourceChange(SourceSlot slot, std::optional<int32_t> chosen, bool hasSecond) {
  using Kind = SourceChange::Kind;
  if (!chosen) return {};
  const int32_t type = *chosen;
  if (slot == SourceSlot::First) {
    if (type < kSourceLoop || type > kSourceDiff) return {};
    return {Kind::SetFirst, type};
  }
  if (type < kSourceNone || type > kSourceDiff) return {};
  if (type == kSourceNone) return {hasSecond ? Kind::RemoveSecond : Kind::CaptionOnly, type};
  return {hasSecond ? Kind::SetSecond : Kind::AddSecond, type};
}

}  // namespace pelorin
