// Template 102: the main window's size, caption and controls in template order.
#pragma once

#include <span>

#include "view/dialog_template.h"

namespace pelorin {

inline constexpr int kMainTemplateWidth = 551;   // dialog units
inline constexpr int kMainTemplateHeight = 539;  // dialog units
inline constexpr const char* kMainTemplateCaption = "Pelorin-V10307";

std::span<const ControlSpec> MainTemplateControls();

}  // namespace pelorin
