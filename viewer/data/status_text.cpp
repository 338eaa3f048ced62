#include "data/status_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace pelorin {
namespace {

// Searched in this stored order up to the end marker; the first equal code wins.
constexpr std::array<std::pair<int32_t, std::string_view>, 12> kStatusTable = {{
    {0, "open device error!"},
    {1, "can't read the second source!"},
    {2, "can't load csv at %s"},
    {3, "can't open file at %s"},
    {4, "the %s source setting is wrong"},
    {5, "read chip data fail"},
    {7, "read chip info fail"},
    {6, "can't prepare frame buf"},
    {8, "FW is not ready"},
    {9, "loading %s / %s"},
    {10, "Selecting %s is illegal"},
    {-1, ""},
}};

constexpr std::string_view kUnknownStatus = "unkonw massage";

// What snprintf wrote into buf (it never writes past the buffer).
std::string Written(const char* buf, int n, size_t size) {
  return std::string(buf, n < 0 ? 0 : std::min(static_cast<size_t>(n), size - 1));
}

}  // namespace

std::string_view StatusTemplate(int32_t code) {
  for (const auto& [entry, text] : kStatusTable) {
    if (entry == -1) break;
    if (entry == code) return text;
  }
  return kUnknownStatus;
}

std::string FillStatusArguments(std::string_view pattern, std::string_view argument) {
  std::string text(pattern);
  size_t start = 0;
  while (start < argument.size()) {
    const size_t comma = std::min(argument.find(',', start), argument.size());
    const std::string_view piece = argument.substr(start, comma - start);
    start = comma + 1;
    if (piece.empty()) continue;
    const size_t slot = text.find("%s");
    if (slot == std::string::npos) break;
    text.replace(slot, 2, piece);
  }
  return text;
}

std::string StatusMessageText(int32_t code, std::string_view argument) {
  return FillStatusArguments(StatusTemplate(code), argument);
}

StatisticsTexts FormatStatistics(int32_t frameCount, float frameRate, float average, int32_t frameMax,
                                 int32_t overallMax, int32_t frameMin, int32_t overallMin) {
  // Large enough for any int32 and any float printed with "%.2f" (at most 49 characters).
  char buf[192];
  StatisticsTexts t;
  int n = std::snprintf(buf, sizeof buf, "FrameCount : %d", frameCount);
  t.frameCount = Written(buf, n, sizeof buf);
  n = std::snprintf(buf, sizeof buf, "FrameRate : %.2f", static_cast<double>(frameRate));
  t.frameRate = Written(buf, n, sizeof buf);
  n = std::snprintf(buf, sizeof buf, "Average:%.2f  Max:%d(%d)  Min:%d(%d)", static_cast<double>(average),
                    frameMax, overallMax, frameMin, overallMin);
  t.values = Written(buf, n, sizeof buf);
  return t;
}

}  // namespace pelorin
