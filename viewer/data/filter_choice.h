// What the filter dialog does with its nine values, without the dialog: the kernel each
// filter type writes, the texts a kernel is shown as, and how typed texts become a kernel.
// The dialog only routes its radio buttons, edits and OK button here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "data/frame_model.h"

namespace pelorin {

// Stored as FILTER_TYPE; the type only picks the values the dialog writes, the filter
// always runs the kernel as stored.
enum class FilterType : int32_t { Weight = 0, HighPass = 1, Customize = 2 };

// The radio button a stored type checks: an unknown value shows as Weight.
FilterType FilterTypeFromValue(int32_t value);

// The kernel a fixed type writes; none for Customize, which keeps what is typed.
std::optional<FilterKernel> FixedKernel(FilterType type);

// Base-10 value of the leading digits after blanks and one optional sign, as a C string
// to integer conversion reads them: "12ab" is 12, "abc" and "" are 0. Values beyond the
// int32 range stop at its limits.
int32_t LeadingInt(std::string_view text);

// The nine edits' texts in reading order (row 0 left to right, then rows 1 and 2).
using KernelTexts = std::array<std::string, 9>;

KernelTexts TextsOfKernel(const FilterKernel& kernel);

// The dialog's state: the stored type (kept as given until a radio button is chosen),
// the checked radio button, the texts and whether they may be typed in.
class FilterChoice {
 public:
  FilterChoice(int32_t type, const FilterKernel& shown);

  // A radio button clicked: Weight and High Pass write their kernel and lock the texts;
  // Customize unlocks them and leaves them as they are.
  void Choose(FilterType type);
  // Text typed into edit `index` (reading order); ignored outside 0 to 8.
  void SetText(int index, std::string text);

  int32_t Type() const { return type_; }
  FilterType Checked() const { return checked_; }
  bool Editable() const { return checked_ == FilterType::Customize; }
  const KernelTexts& Texts() const { return texts_; }

  // The OK action: converts every text into `kernel` and returns false, keeping the
  // dialog open, when any of them is empty.
  bool Accept(FilterKernel& kernel) const;

 private:
  int32_t type_;
  FilterType checked_;
  KernelTexts texts_;
};

}  // namespace pelorin
