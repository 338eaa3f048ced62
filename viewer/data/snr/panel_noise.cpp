#include "data/snr/panel_noise.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "data/live_model.h"

namespace pelorin {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

enum class Worse { Larger, Smaller };

// Summary of one figure; `of` picks it from a cell.
template <typename Of>
FigureSummary Summarise(const std::vector<CellNoise>& cells, Of of, Worse worse) {
  FigureSummary s;
  std::vector<double> values;
  values.reserve(cells.size());
  const CellNoise* worst = nullptr;
  for (const CellNoise& c : cells) {
    const double v = of(c);
    if (std::isnan(v)) continue;
    values.push_back(v);
    const bool worseThan =
        worst != nullptr && (worse == Worse::Larger ? v > of(*worst) : v < of(*worst));
    if (worst == nullptr || worseThan) worst = &c;
  }
  s.count = static_cast<int32_t>(values.size());
  if (values.empty()) {
    s.min = s.median = s.max = s.worst = kNaN;
    return s;
  }
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  s.min = values.front();
  s.max = values.back();
  s.median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
  s.worst = of(*worst);
  s.worstX = worst->x;
  s.worstY = worst->y;
  return s;
}

// A figure for the file: empty when the cell has none.
void AppendField(std::string& line, double v, int decimals) {
  line += ',';
  if (std::isnan(v) || std::isinf(v)) return;
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  line += text;
}

}  // namespace

PanelNoiseAccumulator::PanelNoiseAccumulator(int32_t width, int32_t height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      cells_(static_cast<size_t>(width_) * static_cast<size_t>(height_)) {}

bool PanelNoiseAccumulator::Accepts(const std::vector<int32_t>& cells,
                                    const std::vector<uint8_t>& valid) const {
  return cells.size() == cells_.size() && (valid.empty() || valid.size() == cells_.size());
}

bool PanelNoiseAccumulator::AddUntouched(const std::vector<int32_t>& cells,
                                         const std::vector<uint8_t>& valid) {
  if (!Accepts(cells, valid)) return false;
  ++untouchedFrames_;
  for (size_t i = 0; i < cells_.size(); ++i) {
    if (!valid.empty() && valid[i] == 0) continue;
    Cell& c = cells_[i];
    const int32_t v = cells[i];
    if (c.untouched == 0) {
      c.min = c.max = v;
    } else {
      c.min = std::min(c.min, v);
      c.max = std::max(c.max, v);
    }
    ++c.untouched;
    const double d = v - c.mean;
    c.mean += d / c.untouched;
    c.m2 += d * (v - c.mean);
  }
  return true;
}

bool PanelNoiseAccumulator::AddTouched(const std::vector<int32_t>& cells,
                                       const std::vector<uint8_t>& valid) {
  if (!Accepts(cells, valid)) return false;
  ++touchedFrames_;
  for (size_t i = 0; i < cells_.size(); ++i) {
    if (!valid.empty() && valid[i] == 0) continue;
    Cell& c = cells_[i];
    c.touchedMax = c.touched == 0 ? cells[i] : std::max(c.touchedMax, cells[i]);
    ++c.touched;
  }
  return true;
}

bool PanelNoiseAccumulator::AddUntouched(const LiveFrame& frame) {
  if (frame.width != width_ || frame.height != height_) return false;
  return AddUntouched(frame.cells, frame.mask);
}

bool PanelNoiseAccumulator::AddTouched(const LiveFrame& frame) {
  if (frame.width != width_ || frame.height != height_) return false;
  return AddTouched(frame.cells, frame.mask);
}

PanelNoiseReport PanelNoiseAccumulator::Report() const {
  PanelNoiseReport r;
  r.width = width_;
  r.height = height_;
  r.untouchedFrames = untouchedFrames_;
  r.touchedFrames = touchedFrames_;
  r.cells.resize(cells_.size());
  for (int32_t x = 0; x < width_; ++x) {
    for (int32_t y = 0; y < height_; ++y) {
      const size_t i =
          static_cast<size_t>(x) * static_cast<size_t>(height_) + static_cast<size_t>(y);
      const Cell& c = cells_[i];
      CellNoise& out = r.cells[i];
      out.x = x;
      out.y = y;
      out.untouchedFrames = c.untouched;
      out.touchedFrames = c.touched;
      out.noisePp = c.untouched > 0 ? static_cast<double>(int64_t{c.max} - c.min) : kNaN;
      out.noiseRms = c.untouched > 0 ? std::sqrt(std::max(c.m2, 0.0) / c.untouched) : kNaN;
      out.signal =
          c.untouched > 0 && c.touched > 0 ? static_cast<double>(c.touchedMax) - c.mean : kNaN;
      out.noiseZero = c.untouched > 0 && c.max == c.min;
      out.touched = !std::isnan(out.signal) && !out.noiseZero && out.signal > out.noisePp;
      if (out.touched) {
        out.snr = out.signal / out.noisePp;
        out.snrDb = 20.0 * std::log10(out.snr);
        ++r.touchedCells;
      } else {
        out.snr = out.snrDb = kNaN;
      }
      if (out.noiseZero) ++r.noiseZeroCells;
    }
  }
  r.noisePp = Summarise(
      r.cells, [](const CellNoise& c) { return c.noisePp; }, Worse::Larger);
  r.noiseRms = Summarise(
      r.cells, [](const CellNoise& c) { return c.noiseRms; }, Worse::Larger);
  r.signal = Summarise(
      r.cells, [](const CellNoise& c) { return c.signal; }, Worse::Smaller);
  r.snr = Summarise(
      r.cells, [](const CellNoise& c) { return c.snr; }, Worse::Smaller);
  r.snrDb = Summarise(
      r.cells, [](const CellNoise& c) { return c.snrDb; }, Worse::Smaller);

  for (const CellNoise& c : r.cells) {
    if (!std::isnan(c.snr)) r.worstCells.push_back(c);
  }
  const size_t keep = std::min(r.worstCells.size(), PanelNoiseReport::kWorstCells);
  // Ties keep the cells' own order (x-major), so the list does not depend on the sort.
  std::stable_sort(r.worstCells.begin(), r.worstCells.end(),
                   [](const CellNoise& a, const CellNoise& b) { return a.snr < b.snr; });
  r.worstCells.resize(keep);
  return r;
}

bool WritePanelNoiseCsv(const std::string& path, const PanelNoiseReport& report,
                        std::string* error) {
  auto fail = [&](const char* what) {
    if (error != nullptr) *error = std::string(what) + " " + path + ": " + std::strerror(errno);
    return false;
  };
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return fail("can't create");
  std::string text = "x,y,noise_pp,noise_rms,signal,snr_db\n";
  for (const CellNoise& c : report.cells) {
    text += std::to_string(c.x);
    text += ',';
    text += std::to_string(c.y);
    AppendField(text, c.noisePp, 0);
    AppendField(text, c.noiseRms, 3);
    AppendField(text, c.signal, 3);
    AppendField(text, c.snrDb, 2);
    text += '\n';
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const int savedErrno = errno;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    if (!written) errno = savedErrno;
    return fail("can't write");
  }
  return true;
}

std::string PanelNoiseFileName(const std::string& recordingName) {
  std::string base = recordingName;
  const std::string ext = ".csv";
  if (base.size() >= ext.size() && base.compare(base.size() - ext.size(), ext.size(), ext) == 0) {
    base.resize(base.size() - ext.size());
  }
  return base + "-noise.csv";
}

}  // namespace pelorin
