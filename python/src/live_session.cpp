#include "live_session.h"

#include <poll.h>

#include <algorithm>

#include "corlink.h"
#include "data/acquisition/acquisition_start.h"
#include "data/acquisition/frame_figures.h"
#include "data/recording/mat_writer.h"
#include "data/source_range_table.h"
#include "data/status_text.h"

namespace pelorin::py {
namespace {

// Failed device calls in a row after which the device counts as lost although its
// handle still looks open (a controller that answers nothing but errors); the same bound
// as pelorin-capture's.
constexpr int32_t kFailuresBeforeLost = 300;

bool HandleHungUp(int32_t handle) {
  pollfd p{handle, 0, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace

// Watches every device call of the run: a failure asks whether the device is gone, and
// a lost device stops the worker, which would otherwise poll it until stopped.
struct LiveSession::Watch {
  std::atomic<bool> lost{false};
  std::atomic<int32_t> failuresInARow{0};
  std::atomic<int32_t> lastCode{0};
  std::atomic<AcquisitionRun*> run{nullptr};

  void Result(int32_t handle, int code) {
    if (code == 0) {
      failuresInARow.store(0, std::memory_order_relaxed);
      return;
    }
    lastCode.store(code, std::memory_order_relaxed);
    const int32_t n = failuresInARow.fetch_add(1, std::memory_order_relaxed) + 1;
    if (lost.load(std::memory_order_relaxed)) return;
    if ((handle > 0 && HandleHungUp(handle)) || n >= kFailuresBeforeLost) {
      lost.store(true, std::memory_order_release);
      if (AcquisitionRun* r = run.load(std::memory_order_acquire)) r->RequestStop();
    }
  }
};

// Receives the worker's reports on its thread and queues the new frames.
class LiveSession::Host : public AcquisitionHost {
 public:
  Host(LiveSession& session, bool queueFrames) : s_(session), queueFrames_(queueFrames) {}

  void SourceNames(std::vector<std::string>) override {}
  void Status(int32_t code, std::string argument) override {
    std::lock_guard lock(s_.mutex_);
    s_.messages_.push_back(StatusMessageText(code, argument));
  }
  void StatusText(std::string text) override {
    std::lock_guard lock(s_.mutex_);
    s_.messages_.push_back(std::move(text));
  }
  void Frame(const FrameReport&) override {
    std::shared_ptr<const LiveFrame> frame = s_.model_->CurrentFrame();
    // A failed read leaves the previous frame in place: nothing new to hand out.
    if (!frame || frame->number <= lastNumber_) return;
    lastNumber_ = frame->number;
    const auto now = std::chrono::steady_clock::now();
    if (!start_) start_ = now;
    s_.framesRead_.store(frame->number);
    if (queueFrames_ && IsFrameRecorded(frame->number, s_.options_.capture.every)) {
      LiveFrameOut out;
      out.frame = std::move(frame);
      out.timeMs =
          int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now - *start_).count());
      std::lock_guard lock(s_.mutex_);
      s_.queue_.push_back(std::move(out));
      if (s_.queue_.size() > kQueueFrames) {
        s_.queue_.pop_front();
        s_.dropped_.fetch_add(1);
      }
    }
    s_.cv_.notify_all();
  }
  void MoveRangeSliders(SliderPositions) override {}
  void BatchLimitReached() override {}
  void RunEnded() override {
    {
      std::lock_guard lock(s_.mutex_);
      s_.ended_.store(true);
    }
    s_.cv_.notify_all();
  }

 private:
  LiveSession& s_;
  bool queueFrames_;
  int32_t lastNumber_ = 0;
  std::optional<std::chrono::steady_clock::time_point> start_;
};

bool ParseLiveOptions(const std::string& source, int32_t frames, int32_t every,
                      const std::string& order, const std::string& chip, int32_t delayMs,
                      CaptureOptions* out, std::string* error) {
  std::vector<std::string> args = {"--source", source,
                                   "--frames", std::to_string(frames > 0 ? frames : 1),
                                   "--every",  std::to_string(every),
                                   "--chip",   chip,
                                   "--delay",  std::to_string(delayMs)};
  if (!order.empty()) args.insert(args.end(), {"--order", order});
  if (frames < 0) return *error = "frames must be 1 or more", false;
  if (!ParseCaptureOptions(args, out, error)) return false;
  out->frames = frames;
  return true;
}

LiveSession::LiveSession(LiveOptions options, DeviceIo io)
    : options_(std::move(options)), io_(std::move(io)), watch_(std::make_shared<Watch>()) {
  if (!options_.device.empty()) {
    const std::string path = options_.device;
    io_.OpenDevice = [path](int) {
      std::vector<char> p(path.begin(), path.end());
      p.push_back('\0');
      return IO_OpenDeviceByPath(p.data());
    };
  }
  DeviceIo watched = io_;
  const DeviceIo plain = io_;
  const std::shared_ptr<Watch> watch = watch_;
  watched.ReadData = [plain, watch](int handle, uint32_t address, uint8_t* buffer,
                                    uint32_t* count) {
    const int r = plain.ReadData(handle, address, buffer, count);
    watch->Result(handle, r);
    return r;
  };
  watched.SetRawMode = [plain, watch](int handle, int mode) {
    const int r = plain.SetRawMode(handle, mode);
    watch->Result(handle, r);
    return r;
  };
  io_ = std::move(watched);
}

LiveSession::~LiveSession() {
  RequestStop();
  // The worker ends within its device time-outs once stopped.
  WaitEnded(std::chrono::hours(1));
}

bool LiveSession::Start() {
  const CaptureOptions& o = options_.capture;
  model_ = std::make_unique<InstantModel>(io_);
  model_->SetSourceType(o.sourceType);
  ApplySourceType(*model_, o.sourceType, SourceRangeTable{});
  model_->SetDiagDelay(o.delayMs);
  model_->SetSelectedChip(o.chip);
  const StartOutcome start =
      PrepareAcquisition(io_, {model_.get()}, o.order, handle_, CloseDeviceHandle);
  if (!start.ok) {
    error_ = StatusMessageText(start.statusCode, start.argument);
    CloseDeviceHandle(handle_);
    handle_ = 0;
    finished_ = true;
    ended_.store(true);
    return false;
  }
  std::vector<int32_t> indices;
  for (const ChipInfo& chip : model_->GetActiveSet().chips) indices.push_back(chip.chipIndex);
  chips_ = ChipOrderText(indices, model_->GetCascadeMode());

  AcquisitionSettings settings;
  settings.io = io_;
  settings.device = handle_;
  settings.models = {model_.get()};
  settings.dumpEnabled = !options_.workDir.empty();
  settings.dumpInterval = std::max(o.every, 1);
  settings.workDir = options_.workDir;
  settings.recordingName = options_.recordingName;
  settings.batchMode = o.frames > 0;
  settings.batchFrameLimit = o.frames;
  host_ = std::make_unique<Host>(*this, options_.queueFrames);
  run_ = std::make_unique<AcquisitionRun>(settings, *host_);
  watch_->run.store(run_.get(), std::memory_order_release);
  run_->Start();
  return true;
}

void LiveSession::RequestStop() {
  if (run_) run_->RequestStop();
}

bool LiveSession::WaitFrame(std::chrono::milliseconds timeout, LiveFrameOut* out) {
  std::unique_lock lock(mutex_);
  cv_.wait_for(lock, timeout, [this] { return !queue_.empty() || ended_.load(); });
  if (queue_.empty()) return false;
  *out = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

bool LiveSession::WaitEnded(std::chrono::milliseconds timeout) {
  if (finished_ || !run_) return true;
  if (!run_->WaitFinished(timeout)) return false;
  Finish();
  return true;
}

void LiveSession::Finish() {
  watch_->run.store(nullptr, std::memory_order_release);
  recordingPath_ = run_->RecordingPath();
  // Normal touch reporting back, as the viewer does when it closes.
  if (!watch_->lost.load()) io_.ReportToOS(handle_, true, false);
  CloseDeviceHandle(handle_);
  handle_ = 0;
  finished_ = true;
}

bool LiveSession::DeviceLost() const { return watch_->lost.load(); }
int32_t LiveSession::LastDeviceCode() const { return watch_->lastCode.load(); }

std::vector<std::string> LiveSession::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

}  // namespace pelorin::py
