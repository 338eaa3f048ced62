// AcquisitionRun: the worker of one live acquisition. It owns its thread and its running
// flag; the window (or a test) owns the models and keeps them alive until the run has
// finished (WaitFinished). The worker reports to an AcquisitionHost from its own thread;
// a host must queue what it gets to the window thread and never wait for it.
//
// Frame cycle: sleep for model 0's delay, raw mode on, poll the firmware-ready flag, read
// a frame into every model, chip index 0 and raw mode off, then the figures (average,
// extremes, flatness, standard deviation, edge trackers, frame rate), the recording of
// every N-th frame and the auto-centre of the display range. A batch run stops itself
// after its frame limit.
//
// Every wait of the cycle has a bound: the run stops itself, as Stop does, when the
// device is gone (its handle hung up), when the firmware stays not ready for
// kNotReadyPollLimit polls, when kFailedReadLimit reads in a row fail, or when the
// recording cannot be written. The host hears why (RunStopped); the recording is
// finished with the frames read so far.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "data/acquisition/bad_frames.h"
#include "data/acquisition/frame_figures.h"
#include "data/device_io.h"
#include "data/live_model.h"
#include "data/settings_file.h"
#include "data/snr/panel_noise.h"

namespace pelorin {

// Device address of the firmware-ready flag (its first byte), and the raw-mode values.
inline constexpr uint32_t kAddrFirmwareReady = 0x50000000;
inline constexpr int kRawModeOn = 0x121;
inline constexpr int kRawModeOff = 0x120;

// Bounds of the frame cycle. Not-ready answers of one ready poll (after the first few,
// polls are 1 ms apart, so this is about two seconds of a firmware that never gets ready);
// failed device reads in a row, each already retried by the library. The longest pause
// before a frame is kMaxDiagDelayMs of the settings.
inline constexpr int32_t kNotReadyPollLimit = 2000;
inline constexpr int32_t kFailedReadLimit = 3;

// Why a run ended.
enum class RunEnd {
  Running,           // not ended yet
  Stopped,           // Stop, close or an interrupt
  BatchLimit,        // a batch run read its last frame
  DeviceLost,        // the device went away (unplugged, its handle hung up)
  FirmwareNotReady,  // the ready flag stayed 0
  ReadFailed,        // the device kept failing reads
  RecordingFailed,   // the recording could not be written (a full disk)
};

// What a finished run leaves behind.
struct RunOutcome {
  RunEnd end = RunEnd::Running;
  std::string cause;           // why the run stopped itself; empty for Stop and the batch limit
  std::string recordingPath;   // the finished recording, empty when there is none
  std::string recordingError;  // why the recording failed or ended early, empty when it did not
  int32_t framesRead = 0;      // model 0's frame count
  int32_t framesRecorded = 0;  // frames in the recording
  BadFrameCounts badFrames;    // over every source's frames read (ClassifyFrame)
};

// The Diff edge maxima of a run: A for the untouched frames, B for the touched ones, and
// the panel-wide noise of every cell over the same two phases. The worker raises them;
// the window copies them out (SNR plot, evaluation at Stop).
class EdgeTrackers {
 public:
  EdgeTrackers(int32_t width, int32_t height)
      : a_(width, height), b_(width, height), noise_(width, height) {}
  // Frames numbered below pins.untouchedCount go to A, the others to B.
  void Update(const LiveFrame& frame, const SnrPins& pins);
  EdgeBuffers Untouched() const;
  EdgeBuffers Touched() const;
  PanelNoiseReport PanelNoise() const;

