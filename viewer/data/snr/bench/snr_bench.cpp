// What the panel noise adds to the worker's per-frame SNR work, for a 32 x 72 Diff panel:
// the edge trackers alone, the edge trackers with the panel noise (EdgeTrackers::Update,
// as the worker calls it), and the report and the evaluation at Stop. Side by side in one
// run, as time per frame and ratio; never pass/fail. SNR_BENCH_FRAMES sets the frame count.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "data/acquisition/acquisition_run.h"
#include "data/snr/snr_evaluation.h"

namespace pelorin {
namespace {

using Clock = std::chrono::steady_clock;

double MicrosSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Frames of noise in [-3, 3] with a bump moving over the panel, x-major.
LiveFrame MakeFrame(int32_t w, int32_t h, int32_t number) {
  LiveFrame f;
  f.width = w;
  f.height = h;
  f.number = number;
  f.cells.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  f.mask.assign(f.cells.size(), 1);
  uint32_t seed = static_cast<uint32_t>(number) * 2654435761u;
  for (int32_t x = 0; x < w; ++x) {
    for (int32_t y = 0; y < h; ++y) {
      seed = seed * 1664525u + 1013904223u;
      const int32_t noise = static_cast<int32_t>(seed >> 29) - 3;
      const int32_t dx = x - number % w, dy = y - number % h;
      f.cells[static_cast<size_t>(x * h + y)] = noise + (dx * dx + dy * dy < 9 ? 60 : 0);
    }
  }
  return f;
}

int Run() {
  const int32_t w = 32, h = 72;
  const char* env = std::getenv("SNR_BENCH_FRAMES");
  const int frames = env != nullptr ? std::max(std::atoi(env), 1) : 5000;
  std::vector<LiveFrame> input;
  for (int i = 1; i <= 64; ++i) input.push_back(MakeFrame(w, h, i));
  const SnrPins pins{frames / 2, 0, 0, 0, 0};

  EdgeBuffers a(w, h), b(w, h);
  Clock::time_point start = Clock::now();
  for (int i = 0; i < frames; ++i) {
    LiveFrame& f = input[static_cast<size_t>(i) % input.size()];
    f.number = i + 1;
    UpdateEdgeTrackers(f.number < pins.untouchedCount ? a : b, f.cells.data(), w, h, pins);
  }
  const double edgesOnly = MicrosSince(start) / frames;

  EdgeTrackers trackers(w, h);
  start = Clock::now();
  for (int i = 0; i < frames; ++i) {
    LiveFrame& f = input[static_cast<size_t>(i) % input.size()];
    f.number = i + 1;
    trackers.Update(f, pins);
  }
  const double withNoise = MicrosSince(start) / frames;

  start = Clock::now();
  const PanelNoiseReport report = trackers.PanelNoise();
  const SnrResults results = EvaluateSnr(trackers.Untouched(), trackers.Touched(), pins);
  const double atStop = MicrosSince(start);

  std::printf("SNR per frame, %d x %d cells, %d frames\n", w, h, frames);
  std::printf("  edge trackers alone          %8.2f us/frame\n", edgesOnly);
  std::printf("  edge trackers + panel noise  %8.2f us/frame  (x%.1f)\n", withNoise,
              edgesOnly > 0 ? withNoise / edgesOnly : 0.0);
  std::printf("  report and evaluation at Stop %7.0f us once (median SNR %.2f, X1 index %d)\n",
              atStop, report.snr.median, results[0].position);
  return 0;
}

}  // namespace
}  // namespace pelorin

int main() {
  return pelorin::Run();
}
