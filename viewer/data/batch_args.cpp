#include "data/batch_args.h"

#include <cstdint>

#include "data/source_type.h"

namespace pelorin {

BatchArguments ParseBatchArguments(const std::vector<std::string>& args) {
  BatchArguments out;
  if (args.empty()) return out;
  out.batch = true;

  const std::string& source = args[0];
  const int32_t type = source.empty() ? -1 : static_cast<int32_t>(source[0]) - 47;
  if (type < kSourceLoop || type > kSourceDiff) {
    out.error = "source type argument \"" + source + "\" must start with a digit from 0 (Loop) to 5 (Diff)";
    return out;
  }
  out.sourceType = type;

  if (args.size() >= 2) {
    const std::string& limit = args[1];
    int64_t value = 0;
    bool ok = !limit.empty();
    for (const char c : limit) {
      if (c < '0' || c > '9') {
        ok = false;
        break;
      }
      value = value * 10 + (c - '0');
      if (value > INT32_MAX) {
        ok = false;
        break;
      }
    }
    if (!ok) {
      out.error = "frame limit argument \"" + limit + "\" must be a decimal number from 0 to 2147483647";
      return out;
    }
    out.frameLimit = static_cast<int32_t>(value);
  }

  if (args.size() >= 3) out.name = args[2];
  return out;
}

std::string BatchName(std::string_view nameArgument, std::string_view modelName) {
  std::string name(nameArgument);
  name += " - ";
  name += modelName;
  return name;
}

}  // namespace pelorin