 private:
  mutable std::mutex mutex_;
  EdgeBuffers a_, b_;
  PanelNoiseAccumulator noise_;
};

// What the worker hands to the window for display after each frame.
struct FrameReport {
  int32_t frameCount = 0;
  float frameRate = 0.0f;
  float average = 0.0f;
  int32_t frameMax = 0, overallMax = 0;
  int32_t frameMin = 0, overallMin = 0;
  bool showStatistics = false;     // false once the run was asked to stop
  float flatness = 0.0f;           // Cycle first source
  float standardDeviation = 0.0f;  // Base first source
};

class AcquisitionHost {
 public:
  virtual ~AcquisitionHost() = default;
  // Source names of all models, in model order, once at the start of the run.
  virtual void SourceNames(std::vector<std::string> names) = 0;
  // A status code and its argument for the status line.
  virtual void Status(int32_t code, std::string argument) = 0;
  // A status text of its own (the recording that had to stop).
  virtual void StatusText(std::string text) = 0;
  virtual void Frame(const FrameReport& report) = 0;
  // Auto-centre: the range sliders' new positions.
  virtual void MoveRangeSliders(SliderPositions positions) = 0;
  // A batch run read its last frame: the window runs its Stop action and closes.
  virtual void BatchLimitReached() = 0;
  // The worker stopped the run itself for a fault: the window does what Stop does and
  // shows the cause. Called before the recording is finished; RunEnded follows.
  virtual void RunStopped(RunEnd /*end*/, std::string /*cause*/) {}
  // The worker left its loop and closed the recording.
  virtual void RunEnded() = 0;
};

// A host that wants none of the reports: benches and tests that judge a run by its
// outcome and its recording alone.
class QuietHost : public AcquisitionHost {
 public:
  void SourceNames(std::vector<std::string>) override {}
  void Status(int32_t, std::string) override {}
  void StatusText(std::string) override {}
  void Frame(const FrameReport&) override {}
  void MoveRangeSliders(SliderPositions) override {}
  void BatchLimitReached() override {}
  void RunEnded() override {}
};

struct AcquisitionSettings {
  DeviceIo io;
  int32_t device = 0;
  std::vector<InstantModel*> models;  // model 0 first; kept alive by the caller
  bool dumpEnabled = false;
  int32_t dumpInterval = 1;
  std::string workDir;  // where "tempReport.csv" and the recording go
  bool batchMode = false;
  int32_t batchFrameLimit = 0;
  std::string batchName;  // the recording's name in batch mode
  // The recording's exact file name in workDir; empty: the usual name with a time stamp.
  std::string recordingName;
  // Dump type "MATLAB": a MAT-file of the first source is written next to the recording.
  bool matlabDump = false;
  int32_t displayRangeShift = 5;
  bool autoCenter = false;
  SnrPins pins;
  std::shared_ptr<EdgeTrackers> edges;  // Diff runs
  // True when the device behind the handle is gone; asked after a failed device call.
  // Empty: settings.io.DeviceGone, or never.
  std::function<bool(int32_t handle)> deviceGone;
  // Millisecond tick count and sleep; tests put their own clocks in.
  std::function<uint32_t()> tickMs;
  std::function<void(int32_t ms)> sleepMs;
};

class AcquisitionRun {
 public:
  AcquisitionRun(AcquisitionSettings settings, AcquisitionHost& host);
  // Asks the worker to stop and waits for it (its device time-outs bound the wait).
  ~AcquisitionRun();
  AcquisitionRun(const AcquisitionRun&) = delete;
  AcquisitionRun& operator=(const AcquisitionRun&) = delete;

  // Sets the running flag and starts the worker thread.
  void Start();
  // Clears the running flag; the worker ends its current cycle. Does not wait.
  void RequestStop() { running_.store(false, std::memory_order_release); }
  bool Running() const { return running_.load(std::memory_order_acquire); }
  // Waits at most `timeout` for the worker to leave its loop and close the recording;
  // true when it has (the thread is then joined).
  bool WaitFinished(std::chrono::milliseconds timeout);
  bool Finished() const { return finished_.load(std::memory_order_acquire); }

  void SetAutoCenter(bool on) { autoCenter_.store(on, std::memory_order_relaxed); }
  float FrameRate() const { return frameRate_.load(std::memory_order_relaxed); }
  float Flatness() const { return flatness_.load(std::memory_order_relaxed); }
  float StandardDeviation() const { return standardDeviation_.load(std::memory_order_relaxed); }
  // Frames appended to the recording so far.
  int32_t FramesRecorded() const { return framesRecorded_.load(std::memory_order_relaxed); }
  // After WaitFinished (or on the host's RunEnded): the recording and MAT-file written,
  // empty when there is none, and how the run ended.
  const std::string& RecordingPath() const { return recordingPath_; }
  const std::string& MatPath() const { return matPath_; }
  const RunOutcome& Outcome() const { return outcome_; }

 private:
  void Work();
  // Polls the ready flag until it is set (true) or the run is stopped (false).
  bool WaitFirmwareReady();
  void FrameCycle(std::vector<uint8_t>& a, std::vector<uint8_t>& b);
  // Counts each source's new frame that is all zero, repeated or out of range.
  void CountBadFrames();
  void ShowStatus(int32_t code, const std::string& argument = {});
  // Ends the run for a fault: the flag cleared, the cause kept and told to the host.
  void StopFor(RunEnd end, const std::string& cause);
  // After a failed device call: ends the run when the device is gone.
  bool CheckDeviceGone();
  // The pause before a frame, cut short by Stop.
  void Pause(int32_t ms);
  void OpenRecording();
  void RecordFrame(uint32_t elapsed, int32_t frameCount);
  void FinishRecording();
  // Completes the MAT-file beside the finished recording.
  void FinishMat(const InstantModel& first);

  AcquisitionSettings settings_;
  AcquisitionHost& host_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> autoCenter_{false};
  std::atomic<float> frameRate_{0.0f};
  std::atomic<float> flatness_{0.0f};
  std::atomic<float> standardDeviation_{0.0f};
  std::atomic<int32_t> framesRecorded_{0};
  std::mutex finishMutex_;
  std::condition_variable finishedCv_;

  // Worker-only state.
  struct Recording;
  std::unique_ptr<Recording> recording_;
  FrameRateClock clock_;
  int32_t lastStatus_ = -1;
  std::string lastStatusArgument_;
  std::optional<SliderPositions> lastSliders_;
  std::string recordingPath_;
  std::string matPath_;
  RunOutcome outcome_;
  // Failed ready polls in a row, and frame cycles in a row whose frame read failed: a
  // poll that gets through says nothing about the frame reads after it.
  int32_t failedPollsInARow_ = 0;
  int32_t failedReadsInARow_ = 0;
  int32_t diagDelayMs_ = 0;
  // Each source's frame before, for the repeated-frame check.
  std::vector<std::shared_ptr<const LiveFrame>> previousFrames_;
};

}  // namespace pelorin
