#pragma once
// What each check of a capture measured, for the line report: every limits rule with the
// extremes of the cells it governs, the golden comparison with its largest distance, and
// the panel's noise figures. The pass/fail judgement itself stays in panel_check; this
// only attributes its failures and measurements to the rule or reference behind them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/limits/limits_file.h"
#include "data/limits/panel_check.h"

namespace pelorin {

struct PanelNoiseReport;

// The device a run opened.
struct DeviceIdentity {
  int32_t type = 0;      // DeviceType
  std::string typeName;  // "DEV_Z3_USB", ...
  std::string path;
  uint16_t vid = 0, pid = 0;
};

// The name of a device type as the library's callers print it, or "type N".
std::string DeviceTypeName(int32_t type);

// Noise of every cell over the frames of the run (all taken as untouched).
struct NoiseFigures {
  int32_t frames = 0;
  int32_t cells = 0;  // cells with a figure
  double ppMin = 0, ppMedian = 0, ppMax = 0;
  double rmsMin = 0, rmsMedian = 0, rmsMax = 0;
};
NoiseFigures NoiseFiguresFor(const PanelNoiseReport& report);

// How a check ended.
enum class CheckOutcome {
  NotChecked,  // the run ended before the panel could be judged
  NotApplied,  // a rule every cell of which a more specific rule took over
  Pass,
  Fail,
};
const char* CheckOutcomeName(CheckOutcome outcome);  // "not checked", ..., "pass", "fail"

struct RuleResult {
  LimitRule rule;
  int32_t cells = 0;  // cells whose bounds this rule set (and that held a value)
  // Value rules: the lowest and highest value of those cells over the run; noise rules:
  // the lowest and highest noise figure among them.
  std::optional<double> lowest, highest;
  int32_t failures = 0;  // failing cell checks
  CheckOutcome outcome = CheckOutcome::NotChecked;
};

// The rules of `limits`, in file order, not checked.
std::vector<RuleResult> UncheckedRules(const LimitsFile& limits);

// Each rule after the checks: `failures` as panel_check listed them; `noise` may be null
// when the limits hold no noise rule. False with a reason when a rule names a line
// outside the panel (the checks refuse such limits before this is asked).
bool JudgedRules(const LimitsFile& limits, const CellStatistics& stats,
                 const CellNoiseFigures* noise, const std::vector<CellFailure>& failures,
                 std::vector<RuleResult>* out, std::string* error);

struct GoldenResult {
  std::string file;
  std::string source;     // the reference's source type
  int32_t frames = 0;     // frames in the reference
  std::string tolerance;  // as given: "3" or "2.5%"
  Tolerance parsed;
  int32_t cells = 0;  // cells compared (held a value in both)
  // The largest distance of a cell's mean from the reference, and where.
  std::optional<double> maxDeviation;
  int32_t x = -1, y = -1;
  int32_t failures = 0;
  CheckOutcome outcome = CheckOutcome::NotChecked;
};

// The comparison after CheckGolden (same size); failures as it listed them.
void MeasureGolden(const CellStatistics& stats, const GoldenFrame& golden,
                   const std::vector<CellFailure>& failures, GoldenResult* result);

}  // namespace pelorin
