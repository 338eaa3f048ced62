// Panel-wide noise and SNR of a Diff run, cell by cell. The untouched frames give each
// cell's noise, the touched frames its signal:
//   noise_pp  = largest - smallest value over the untouched frames;
//   noise_rms = root of the mean squared distance from the untouched mean (population
//               standard deviation);
//   signal    = largest value over the touched frames - mean over the untouched frames
//               (the touch's peak, as the edge lines take it: a finger that crosses a
//               cell in a few frames of a long run would vanish in a mean);
//   snr       = signal / noise_pp (linear), snr_db = 20 * log10(snr).
// SNR uses the peak-to-peak noise, the stricter of the two, and exists only for a cell
// the finger touched: one whose signal rises above its peak-to-peak noise. A cell no
// finger reached has a signal within its noise, and a ratio of noise to noise says
// nothing about the panel; its SNR figures are NaN (an empty field in the file, left out
// of the summaries). A cell whose noise is 0 is marked (noiseZero) instead of divided
// by; its SNR figures are NaN too, as are those of a cell missing one of the phases.
//
// The accumulator keeps running sums and extremes per cell, never the frames, so a run of
// any length costs the same memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelorin {

struct LiveFrame;

struct CellNoise {
  int32_t x = 0, y = 0;
  double noisePp = 0.0, noiseRms = 0.0, signal = 0.0, snr = 0.0, snrDb = 0.0;
  bool noiseZero = false;
  bool touched = false;  // signal above the peak-to-peak noise: the cell has an SNR
  int32_t untouchedFrames = 0, touchedFrames = 0;
};

// One figure over the cells that have it (NaN values left out). "Worst" is the largest
// noise and the smallest signal or SNR; worstX and worstY name the first such cell.
struct FigureSummary {
  int32_t count = 0;  // cells with a value; when 0 the figures are NaN and the cell -1
  double min = 0.0, median = 0.0, max = 0.0, worst = 0.0;
  int32_t worstX = -1, worstY = -1;
};

struct PanelNoiseReport {
  int32_t width = 0, height = 0;
  std::vector<CellNoise> cells;  // x-major: index x * height + y
  int32_t untouchedFrames = 0;   // frames offered to each phase, masked cells included
  int32_t touchedFrames = 0;
  FigureSummary noisePp, noiseRms, signal, snr, snrDb;
  int32_t noiseZeroCells = 0;
  int32_t touchedCells = 0;  // cells with an SNR
  // The cells of lowest SNR, worst first (at most kWorstCells; cells without an SNR are
  // not listed).
  static constexpr size_t kWorstCells = 10;
  std::vector<CellNoise> worstCells;
};

class PanelNoiseAccumulator {
 public:
  PanelNoiseAccumulator(int32_t width, int32_t height);

  // One frame of the phase: width x height cells, x-major as in a live frame; valid holds
  // 1 for a value and 0 for a masked cell (skipped), or is empty for all valid. A frame of
  // another size is refused (false) and changes nothing.
  bool AddUntouched(const std::vector<int32_t>& cells, const std::vector<uint8_t>& valid);
  bool AddTouched(const std::vector<int32_t>& cells, const std::vector<uint8_t>& valid);
  bool AddUntouched(const LiveFrame& frame);
  bool AddTouched(const LiveFrame& frame);

  PanelNoiseReport Report() const;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

 private:
  struct Cell {
    int32_t untouched = 0;
    int32_t min = 0, max = 0;
    double mean = 0.0, m2 = 0.0;  // running mean and squared deviations (Welford)
    int32_t touched = 0;
    int32_t touchedMax = 0;
  };
  bool Accepts(const std::vector<int32_t>& cells, const std::vector<uint8_t>& valid) const;

  int32_t width_, height_;
  std::vector<Cell> cells_;
  int32_t untouchedFrames_ = 0, touchedFrames_ = 0;
};

// Writes one row per cell in report order under the header
// "x,y,noise_pp,noise_rms,signal,snr_db"; a figure a cell does not have is an empty
// field. False with a message in *error when the file cannot be written.
bool WritePanelNoiseCsv(const std::string& path, const PanelNoiseReport& report,
                        std::string* error);

// "<recording>-noise.csv" for the recording file name (its ".csv" dropped).
std::string PanelNoiseFileName(const std::string& recordingName);

}  // namespace pelorin
