#include "data/limits/panel_check.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "data/snr/panel_noise.h"

namespace pelorin {
namespace {

std::string Number(double v) {
  char text[64];
  if (v == std::floor(v) && std::fabs(v) < 1e15)
    std::snprintf(text, sizeof text, "%.0f", v);
  else
    std::snprintf(text, sizeof text, "%.3f", v);
  return text;
}

void CheckBounds(const char* check, int32_t x, int32_t y, double low, double high,
                 const CellBounds& b, std::vector<CellFailure>* failures) {
  if (b.min && low < *b.min) failures->push_back({check, x, y, low, *b.min, true});
  if (b.max && high > *b.max) failures->push_back({check, x, y, high, *b.max, false});
}

}  // namespace

void CellStatistics::Reset(int32_t width, int32_t height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  frames_ = 0;
  const size_t n = size_t(width_) * size_t(height_);
  min_.assign(n, std::numeric_limits<int32_t>::max());
  max_.assign(n, std::numeric_limits<int32_t>::min());
  count_.assign(n, 0);
  sum_.assign(n, 0);
}

void CellStatistics::Add(const int32_t* cells, const uint8_t* mask) {
  ++frames_;
  for (size_t i = 0; i < min_.size(); ++i) {
    if (mask != nullptr && mask[i] == 0) continue;
    const int32_t v = cells[i];
    min_[i] = std::min(min_[i], v);
    max_[i] = std::max(max_[i], v);
    sum_[i] += v;
    ++count_[i];
  }
}

std::vector<int32_t> CellStatistics::MeanFrame() const {
  std::vector<int32_t> mean(min_.size(), 0);
  for (size_t i = 0; i < mean.size(); ++i) mean[i] = static_cast<int32_t>(std::lround(Mean(i)));
  return mean;
}

std::vector<uint8_t> CellStatistics::SeenMask() const {
  std::vector<uint8_t> seen(min_.size(), 0);
  for (size_t i = 0; i < seen.size(); ++i) seen[i] = Seen(i) ? 1 : 0;
  return seen;
}

void CheckValueLimits(const CellStatistics& stats, const std::vector<CellBounds>& bounds,
                      std::vector<CellFailure>* failures) {
  const int32_t h = stats.Height();
  for (int32_t x = 0; x < stats.Width(); ++x) {
    for (int32_t y = 0; y < h; ++y) {
      const size_t i = size_t(x) * size_t(h) + size_t(y);
      if (i >= bounds.size() || !stats.Seen(i)) continue;
      CheckBounds("value", x, y, stats.Min(i), stats.Max(i), bounds[i], failures);
    }
  }
}

bool ParseTolerance(const std::string& text, Tolerance* out) {
  std::string_view s = text;
  Tolerance t;
  if (!s.empty() && s.back() == '%') {
    t.percent = true;
    s.remove_suffix(1);
  }
  double v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v) ||
      v < 0)
    return false;
  t.amount = v;
  *out = t;
  return true;
}

bool CheckGolden(const CellStatistics& stats, const GoldenFrame& golden, const Tolerance& tolerance,
                 std::vector<CellFailure>* failures, std::string* error) {
  if (stats.Width() != golden.width || stats.Height() != golden.height) {
    *error = "the golden recording is " + std::to_string(golden.width) + " x " +
             std::to_string(golden.height) + " cells, the panel " + std::to_string(stats.Width()) +
             " x " + std::to_string(stats.Height());
    return false;
  }
  const int32_t h = stats.Height();
  for (int32_t x = 0; x < stats.Width(); ++x) {
    for (int32_t y = 0; y < h; ++y) {
      const size_t i = size_t(x) * size_t(h) + size_t(y);
      if (!stats.Seen(i) || golden.valid[i] == 0) continue;
      const double ref = golden.mean[i];
      const double tol =
          tolerance.percent ? std::fabs(ref) * tolerance.amount / 100.0 : tolerance.amount;
      const double mean = stats.Mean(i);
      // A hair of slack so that a mean equal to the bound in decimal is not failed by
      // the binary rounding of the division.
      const double slack = 1e-9 * std::max(1.0, std::fabs(ref));
      if (mean < ref - tol - slack) failures->push_back({"golden", x, y, mean, ref - tol, true});
      if (mean > ref + tol + slack) failures->push_back({"golden", x, y, mean, ref + tol, false});
    }
  }
  return true;
}

CellNoiseFigures NoiseFiguresOf(const PanelNoiseReport& report) {
  CellNoiseFigures n;
  const size_t cells = size_t(std::max(report.width, 0)) * size_t(std::max(report.height, 0));
  if (report.cells.size() != cells) return n;
  n.width = report.width;
  n.height = report.height;
  n.peakToPeak.resize(cells);
  n.rms.resize(cells);
  n.valid.resize(cells);
  for (size_t i = 0; i < cells; ++i) {
    n.peakToPeak[i] = report.cells[i].noisePp;
    n.rms[i] = report.cells[i].noiseRms;
    n.valid[i] = report.cells[i].untouchedFrames > 0 ? 1 : 0;
  }
  return n;
}

void CheckNoiseLimits(const CellNoiseFigures& noise, const std::vector<CellBounds>& ppBounds,
                      const std::vector<CellBounds>& rmsBounds,
                      std::vector<CellFailure>* failures) {
  const size_t n = size_t(std::max(noise.width, 0)) * size_t(std::max(noise.height, 0));
  if (noise.peakToPeak.size() != n || noise.rms.size() != n) return;
  for (int32_t x = 0; x < noise.width; ++x) {
    for (int32_t y = 0; y < noise.height; ++y) {
      const size_t i = size_t(x) * size_t(noise.height) + size_t(y);
      if (!noise.valid.empty() && (i >= noise.valid.size() || noise.valid[i] == 0)) continue;
      if (i < ppBounds.size())
        CheckBounds("noise_pp", x, y, noise.peakToPeak[i], noise.peakToPeak[i], ppBounds[i],
                    failures);
      if (i < rmsBounds.size())
        CheckBounds("noise_rms", x, y, noise.rms[i], noise.rms[i], rmsBounds[i], failures);
    }
  }
}

std::string FailuresCsv(const std::vector<CellFailure>& failures) {
  std::string out = "check,x,y,value,limit,bound\n";
  for (const CellFailure& f : failures) {
    out += f.check + "," + std::to_string(f.x) + "," + std::to_string(f.y) + "," + Number(f.value) +
           "," + Number(f.limit) + "," + (f.below ? "min" : "max") + "\n";
  }
  return out;
}

std::string DescribeFailure(const CellFailure& f) {
  return f.check + " (" + std::to_string(f.x) + ", " + std::to_string(f.y) +
         "): " + Number(f.value) + (f.below ? " below min " : " above max ") + Number(f.limit);
}

}  // namespace pelorin
