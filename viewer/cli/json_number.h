#pragma once
// Numbers in the JSON outputs: rounded as the text summary rounds them (6 significant
// digits); not-a-number and infinities, which JSON cannot hold, as null.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

namespace pelorin {

inline nlohmann::ordered_json JsonNumber(double v) {
  if (!std::isfinite(v)) return nullptr;
  char text[64];
  std::snprintf(text, sizeof text, "%.6g", v);
  return std::strtod(text, nullptr);
}

}  // namespace pelorin
