#include "cli/line_report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/json_number.h"
#include "cli/run_info.h"
#include "cli/xml_text.h"

namespace pelorin {
namespace {

using Json = nlohmann::ordered_json;

constexpr size_t kFailuresListed = 50;

constexpr LimitKind kKinds[] = {LimitKind::Value, LimitKind::NoisePp, LimitKind::NoiseRms};

Json TextOrNull(const std::string& value) { return value.empty() ? Json() : Json(value); }

Json OptionalNumber(const std::optional<double>& v) { return v ? JsonNumber(*v) : Json(); }

// Why the panel was not judged, for the checks that did not run.
std::string NotJudgedReason(const CaptureSummary& s) {
  if (!s.error.empty()) return "not checked: " + s.error;
  return "not checked: the capture ended with \"" + (s.outcome.empty() ? "error" : s.outcome) +
         "\"";
}

std::string FailureLines(const std::vector<CellFailure>& failures, const std::string& check) {
  std::string t;
  size_t listed = 0, more = 0;
  for (const CellFailure& f : failures) {
    if (f.check != check) continue;
    if (listed++ < kFailuresListed) {
      t += DescribeFailure(f) + "\n";
    } else {
      ++more;
    }
  }
  if (more > 0) t += "... and " + std::to_string(more) + " more\n";
  return t;
}

LineCheck CaptureCheck(const CaptureSummary& s) {
  LineCheck c{.name = "capture"};
  if (s.captured) {
    c.outcome = CheckOutcome::Pass;
    return c;
  }
  c.error = true;
  c.outcome = CheckOutcome::Fail;
  if (!s.error.empty()) {
    c.message = s.error;
  } else {
    c.message = (s.outcome.empty() ? std::string("stopped") : s.outcome) + " after " +
                std::to_string(s.frames) + " of " + std::to_string(s.requested) + " frames";
    for (const std::string& m : s.messages) c.details += m + "\n";
  }
  return c;
}

LineCheck LimitsCheck(LimitKind kind, const CaptureSummary& s) {
  LineCheck c{.name = std::string("limits ") + LimitKindName(kind)};
  int32_t rules = 0, failures = 0, cells = 0;
  bool unchecked = false;
  for (const RuleResult& r : s.rules) {
    if (r.rule.kind != kind) continue;
    ++rules;
    failures += r.failures;
    cells += r.cells;
    unchecked = unchecked || r.outcome == CheckOutcome::NotChecked;
  }
  if (unchecked) {
    c.message = NotJudgedReason(s);
    return c;
  }
  c.outcome = failures > 0 ? CheckOutcome::Fail : CheckOutcome::Pass;
  if (failures > 0) {
    c.message = std::to_string(failures) + " failing cell checks of " + std::to_string(cells) +
                " cells under " + std::to_string(rules) + " " + LimitKindName(kind) + " rules";
    c.details = FailureLines(s.failures, LimitKindName(kind));
  }
  return c;
}

LineCheck GoldenCheck(const GoldenResult& g, const CaptureSummary& s) {
  LineCheck c{.name = "golden"};
  c.outcome = g.outcome;
  if (g.outcome == CheckOutcome::NotChecked) {
    c.message = NotJudgedReason(s);
  } else if (g.outcome == CheckOutcome::Fail) {
    c.message = std::to_string(g.failures) + " cells further than " + g.tolerance +
                " from the golden mean of " + g.file;
    c.details = FailureLines(s.failures, "golden");
  }
  return c;
}

LineCheck BadFramesCheck(const CaptureSummary& s, int32_t allowed) {
  LineCheck c{.name = "bad frames"};
  if (!s.judged) {
    c.message = NotJudgedReason(s);
    return c;
  }
  c.outcome = s.tooManyBadFrames ? CheckOutcome::Fail : CheckOutcome::Pass;
  if (s.tooManyBadFrames) {
    c.message = std::to_string(s.badFrames.Total()) + " bad frames, more than the allowed " +
                std::to_string(allowed) + ": " + std::to_string(s.badFrames.zero) + " all zero, " +
                std::to_string(s.badFrames.repeated) + " repeated, " +
                std::to_string(s.badFrames.outOfRange) + " out of range";
  }
  return c;
}

Json RuleJson(const RuleResult& r) {
  auto line = [](int32_t v) { return v < 0 ? Json() : Json(v); };
  return Json{{"line", r.rule.line},
              {"kind", LimitKindName(r.rule.kind)},
              {"x", line(r.rule.x)},
              {"y", line(r.rule.y)},
              {"min", OptionalNumber(r.rule.min)},
              {"max", OptionalNumber(r.rule.max)},
              {"cells", r.cells},
              {"lowest", OptionalNumber(r.lowest)},
              {"highest", OptionalNumber(r.highest)},
              {"failures", r.failures},
              {"outcome", CheckOutcomeName(r.outcome)}};
}

Json GoldenJson(const GoldenResult& g) {
  return Json{{"file", g.file},
              {"source", TextOrNull(g.source)},
              {"frames", g.frames},
              {"tolerance",
               {{"text", g.tolerance},
                {"amount", JsonNumber(g.parsed.amount)},
                {"percent", g.parsed.percent}}},
              {"cells", g.cells},
              {"maxDeviation", OptionalNumber(g.maxDeviation)},
              {"at", g.x < 0 ? Json() : Json{{"x", g.x}, {"y", g.y}}},
              {"failures", g.failures},
              {"outcome", CheckOutcomeName(g.outcome)}};
}

Json DeviceJson(const std::optional<DeviceIdentity>& d) {
  if (!d) return nullptr;
  char ids[16];
  std::snprintf(ids, sizeof ids, "%04x:%04x", unsigned(d->vid), unsigned(d->pid));
  return Json{{"type", d->type}, {"typeName", d->typeName}, {"path", d->path}, {"vidPid", ids}};
}

Json NoiseJson(const std::optional<NoiseFigures>& n) {
  if (!n) return nullptr;
  auto figure = [&](double lo, double median, double hi) {
    return n->cells == 0 ? Json()
                         : Json{{"min", JsonNumber(lo)},
                                {"median", JsonNumber(median)},
                                {"max", JsonNumber(hi)}};
  };
  return Json{{"frames", n->frames},
              {"cells", n->cells},
              {"peakToPeak", figure(n->ppMin, n->ppMedian, n->ppMax)},
              {"rms", figure(n->rmsMin, n->rmsMedian, n->rmsMax)}};
}

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", s < 0 ? 0.0 : s);
  return text;
}

}  // namespace

