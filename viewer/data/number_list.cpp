#include "data/number_list.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace pelorin {
namespace {

// Digits only, at least one, fitting int32.
std::optional<int32_t> PlainNumber(std::string_view token) {
  if (token.empty()) return std::nullopt;
  int64_t value = 0;
  for (const char c : token) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Calls f for each piece of text between separators.
template <typename F>
void Split(std::string_view text, char separator, F&& f) {
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    f(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return;
    start = end + 1;
  }
}

}  // namespace

std::vector<int32_t> ParseNumberList(std::string_view text) {
  std::vector<int32_t> numbers;
  Split(text, ',', [&](std::string_view token) {
    const auto n = PlainNumber(token);
    if (n && *n != 0) numbers.push_back(*n);
  });
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

std::vector<std::pair<int32_t, int32_t>> ParseMaskPoints(std::string_view text) {
  std::vector<std::pair<int32_t, int32_t>> points;
  Split(text, ';', [&](std::string_view pair) {
    std::vector<std::optional<int32_t>> parts;
    Split(pair, ',', [&](std::string_view token) { parts.push_back(PlainNumber(TrimSpaces(token))); });
    if (parts.size() == 2 && parts[0] && parts[1]) points.emplace_back(*parts[0], *parts[1]);
  });
  return points;
}

}  // namespace pelorin
