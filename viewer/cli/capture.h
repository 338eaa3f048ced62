#pragma once
// One run of pelorin-capture: the viewer's Start and acquisition worker without a window
// (the same frame cycle, the same recording), then the statistics, the panel judgement
// and the picture. The device calls and the outputs are seams for tests and benchmarks.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/capture_options.h"
#include "cli/check_results.h"
#include "data/acquisition/bad_frames.h"
#include "data/device_io.h"
#include "data/limits/panel_check.h"

namespace pelorin {

struct CaptureEnvironment {
  DeviceIo io = CorlinkDeviceIo();
  // True when the device behind a handle is gone (unplugged); asked after a failed call.
  // Default: io.DeviceGone (the handle reports a hang-up or an error).
  std::function<bool(int32_t handle)> deviceGone;
  std::ostream* out = nullptr;      // summary (stdout)
  std::ostream* err = nullptr;      // progress and messages (stderr)
  bool progressIsTerminal = false;  // redraw one progress line instead of printing steps
  // Set from a signal handler: the run stops after the current frame, as with Stop.
  const std::atomic<bool>* interrupted = nullptr;
  // The signal that interrupted the run, when known: the exit status is then 128 + it.
  const std::atomic<int>* signalNumber = nullptr;
  // The device the library opened last. Default: asks corlink.
  std::function<DeviceIdentity()> identify;
};

// What a run found, for the summary.
struct CaptureSummary {
  int32_t requested = 0;
  int32_t frames = 0;             // frames read
  int32_t recorded = 0;           // frames in the recording
  int32_t readFailures = 0;       // frame cycles whose read failed
  BadFrameCounts badFrames;       // frames all zero, repeated or out of range
  int32_t maxBadFrames = 0;       // --max-bad-frames, when given
  bool tooManyBadFrames = false;  // more than --max-bad-frames
  float frameRate = 0, average = 0, standardDeviation = 0, flatness = 0;
  int32_t frameMax = 0, overallMax = 0, frameMin = 0, overallMin = 0;
  int32_t width = 0, height = 0;
  std::string source;
  std::string recording, mat, png, failuresCsv;
  bool deviceLost = false;
  bool interrupted = false;
  // How the run ended: "complete", "interrupted", "device lost", "firmware not ready",
  // "read failed", "recording failed" or "stopped".
  std::string outcome;
  bool judged = false;        // limits, golden or the bad-frame count were checked
  bool noiseChecked = false;  // noise limits were checked, over all frames read
  double noisePpMax = 0, noiseRmsMax = 0;
  std::vector<CellFailure> failures;
  std::vector<std::string> messages;  // what the worker reported on the way

  // For the line report.
  std::string startTime, endTime;        // ISO 8601 UTC
  double seconds = 0;                    // from start to end
  std::optional<DeviceIdentity> device;  // once the device is open
  std::optional<NoiseFigures> noise;     // with a report or noise limits
  std::vector<RuleResult> rules;         // each limits rule, in file order
  std::optional<GoldenResult> golden;
  bool captured = false;  // every frame asked for was read and recorded
  std::string error;      // why a run that was not judged ended (usage, device)
  int exitStatus = 0;
};

// Runs the capture and prints the summary; returns the exit code.
int RunCapture(const CaptureOptions& options, CaptureEnvironment& env);
// The same with the summary handed back (tests, the benchmark).
int RunCapture(const CaptureOptions& options, CaptureEnvironment& env, CaptureSummary* summary);

std::string SummaryText(const CaptureSummary& s);
std::string SummaryJson(const CaptureSummary& s);

}  // namespace pelorin
