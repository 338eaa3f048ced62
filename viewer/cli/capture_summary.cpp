// The summary pelorin-capture prints at the end: text for people, JSON for scripts.
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/capture.h"
#include "cli/json_number.h"

namespace pelorin {
namespace {

constexpr size_t kFailuresShown = 20;

// Fixed-point with `digits` decimals, or "%.6g" for digits < 0.
std::string Format(int digits, double v) {
  char text[64];
  if (digits < 0)
    std::snprintf(text, sizeof text, "%.6g", v);
  else
    std::snprintf(text, sizeof text, "%.*f", digits, v);
  return text;
}

}  // namespace

std::string SummaryText(const CaptureSummary& s) {
  std::string t;
  for (const std::string& m : s.messages) t += "note: " + m + "\n";
  if (!s.outcome.empty() && s.outcome != "complete") t += s.outcome + "\n";
  t += "frames " + std::to_string(s.frames) + " of " + std::to_string(s.requested) + ", " +
       Format(2, s.frameRate) + " frames/s, " + std::to_string(s.width) + " x " +
       std::to_string(s.height) + " cells of " + s.source + "\n";
  if (s.readFailures > 0) t += "failed frame reads " + std::to_string(s.readFailures) + "\n";
  if (s.badFrames.Total() > 0) {
    t += "bad frames " + std::to_string(s.badFrames.Total()) + ": " +
         std::to_string(s.badFrames.zero) + " all zero, " + std::to_string(s.badFrames.repeated) +
         " repeated, " + std::to_string(s.badFrames.outOfRange) + " out of range\n";
  }
  t += "average " + Format(2, s.average) + "  max " + std::to_string(s.frameMax) + " (overall " +
       std::to_string(s.overallMax) + ")  min " + std::to_string(s.frameMin) + " (overall " +
       std::to_string(s.overallMin) + ")\n";
  if (s.source == "Base") t += "standard deviation " + Format(3, s.standardDeviation) + "\n";
  if (s.source == "Cycle") t += "flatness " + Format(3, s.flatness) + "\n";
  t += "recording " + (s.recording.empty() ? std::string("(none)") : s.recording) + ", " +
       std::to_string(s.recorded) + " frames\n";
  if (!s.mat.empty()) t += "MAT-file " + s.mat + "\n";
  if (!s.png.empty()) t += "picture " + s.png + "\n";
  if (s.noiseChecked) {
    t += "noise: peak-to-peak up to " + Format(0, s.noisePpMax) + ", RMS up to " +
         Format(3, s.noiseRmsMax) + "\n";
  }
  if (s.judged) {
    if (s.tooManyBadFrames) {
      t += "FAIL: " + std::to_string(s.badFrames.Total()) + " bad frames, more than the allowed " +
           std::to_string(s.maxBadFrames) + "\n";
    }
    if (s.failures.empty()) {
      if (!s.tooManyBadFrames) t += "PASS\n";
    } else {
      t += "FAIL: " + std::to_string(s.failures.size()) + " failing cell checks";
      t += s.failuresCsv.empty() ? std::string("\n") : ", listed in " + s.failuresCsv + "\n";
      for (size_t i = 0; i < s.failures.size() && i < kFailuresShown; ++i) {
        t += "  " + DescribeFailure(s.failures[i]) + "\n";
      }
      if (s.failures.size() > kFailuresShown) {
        t += "  ... and " + std::to_string(s.failures.size() - kFailuresShown) + " more\n";
      }
    }
  }
  return t;
}

std::string SummaryJson(const CaptureSummary& s) {
  using Json = nlohmann::ordered_json;
  auto text = [](const std::string& value) { return value.empty() ? Json() : Json(value); };
  Json j;
  j["source"] = s.source;
  j["width"] = s.width;
  j["height"] = s.height;
  j["requested"] = s.requested;
  j["frames"] = s.frames;
  j["recorded"] = s.recorded;
  j["readFailures"] = s.readFailures;
  j["badFrames"] = {{"total", s.badFrames.Total()},
                    {"zero", s.badFrames.zero},
                    {"repeated", s.badFrames.repeated},
                    {"outOfRange", s.badFrames.outOfRange}};
  j["frameRate"] = JsonNumber(s.frameRate);
  j["average"] = JsonNumber(s.average);
  j["frameMax"] = s.frameMax;
  j["overallMax"] = s.overallMax;
  j["frameMin"] = s.frameMin;
  j["overallMin"] = s.overallMin;
  j["standardDeviation"] = JsonNumber(s.standardDeviation);
  j["flatness"] = JsonNumber(s.flatness);
  j["recording"] = text(s.recording);
  j["mat"] = text(s.mat);
  j["png"] = text(s.png);
  j["deviceLost"] = s.deviceLost;
  j["outcome"] = text(s.outcome);
  j["interrupted"] = s.interrupted;
  if (s.noiseChecked) {
    j["noisePpMax"] = JsonNumber(s.noisePpMax);
    j["noiseRmsMax"] = JsonNumber(s.noiseRmsMax);
  }
  j["verdict"] =
      !s.judged ? Json() : Json(s.failures.empty() && !s.tooManyBadFrames ? "PASS" : "FAIL");
  Json failures = Json::array();
  for (const CellFailure& f : s.failures) {
    failures.push_back({{"check", f.check},
                        {"x", f.x},
                        {"y", f.y},
                        {"value", JsonNumber(f.value)},
                        {"limit", JsonNumber(f.limit)},
                        {"bound", f.below ? "min" : "max"}});
  }
  j["failures"] = failures;
  j["failuresCsv"] = text(s.failuresCsv);
  j["messages"] = s.messages;
  // Replace: a path or a device's message may hold bytes that are not UTF-8.
  return j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace pelorin