std::vector<LineCheck> LineChecks(const CaptureOptions& o, const CaptureSummary& s) {
  std::vector<LineCheck> checks = {CaptureCheck(s)};
  for (const LimitKind kind : kKinds) {
    for (const RuleResult& r : s.rules) {
      if (r.rule.kind != kind) continue;
      checks.push_back(LimitsCheck(kind, s));
      break;
    }
  }
  if (s.golden) checks.push_back(GoldenCheck(*s.golden, s));
  if (o.maxBadFrames) checks.push_back(BadFramesCheck(s, *o.maxBadFrames));
  return checks;
}

const char* RunResultName(int exitStatus) {
  if (exitStatus == kExitOk) return "pass";
  if (exitStatus == kExitLimitsFailed) return "fail";
  if (exitStatus == kExitInterrupted || exitStatus == 128 + 2 || exitStatus == 128 + 15)
    return "interrupted";
  return "error";
}

std::string ReportJson(const CaptureOptions& o, const CaptureSummary& s) {
  Json j;
  j["format"] = "pelorin-capture report 1";
  j["tool"] = {{"name", "pelorin-capture"}, {"version", ToolVersion()}};
  j["library"] = {{"name", "corlink"}, {"version", LibraryVersion()}};
  j["serial"] = TextOrNull(o.serial);
  j["station"] = TextOrNull(o.station);
  j["device"] = DeviceJson(s.device);
  j["startTime"] = s.startTime;
  j["endTime"] = s.endTime;
  j["seconds"] = JsonNumber(s.seconds);
  j["source"] = s.source;
  j["width"] = s.width;
  j["height"] = s.height;
  j["frames"] = {{"requested", s.requested},
                 {"read", s.frames},
                 {"recorded", s.recorded},
                 {"readFailures", s.readFailures}};
  j["statistics"] = {
      {"frameRate", JsonNumber(s.frameRate)},
      {"average", JsonNumber(s.average)},
      {"frameMax", s.frameMax},
      {"overallMax", s.overallMax},
      {"frameMin", s.frameMin},
      {"overallMin", s.overallMin},
      {"standardDeviation", s.source == "Base" ? JsonNumber(s.standardDeviation) : Json()},
      {"flatness", s.source == "Cycle" ? JsonNumber(s.flatness) : Json()}};
  j["noise"] = NoiseJson(s.noise);
  j["badFrames"] = {{"total", s.badFrames.Total()},
                    {"zero", s.badFrames.zero},
                    {"repeated", s.badFrames.repeated},
                    {"outOfRange", s.badFrames.outOfRange},
                    {"allowed", o.maxBadFrames ? Json(*o.maxBadFrames) : Json()}};
  Json rules = Json::array();
  for (const RuleResult& r : s.rules) rules.push_back(RuleJson(r));
  j["limits"] = o.limits.empty() ? Json() : Json{{"file", o.limits}, {"rules", rules}};
  j["golden"] = s.golden ? GoldenJson(*s.golden) : Json();
  Json checks = Json::array();
  for (const LineCheck& c : LineChecks(o, s)) {
    checks.push_back({{"name", c.name},
                      {"outcome", c.error ? "error" : CheckOutcomeName(c.outcome)},
                      {"message", TextOrNull(c.message)}});
  }
  j["checks"] = checks;
  j["files"] = {{"recording", TextOrNull(s.recording)},
                {"mat", TextOrNull(s.mat)},
                {"png", TextOrNull(s.png)},
                {"failures", TextOrNull(s.failuresCsv)},
                {"junit", TextOrNull(o.junit)}};
  j["end"] = s.outcome.empty() ? "not started" : s.outcome;
  j["deviceLost"] = s.deviceLost;
  j["interrupted"] = s.interrupted;
  j["messages"] = s.messages;
  j["outcome"] = RunResultName(s.exitStatus);
  j["exitStatus"] = s.exitStatus;
  // Replace: a path or a device's message may hold bytes that are not UTF-8.
  return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string ReportJunit(const CaptureOptions& o, const CaptureSummary& s) {
  const std::vector<LineCheck> checks = LineChecks(o, s);
  int failures = 0, errors = 0, skipped = 0;
  for (const LineCheck& c : checks) {
    if (c.error) {
      ++errors;
    } else if (c.outcome == CheckOutcome::Fail) {
      ++failures;
    } else if (c.outcome != CheckOutcome::Pass) {
      ++skipped;
    }
  }
  const std::string classname = "pelorin-capture" + (o.serial.empty() ? "" : "." + o.serial);
  const std::string counts = " tests=\"" + std::to_string(checks.size()) + "\" failures=\"" +
                             std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
                             "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" +
                             Seconds(s.seconds) + "\"";
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  x += "<testsuites name=\"pelorin-capture\"" + counts + ">\n";
  x += "  <testsuite name=\"" + XmlEscape(classname) + "\"" + counts + " timestamp=\"" +
       XmlEscape(s.startTime) + "\"" +
       (o.station.empty() ? "" : " hostname=\"" + XmlEscape(o.station) + "\"") + ">\n";
  x += "    <properties>\n";
  auto property = [&](const std::string& name, const std::string& value) {
    if (!value.empty())
      x += "      <property name=\"" + name + "\" value=\"" + XmlEscape(value) + "\"/>\n";
  };
  property("serial", o.serial);
  property("station", o.station);
  property("source", s.source);
  if (s.device) {
    property("device", s.device->typeName);
    property("path", s.device->path);
  }
  property("recording", s.recording);
  property("report", o.report);
  x += "    </properties>\n";
  for (const LineCheck& c : checks) {
    x += "    <testcase classname=\"" + XmlEscape(classname) + "\" name=\"" + XmlEscape(c.name) +
         "\" time=\"" + Seconds(c.name == "capture" ? s.seconds : 0) + "\"";
    const char* element = c.error                           ? "error"
                          : c.outcome == CheckOutcome::Fail ? "failure"
                          : c.outcome != CheckOutcome::Pass ? "skipped"
                                                            : nullptr;
    if (element == nullptr) {
      x += "/>\n";
      continue;
    }
    x += ">\n      <" + std::string(element) + " message=\"" + XmlEscape(c.message) + "\"";
    if (c.details.empty()) {
      x += "/>\n";
    } else {
      x += ">" + XmlEscape(c.details, false) + "</" + element + ">\n";
    }
    x += "    </testcase>\n";
  }
  x += "  </testsuite>\n</testsuites>\n";
  return x;
}

bool WriteLineReports(const CaptureOptions& o, CaptureSummary& s, std::string* error) {
  bool ok = true;
  error->clear();
  auto fail = [&](const std::string& cause) {
    *error += (ok ? "" : "; ") + cause;
    ok = false;
    s.messages.push_back(cause);
    if (s.exitStatus == kExitOk) s.exitStatus = kExitDeviceError;
  };
  std::string cause;
  CaptureOptions filed = o;  // the record names only the files that were written
  if (!o.junit.empty() && !WriteFileReplacing(o.junit, ReportJunit(o, s), &cause)) {
    fail(cause);
    filed.junit.clear();
  }
  // Last, so that it holds the exit status the run ends with.
  if (!o.report.empty() && !WriteFileReplacing(o.report, ReportJson(filed, s), &cause)) fail(cause);
  return ok;
}

}  // namespace pelorin
