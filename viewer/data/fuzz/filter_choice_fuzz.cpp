// Feeds arbitrary typed texts to the filter dialog's kernel reading: the first byte picks
// the radio buttons clicked, the rest is split at line ends into the nine edits. Each
// text must read as the C library's strtol reads it, stopped at the int32 limits.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "data/filter_choice.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

int32_t Reference(const std::string& text) {
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pelorin;
  if (size == 0) return 0;
  const uint8_t clicks = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

  FilterChoice choice(static_cast<int8_t>(clicks), FilterKernel{});
  // Up to four clicks, two bits each (3 clicks nothing).
  for (int i = 0; i < 4; ++i) {
    const int click = (clicks >> (2 * i)) & 3;
    if (click < 3) choice.Choose(static_cast<FilterType>(click));
  }
  std::string texts[9];
  for (int i = 0; i < 9 && !rest.empty(); ++i) {
    const size_t end = rest.find('\n');
    texts[i] = std::string(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  if (choice.Editable()) {
    for (int i = 0; i < 9; ++i) choice.SetText(i, texts[i]);
  }
  FilterKernel kernel{};
  const bool accepted = choice.Accept(kernel);
  bool anyEmpty = false;
  for (int i = 0; i < 9; ++i) {
    const std::string& shown = choice.Texts()[static_cast<size_t>(i)];
    anyEmpty = anyEmpty || shown.empty();
    // strtoll reads only up to a NUL; so does the edit's own text.
    const std::string cut = shown.substr(0, shown.find('\0'));
    Check(kernel[static_cast<size_t>(i / 3)][static_cast<size_t>(i % 3)] == LeadingInt(shown));
    Check(LeadingInt(shown) == Reference(cut));
  }
  Check(accepted == !anyEmpty);
  return 0;
}
