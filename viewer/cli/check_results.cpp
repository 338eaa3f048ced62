#include "cli/check_results.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "data/snr/panel_noise.h"

namespace pelorin {

std::string DeviceTypeName(int32_t type) {
  static constexpr const char* kNames[] = {
      "NOT_SET",         "UNKNOWN",           "DEV_Z2_I2C",     "DEV_Z3_I2C",
      "DEV_Z2_USB_BRG",  "DEV_Z2_I2C_MASTER", "DEV_Z3_USB_BRG", "DEV_Z3_I2C_MASTER",
      "DEV_Z2_USB",      "DEV_Z3_USB",        "DEV_SPI",        "DEV_Z3_HID_OVER_I2C",
      "DEV_USB_Z6SLAVE", "DEV_USB_Z7SLAVE",   "DEV_USB_BRG_EP1"};
  if (type >= 0 && size_t(type) < std::size(kNames)) return kNames[type];
  return "type " + std::to_string(type);
}

NoiseFigures NoiseFiguresFor(const PanelNoiseReport& report) {
  NoiseFigures n;
  n.frames = report.untouchedFrames;
  n.cells = report.noisePp.count;
  // With no cell the summaries hold NaN; the report leaves the figures at 0 then.
  if (n.cells > 0) {
    n.ppMin = report.noisePp.min;
    n.ppMedian = report.noisePp.median;
    n.ppMax = report.noisePp.max;
    n.rmsMin = report.noiseRms.min;
    n.rmsMedian = report.noiseRms.median;
    n.rmsMax = report.noiseRms.max;
  }
  return n;
}

const char* CheckOutcomeName(CheckOutcome outcome) {
  switch (outcome) {
    case CheckOutcome::NotApplied: return "not applied";
    case CheckOutcome::Pass: return "pass";
    case CheckOutcome::Fail: return "fail";
    default: return "not checked";
  }
}

std::vector<RuleResult> UncheckedRules(const LimitsFile& limits) {
  std::vector<RuleResult> out;
  for (const LimitRule& r : limits.rules) out.push_back(RuleResult{.rule = r});
  return out;
}

namespace {

LimitKind KindOfCheck(const std::string& check, bool* known) {
  *known = true;
  if (check == LimitKindName(LimitKind::Value)) return LimitKind::Value;
  if (check == LimitKindName(LimitKind::NoisePp)) return LimitKind::NoisePp;
  if (check == LimitKindName(LimitKind::NoiseRms)) return LimitKind::NoiseRms;
  *known = false;
  return LimitKind::Value;
}

void Widen(RuleResult& r, double lowest, double highest) {
  r.lowest = r.lowest ? std::min(*r.lowest, lowest) : lowest;
  r.highest = r.highest ? std::max(*r.highest, highest) : highest;
}

}  // namespace

bool JudgedRules(const LimitsFile& limits, const CellStatistics& stats,
                 const CellNoiseFigures* noise, const std::vector<CellFailure>& failures,
                 std::vector<RuleResult>* out, std::string* error) {
  std::vector<RuleResult> rules = UncheckedRules(limits);
  const int32_t w = stats.Width(), h = stats.Height();
  const size_t cells = size_t(std::max(w, 0)) * size_t(std::max(h, 0));
  std::vector<int32_t> owner[3];
  for (const LimitKind kind : {LimitKind::Value, LimitKind::NoisePp, LimitKind::NoiseRms}) {
    if (!HasRules(limits, kind)) continue;
    std::vector<CellBounds> unused;
    if (!ResolveLimits(limits, kind, w, h, &unused, error, &owner[int(kind)])) return false;
    const bool value = kind == LimitKind::Value;
    // Noise of another size than the panel (or none) leaves the noise rules unmeasured.
    const bool noiseFits = noise != nullptr && noise->width == w && noise->height == h &&
                           noise->peakToPeak.size() == cells && noise->rms.size() == cells;
    if (!value && !noiseFits) continue;
    for (size_t i = 0; i < cells; ++i) {
      const int32_t n = owner[int(kind)][i];
      if (n < 0) continue;
      RuleResult& r = rules[size_t(n)];
      if (value) {
        if (!stats.Seen(i)) continue;
        Widen(r, stats.Min(i), stats.Max(i));
      } else {
        if (!noise->valid.empty() && (i >= noise->valid.size() || noise->valid[i] == 0)) continue;
        const double v = kind == LimitKind::NoisePp ? noise->peakToPeak[i] : noise->rms[i];
        Widen(r, v, v);
      }
      ++r.cells;
    }
  }
  for (const CellFailure& f : failures) {
    bool known = false;
    const LimitKind kind = KindOfCheck(f.check, &known);
    if (!known || f.x < 0 || f.y < 0 || f.x >= w || f.y >= h) continue;
    const std::vector<int32_t>& own = owner[int(kind)];
    const size_t i = size_t(f.x) * size_t(h) + size_t(f.y);
    if (i < own.size() && own[i] >= 0) ++rules[size_t(own[i])].failures;
  }
  for (RuleResult& r : rules) {
    const bool measured = r.rule.kind == LimitKind::Value || noise != nullptr;
    r.outcome = r.failures > 0 ? CheckOutcome::Fail
                : !measured    ? CheckOutcome::NotChecked
                : r.cells == 0 ? CheckOutcome::NotApplied
                               : CheckOutcome::Pass;
  }
  *out = std::move(rules);
  return true;
}

void MeasureGolden(const CellStatistics& stats, const GoldenFrame& golden,
                   const std::vector<CellFailure>& failures, GoldenResult* result) {
  GoldenResult& g = *result;
  g.cells = 0;
  g.maxDeviation.reset();
  g.x = g.y = -1;
  g.failures = 0;
  const int32_t w = stats.Width(), h = stats.Height();
  if (w == golden.width && h == golden.height) {
    const size_t cells = size_t(std::max(w, 0)) * size_t(std::max(h, 0));
    for (size_t i = 0; i < cells && i < golden.mean.size() && i < golden.valid.size(); ++i) {
      if (!stats.Seen(i) || golden.valid[i] == 0) continue;
      ++g.cells;
      const double d = std::fabs(stats.Mean(i) - golden.mean[i]);
      if (!g.maxDeviation || d > *g.maxDeviation) {
        g.maxDeviation = d;
        g.x = int32_t(i / size_t(h));
        g.y = int32_t(i % size_t(h));
      }
    }
  }
  for (const CellFailure& f : failures)
    if (f.check == "golden") ++g.failures;
  g.outcome = g.failures > 0 ? CheckOutcome::Fail
              : g.cells == 0 ? CheckOutcome::NotApplied
                             : CheckOutcome::Pass;
}

}  // namespace pelorin
