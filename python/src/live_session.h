// One live acquisition for the Python module: the viewer's Start (PrepareAcquisition) and
// its acquisition worker (AcquisitionRun) with the recording, and a host that hands every
// new frame to the caller. No Python here: the caller waits on it without the
// interpreter's lock.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/capture_options.h"
#include "data/acquisition/acquisition_run.h"
#include "data/device_io.h"
#include "data/live_model.h"

namespace pelorin::py {

struct LiveOptions {
  CaptureOptions capture;  // source, frames (0 = until stopped), every, order, chip, delay
  std::string device;      // device path; "" = the first discovery finds
  std::string workDir;     // where the recording goes; "" = no recording
  std::string recordingName;
  bool queueFrames = false;  // hand every recorded frame out through WaitFrame (stream)
};

// One frame as the caller gets it.
struct LiveFrameOut {
  std::shared_ptr<const LiveFrame> frame;
  int32_t timeMs = 0;  // since the run's first frame, taken when the frame arrived
};

class LiveSession {
 public:
  // Frames kept for a caller that reads slower than the device delivers; beyond it the
  // oldest are dropped (and counted), the acquisition never waits for the caller.
  static constexpr size_t kQueueFrames = 1024;

  explicit LiveSession(LiveOptions options, DeviceIo io = CorlinkDeviceIo());
  ~LiveSession();
  LiveSession(const LiveSession&) = delete;
  LiveSession& operator=(const LiveSession&) = delete;

  // Opens the device and starts the worker. False with the status text in Error().
  bool Start();
  // Asks the worker to stop after its current frame (as Stop does).
  void RequestStop();
  // Waits at most `timeout` for a queued frame (true); false when none came (the run may
  // have ended: Ended()).
  bool WaitFrame(std::chrono::milliseconds timeout, LiveFrameOut* out);
  // Waits at most `timeout` for the worker to end; then gives the device back.
  bool WaitEnded(std::chrono::milliseconds timeout);
  bool Ended() const { return ended_.load(); }

  int32_t FramesRead() const { return framesRead_.load(); }
  int32_t Dropped() const { return dropped_.load(); }
  bool DeviceLost() const;
  int32_t LastDeviceCode() const;
  const std::string& Error() const { return error_; }
  std::vector<std::string> Messages() const;
  std::string RecordingPath() const { return recordingPath_; }
  // The chip order of the frames (one digit per chip).
  const std::string& Chips() const { return chips_; }
  int32_t Width() const { return model_ ? model_->Width() : 0; }
  int32_t Height() const { return model_ ? model_->Height() : 0; }
  std::string SourceName() const { return model_ ? model_->GetName() : std::string(); }

 private:
  class Host;
  struct Watch;
  void Finish();

  LiveOptions options_;
  DeviceIo io_;
  std::shared_ptr<Watch> watch_;
  std::unique_ptr<InstantModel> model_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<AcquisitionRun> run_;
  int32_t handle_ = 0;
  std::atomic<bool> ended_{false};
  std::atomic<int32_t> framesRead_{0};
  std::atomic<int32_t> dropped_{0};
  bool finished_ = false;
  std::string error_;
  std::string chips_;
  std::string recordingPath_;

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<LiveFrameOut> queue_;
  std::vector<std::string> messages_;
};

// "all", "master", "slave1".."slave7" as the chip selector's values (-1, 1, 5..11), and
// the source names pelorin-capture takes, through its own option parser. False with its
// message.
bool ParseLiveOptions(const std::string& source, int32_t frames, int32_t every,
                      const std::string& order, const std::string& chip, int32_t delayMs,
                      CaptureOptions* out, std::string* error);

}  // namespace pelorin::py
