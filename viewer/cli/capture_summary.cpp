// The summary pelorin-capture prints at the end: text for people, JSON for scripts.
#include <cstdio>
#include <string>

#include "cli/capture.h"

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

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string JsonNumber(double v) {
  if (!(v == v) || v > 1e300 || v < -1e300) return "null";
  return Format(-1, v);
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
    if (s.failures.empty()) {
      t += "PASS\n";
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
  std::string j = "{";
  auto field = [&](const std::string& name, const std::string& value) {
    if (j.size() > 1) j += ",";
    j += "\"" + name + "\":" + value;
  };
  auto text = [&](const std::string& value) {
    return value.empty() ? std::string("null") : JsonString(value);
  };
  field("source", JsonString(s.source));
  field("width", std::to_string(s.width));
  field("height", std::to_string(s.height));
  field("requested", std::to_string(s.requested));
  field("frames", std::to_string(s.frames));
  field("recorded", std::to_string(s.recorded));
  field("readFailures", std::to_string(s.readFailures));
  field("frameRate", JsonNumber(s.frameRate));
  field("average", JsonNumber(s.average));
  field("frameMax", std::to_string(s.frameMax));
  field("overallMax", std::to_string(s.overallMax));
  field("frameMin", std::to_string(s.frameMin));
  field("overallMin", std::to_string(s.overallMin));
  field("standardDeviation", JsonNumber(s.standardDeviation));
  field("flatness", JsonNumber(s.flatness));
  field("recording", text(s.recording));
  field("mat", text(s.mat));
  field("png", text(s.png));
  field("deviceLost", s.deviceLost ? "true" : "false");
  field("outcome", text(s.outcome));
  field("interrupted", s.interrupted ? "true" : "false");
  if (s.noiseChecked) {
    field("noisePpMax", JsonNumber(s.noisePpMax));
    field("noiseRmsMax", JsonNumber(s.noiseRmsMax));
  }
  field("verdict", !s.judged ? "null" : s.failures.empty() ? "\"PASS\"" : "\"FAIL\"");
  std::string failures = "[";
  for (size_t i = 0; i < s.failures.size(); ++i) {
    const CellFailure& f = s.failures[i];
    if (i > 0) failures += ",";
    failures += "{\"check\":" + JsonString(f.check) + ",\"x\":" + std::to_string(f.x) +
                ",\"y\":" + std::to_string(f.y) + ",\"value\":" + JsonNumber(f.value) +
                ",\"limit\":" + JsonNumber(f.limit) + ",\"bound\":\"" + (f.below ? "min" : "max") +
                "\"}";
  }
  field("failures", failures + "]");
  field("failuresCsv", text(s.failuresCsv));
  std::string messages = "[";
  for (size_t i = 0; i < s.messages.size(); ++i)
    messages += (i > 0 ? "," : "") + JsonString(s.messages[i]);
  field("messages", messages + "]");
  return j + "}\n";
}

}  // namespace pelorin
