#include "data/filter_choice.h"

#include <limits>

namespace pelorin {

FilterType FilterTypeFromValue(int32_t value) {
  switch (value) {
    case static_cast<int32_t>(FilterType::HighPass):
      return FilterType::HighPass;
    case static_cast<int32_t>(FilterType::Customize):
      return FilterType::Customize;
    default:
      return FilterType::Weight;
  }
}

std::optional<FilterKernel> FixedKernel(FilterType type) {
  switch (type) {
    case FilterType::Weight:
      return FilterKernel{{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}};
    case FilterType::HighPass:
      return FilterKernel{{{-1, -1, -1}, {-1, 8, -1}, {-1, -1, -1}}};
    case FilterType::Customize:
      break;
  }
  return std::nullopt;
}

int32_t LeadingInt(std::string_view text) {
  size_t i = 0;
  auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (i < text.size() && blank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Counted one past the int32 maximum, so the most negative value still fits.
  constexpr int64_t kLimit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

KernelTexts TextsOfKernel(const FilterKernel& kernel) {
  KernelTexts texts;
  for (size_t i = 0; i < texts.size(); ++i) texts[i] = std::to_string(kernel[i / 3][i % 3]);
  return texts;
}

FilterChoice::FilterChoice(int32_t type, const FilterKernel& shown)
    : type_(type), checked_(FilterTypeFromValue(type)), texts_(TextsOfKernel(shown)) {}

void FilterChoice::Choose(FilterType type) {
  checked_ = type;
  type_ = static_cast<int32_t>(type);
  if (const auto kernel = FixedKernel(type)) texts_ = TextsOfKernel(*kernel);
}

void FilterChoice::SetText(int index, std::string text) {
  if (index < 0 || index >= static_cast<int>(texts_.size())) return;
  texts_[static_cast<size_t>(index)] = std::move(text);
}

bool FilterChoice::Accept(FilterKernel& kernel) const {
  bool complete = true;
  for (size_t i = 0; i < texts_.size(); ++i) {
    if (texts_[i].empty()) complete = false;
    kernel[i / 3][i % 3] = LeadingInt(texts_[i]);
  }
  return complete;
}

}  // namespace pelorin
