// The per-frame figures of a live acquisition, computed without a window or a device so
// they can be checked on known frames: the average, the Cycle flatness, the Base standard
// deviation, the frame rate, the Diff edge trackers, the auto-centre rule, the choice of
// recorded frames and the chip-selection check of Start.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pelorin {

// Frame sum over width x height cells, divided as integers (truncated toward zero), so
// the shown average always ends in ".00". 0 for an empty frame.
float FrameAverage(int64_t sum, int32_t width, int32_t height);

// Mean absolute distance of the cells from their least-squares plane z = a*x + b*y + c.
// cells: width x height values, cell (x, y) at [x * height + y]. A frame whose plane is
// not determined (a single line) is measured against its mean value instead.
float Flatness(const int32_t* cells, int32_t width, int32_t height);

// Square root of the mean squared distance of the cells from `average` (the truncated
// frame average). Same cell layout as Flatness.
float StandardDeviation(const int32_t* cells, int32_t width, int32_t height, int32_t average);

// Frames per second since the first frame of the run, from a millisecond tick count.
class FrameRateClock {
 public:
  // Forgets the run's start.
  void Reset();
  // Called once per frame with the tick count and model 0's frame count (this frame
  // included). Returns the frame's elapsed time since the run's first frame (0 for the
  // first frame); updates Rate() when that time is above 0.
  uint32_t Tick(uint32_t nowMs, int32_t frameCount);
  float Rate() const { return rate_; }
  uint32_t LastElapsed() const { return lastElapsed_; }

 private:
  uint32_t startTick_ = 0;
  uint32_t lastElapsed_ = 0;
  float rate_ = 0.0f;
};

// Per-edge maxima of a Diff acquisition: X1 and X2 are the columns pinX1 and
// width - 1 + pinX2 (Height values each), Y1 and Y2 the rows pinY1 and height - 1 + pinY2
// (Width values each). All zero at creation.
struct EdgeBuffers {
  EdgeBuffers() = default;
  EdgeBuffers(int32_t w, int32_t h);
  int32_t width = 0;
  int32_t height = 0;
  std::vector<int32_t> x1Track, x2Track;  // Height each
  std::vector<int32_t> y1Track, y2Track;  // Width each
};

// What the SNR page holds when a Diff acquisition starts: the number of untouched
// frames and the four line pins (X2 and Y2 count back from the last line, 0 or below).
struct SnrPins {
  int32_t untouchedCount = 0;
  int32_t x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

// Raises every tracker to the frame's cell on its line. A pin that names a line outside
// the frame leaves that tracker as it is.
void UpdateEdgeTrackers(EdgeBuffers& edges, const int32_t* cells, int32_t width,
                        int32_t height, const SnrPins& pins);

// New positions of the range sliders (encoded as MaxSliderPosition and MinSliderPosition
// do), or none when the range already fits the running extremes.
struct SliderPositions {
  int32_t maxSlider = 0;
  int32_t minSlider = 0;
  bool operator==(const SliderPositions&) const = default;
};
std::optional<SliderPositions> AutoCenterSliders(int32_t runningMax, int32_t runningMin,
                                                 int32_t rangeMax, int32_t rangeMin,
                                                 int32_t shift);

// Whether frame `frameNumber` (from 1) is recorded with one frame in every `interval`:
// frames 1, interval + 1, 2 * interval + 1, ...; an interval below 2 records every frame.
bool IsFrameRecorded(int32_t frameNumber, int32_t interval);

// Start's check of the chip selector: selected -1 = All, 1 = Master, 5 to 11 = Slave1 to
// Slave7; detected = chips found; cascadeMode of the detected set.
bool ChipSelectionIllegal(int32_t selected, int32_t detected, int32_t cascadeMode);
// "master", "slave%d" or "unknow": the name put in the "Selecting %s is illegal" text.
std::string ChipSelectionName(int32_t selected);

}  // namespace pelorin
