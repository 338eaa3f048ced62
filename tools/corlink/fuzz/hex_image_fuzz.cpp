// Any bytes as an Intel HEX file: the parser either refuses them with a message or gives
// an image whose segments are sorted, disjoint, non-empty and within bounds.
#include <cstdlib>
#include <string>
#include <string_view>

#include "image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  corlink_tool::Image image;
  std::string error;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!corlink_tool::ParseIntelHex(text, &image, &error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  uint64_t end = 0;
  bool first = true;
  for (const auto& s : image.segments) {
    if (s.data.empty()) std::abort();
    if (!first && s.address <= end) std::abort();  // touching runs would have been joined
    end = static_cast<uint64_t>(s.address) + s.data.size();
    if (end > 0x100000000ull) std::abort();
    first = false;
  }
  if (image.Size() > corlink_tool::kMaxImageBytes) std::abort();
  return 0;
}
