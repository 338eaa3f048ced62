#pragma once
// The judgement of a captured panel: per-cell figures over the frames of a capture, and
// the checks of those figures against limits, a golden reference and noise limits. Every
// failing cell is listed with the value found and the limit it broke.
#include <cstdint>
#include <string>
#include <vector>

#include "data/limits/golden_file.h"
#include "data/limits/limits_file.h"

namespace pelorin {

// Lowest, highest and mean value of each cell over the frames added. Cells masked in a
// frame do not count for that frame.
class CellStatistics {
 public:
  void Reset(int32_t width, int32_t height);
  // cells and mask: width x height, [x * height + y]; mask nullptr = every cell valid.
  void Add(const int32_t* cells, const uint8_t* mask);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Frames() const { return frames_; }
  // Cell i = x * Height() + y.
  bool Seen(size_t i) const { return count_[i] > 0; }
  int32_t Min(size_t i) const { return min_[i]; }
  int32_t Max(size_t i) const { return max_[i]; }
  double Mean(size_t i) const { return count_[i] > 0 ? double(sum_[i]) / double(count_[i]) : 0.0; }
  // The mean frame rounded to whole counts, and its mask (1 = seen in some frame).
  std::vector<int32_t> MeanFrame() const;
  std::vector<uint8_t> SeenMask() const;

 private:
  int32_t width_ = 0, height_ = 0, frames_ = 0;
  std::vector<int32_t> min_, max_, count_;
  std::vector<int64_t> sum_;
};

struct CellFailure {
  std::string check;  // "value", "golden", "noise_pp", "noise_rms"
  int32_t x = 0, y = 0;
  double value = 0;    // what the cell showed
  double limit = 0;    // the bound it crossed
  bool below = false;  // true: under a minimum; false: over a maximum
};

// Cells whose lowest value lies under their minimum or whose highest lies over their
// maximum. bounds: from ResolveLimits for the same size.
void CheckValueLimits(const CellStatistics& stats, const std::vector<CellBounds>& bounds,
                      std::vector<CellFailure>* failures);

// Tolerance around the golden mean: counts, or percent of the reference's magnitude.
struct Tolerance {
  double amount = 0;
  bool percent = false;
};
// "5" or "2.5%": false for anything else (negative, empty, not a number).
bool ParseTolerance(const std::string& text, Tolerance* out);

// Cells whose mean is further from the golden mean than the tolerance. False with a
// reason when the sizes differ.
bool CheckGolden(const CellStatistics& stats, const GoldenFrame& golden, const Tolerance& tolerance,
                 std::vector<CellFailure>* failures, std::string* error);

// Noise figures of each cell, [x * height + y].
struct CellNoiseFigures {
  int32_t width = 0, height = 0;
  std::vector<double> peakToPeak, rms;
  std::vector<uint8_t> valid;  // empty = every cell
};
// The noise figures of a panel noise report (cells without untouched frames are left out).
struct PanelNoiseReport;
CellNoiseFigures NoiseFiguresOf(const PanelNoiseReport& report);

// Peak-to-peak and RMS noise against the maxima (and minima) of the noise rules.
void CheckNoiseLimits(const CellNoiseFigures& noise, const std::vector<CellBounds>& ppBounds,
                      const std::vector<CellBounds>& rmsBounds, std::vector<CellFailure>* failures);

// The failures as CSV: a header line, then check,x,y,value,limit,bound per failure.
std::string FailuresCsv(const std::vector<CellFailure>& failures);
// One line for people: "value (3, 5): 231 above max 230".
std::string DescribeFailure(const CellFailure& f);

}  // namespace pelorin
