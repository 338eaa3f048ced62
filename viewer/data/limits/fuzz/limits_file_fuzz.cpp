// Limits files come from users and scripts: any bytes must parse or be refused cleanly,
// and whatever parses must resolve on a small panel without reading outside it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/limits/limits_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  pelorin::LimitsFile limits;
  std::string error;
  if (!pelorin::ParseLimits(text, &limits, &error)) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  for (auto kind :
       {pelorin::LimitKind::Value, pelorin::LimitKind::NoisePp, pelorin::LimitKind::NoiseRms}) {
    std::vector<pelorin::CellBounds> bounds;
    if (pelorin::ResolveLimits(limits, kind, 7, 5, &bounds, &error) && bounds.size() != 35)
      __builtin_trap();
  }
  return 0;
}
