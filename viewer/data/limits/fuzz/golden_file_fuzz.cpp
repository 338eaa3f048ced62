// Golden recordings come from users: any bytes must parse or be refused with the line,
// and whatever parses must give a mean frame of the size it announces, every mean a
// finite value within the 32-bit range of the cells it averages.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/limits/golden_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  pelorin::GoldenFrame g;
  std::string error;
  if (!pelorin::ParseGolden(text, &g, &error)) {
    if (error.rfind("line ", 0) != 0) __builtin_trap();  // a refusal names the line
    return 0;
  }
  const size_t cells = size_t(g.width) * size_t(g.height);
  if (g.width <= 0 || g.height <= 0 || g.frames <= 0) __builtin_trap();
  if (g.mean.size() != cells || g.valid.size() != cells) __builtin_trap();
  for (size_t i = 0; i < cells; ++i) {
    if (!std::isfinite(g.mean[i]) || g.mean[i] < -2147483648.0 || g.mean[i] > 2147483647.0)
      __builtin_trap();
    if (g.valid[i] == 0 && g.mean[i] != 0) __builtin_trap();
  }
  return 0;
}
