#include "data/acquisition/acquisition_run.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "data/recording/mat_writer.h"
#include "data/recording/recording_writer.h"
#include "data/source_type.h"
#include "data/status_text.h"

namespace pelorin {

namespace {

uint32_t SteadyTickMs() {
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

// "x.csv" -> "x-n.csv".
std::string NumberedName(const std::string& name, int n) {
  const std::string base =
      name.size() > 4 && name.ends_with(".csv") ? name.substr(0, name.size() - 4) : name;
  const size_t dash = base.rfind('-');
  const std::string stem = n > 2 && dash != std::string::npos ? base.substr(0, dash) : base;
  return stem + "-" + std::to_string(n) + ".csv";
}

void SleepMs(int32_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

void EdgeTrackers::Update(const LiveFrame& frame, const SnrPins& pins) {
  std::lock_guard lock(mutex_);
  const bool untouched = frame.number < pins.untouchedCount;
  UpdateEdgeTrackers(untouched ? a_ : b_, frame.cells.data(), frame.width, frame.height, pins);
  if (untouched) {
    noise_.AddUntouched(frame);
  } else {
    noise_.AddTouched(frame);
  }
}

PanelNoiseReport EdgeTrackers::PanelNoise() const {
  std::lock_guard lock(mutex_);
  return noise_.Report();
}

EdgeBuffers EdgeTrackers::Untouched() const {
  std::lock_guard lock(mutex_);
  return a_;
}

EdgeBuffers EdgeTrackers::Touched() const {
  std::lock_guard lock(mutex_);
  return b_;
}

// The recording of the run and the frames its sources take their cells from.
struct AcquisitionRun::Recording {
  DumpFile file;
  std::vector<DumpSource> sources;
  std::vector<std::shared_ptr<const LiveFrame>> frames;
  MatWriter mat;  // open only with the dump type "MATLAB"
};

AcquisitionRun::AcquisitionRun(AcquisitionSettings settings, AcquisitionHost& host)
    : settings_(std::move(settings)), host_(host) {
  if (!settings_.tickMs) settings_.tickMs = SteadyTickMs;
  if (!settings_.sleepMs) settings_.sleepMs = SleepMs;
  autoCenter_.store(settings_.autoCenter, std::memory_order_relaxed);
}

AcquisitionRun::~AcquisitionRun() {
  RequestStop();
  if (thread_.joinable()) thread_.join();
}

void AcquisitionRun::Start() {
  running_.store(true, std::memory_order_release);
  finished_.store(false, std::memory_order_release);
  thread_ = std::thread([this] { Work(); });
}

bool AcquisitionRun::WaitFinished(std::chrono::milliseconds timeout) {
  if (!thread_.joinable()) return true;
  {
    std::unique_lock lock(finishMutex_);
    if (!finishedCv_.wait_for(lock, timeout, [this] { return Finished(); })) return false;
  }
  thread_.join();
  return true;
}

void AcquisitionRun::ShowStatus(int32_t code, const std::string& argument) {
  // The not-ready poll runs without a pause; one message per change is enough.
  if (code == lastStatus_ && argument == lastStatusArgument_) return;
  lastStatus_ = code;
  lastStatusArgument_ = argument;
  host_.Status(code, argument);
}

void AcquisitionRun::StopFor(RunEnd end, const std::string& cause) {
  if (outcome_.end != RunEnd::Running) return;
  outcome_.end = end;
  outcome_.cause = cause;
  RequestStop();
  host_.RunStopped(end, cause);
}

bool AcquisitionRun::CheckDeviceGone() {
  const auto& gone = settings_.deviceGone ? settings_.deviceGone : settings_.io.DeviceGone;
  if (!gone || !gone(settings_.device)) return false;
  StopFor(RunEnd::DeviceLost, "the device is gone");
  return true;
}

void AcquisitionRun::Pause(int32_t ms) {
  // In slices, so that Stop and close never wait for a long pause.
  constexpr int32_t kSlice = 50;
  while (ms > 0 && Running()) {
    const int32_t step = std::min(ms, kSlice);
    settings_.sleepMs(step);
    ms -= step;
  }
}

void AcquisitionRun::OpenRecording() {
  std::vector<InstantModel*>& models = settings_.models;
  recording_ = std::make_unique<Recording>();
  recording_->sources.resize(models.size());
  for (size_t i = 0; i < models.size(); ++i) {
    DumpSource& s = recording_->sources[i];
    s.name = models[i]->GetName();
    s.width = models[i]->Width();
    s.height = models[i]->Height();
  }
  const bool opened = OpenDump(recording_->file, settings_.workDir, recording_->sources);
  // A crashed run's recording is kept, and the user is told where.
  for (const auto& [from, to] : recording_->file.Recovered())
    host_.StatusText("kept the recording " + from + " of an earlier run as " + to);
  if (!opened) {
    ShowStatus(kStatusCantOpenFile, recording_->file.TempPath());
    outcome_.recordingError = recording_->file.Error();
    recording_.reset();
  } else if (settings_.matlabDump &&
             !recording_->mat.OpenPrivate(settings_.workDir, models[0]->Width(),
                                          models[0]->Height())) {
    host_.StatusText("no MAT-file: " + recording_->mat.Error());
    outcome_.recordingError = "no MAT-file: " + recording_->mat.Error();
  }
}

void AcquisitionRun::Work() {
  std::vector<InstantModel*>& models = settings_.models;
  if (!models.empty()) {
    // A pause that would make the run wait for ever is cut to its bound.
    const int32_t delay = models[0]->GetDiagDelay();
    diagDelayMs_ = std::clamp(delay, 0, kMaxDiagDelayMs);
    if (delay != diagDelayMs_) {
      host_.StatusText("DELAY_BEFORE_ENABLE_DIGNOSIS=" + std::to_string(delay) +
                       " is out of range; using " + std::to_string(diagDelayMs_) + " ms");
    }
  }
  if (settings_.dumpEnabled && !models.empty()) OpenRecording();
  clock_.Reset();
  std::vector<std::string> names;
  for (InstantModel* m : models) names.push_back(m->GetName());
  host_.SourceNames(std::move(names));

  uint32_t bytes = 0;
  for (InstantModel* m : models) bytes = std::max(bytes, m->MaxBlockBytes());
  std::vector<uint8_t> a(bytes), b(bytes);

  while (Running() && !models.empty()) FrameCycle(a, b);

  a = {};
  b = {};
  previousFrames_.clear();
  if (outcome_.end == RunEnd::Running) outcome_.end = RunEnd::Stopped;
  if (!models.empty()) outcome_.framesRead = models[0]->GetFrameCounter();
  if (recording_) FinishRecording();
  outcome_.recordingPath = recordingPath_;
  outcome_.framesRecorded = FramesRecorded();
  host_.RunEnded();
  {
    std::lock_guard lock(finishMutex_);
    finished_.store(true, std::memory_order_release);
  }
  finishedCv_.notify_all();
}

void AcquisitionRun::FinishRecording() {
  std::vector<InstantModel*>& models = settings_.models;
  const std::string batchName = settings_.batchMode ? settings_.batchName : std::string();
  const std::string stamped = FinalDumpName(batchName, models[0]->GetName(), std::time(nullptr));
  std::string name = !settings_.recordingName.empty() ? settings_.recordingName : stamped;
  // The frames written stay a recording, also when the disk filled up on the way. Two
  // runs that end in the same second would get the same time-stamped name: the later one
  // takes the next free number instead of failing.
  bool finished = FinishDump(recording_->file, name);
  for (int n = 2; !finished && settings_.recordingName.empty() &&
                  recording_->file.ErrorNumber() == EEXIST && n < 100;
       ++n) {
    name = NumberedName(name, n);
    finished = FinishDump(recording_->file, name);
  }
  if (!finished) {
    host_.StatusText(recording_->file.Error() + "; the frames read are in " +
                     recording_->file.TempPath());
    if (outcome_.recordingError.empty()) outcome_.recordingError = recording_->file.Error();
    recording_->mat.Abandon();
  } else {
    recordingPath_ = recording_->file.FinalPath();
    FinishMat(*models[0]);
    if (settings_.edges && models[0]->GetSourceType() == kSourceDiff) {
      // The panel noise of a Diff run goes next to its recording.
      std::string error;
      const std::string path = settings_.workDir + "/" + PanelNoiseFileName(name);
      if (!WritePanelNoiseCsv(path, settings_.edges->PanelNoise(), &error)) host_.StatusText(error);
    }
  }
  recording_.reset();
}

void AcquisitionRun::FinishMat(const InstantModel& first) {
  MatWriter& mat = recording_->mat;
  if (!mat.IsOpen()) return;
  std::vector<int32_t> indices;
  for (const ChipInfo& chip : first.GetActiveSet().chips) indices.push_back(chip.chipIndex);
  const std::vector<uint8_t>& mask = first.FrameMask();
  const bool maskFits = mask.size() == size_t(first.Width()) * size_t(first.Height());
  const std::string target = MatPathFor(recordingPath_);
  if (!mat.Finish(maskFits ? mask.data() : nullptr, first.GetName(),
                  ChipOrderText(indices, first.GetCascadeMode()))) {
    host_.StatusText("no MAT-file: " + mat.Error());
    if (outcome_.recordingError.empty()) outcome_.recordingError = "no MAT-file: " + mat.Error();
  } else if (!RenameNoReplace(mat.Path(), target)) {
    const std::string error =
        "no MAT-file: can't rename " + mat.Path() + " to " + target + ": " + std::strerror(errno);
    host_.StatusText(error);
    if (outcome_.recordingError.empty()) outcome_.recordingError = error;
  } else {
    matPath_ = target;
  }
}

void AcquisitionRun::CountBadFrames() {
  const std::vector<InstantModel*>& models = settings_.models;
  previousFrames_.resize(models.size());
  for (size_t i = 0; i < models.size(); ++i) {
    std::shared_ptr<const LiveFrame> frame = models[i]->CurrentFrame();
    std::shared_ptr<const LiveFrame>& previous = previousFrames_[i];
    // A failed read leaves the frame before in place: that is no new frame.
    if (!frame || frame == previous) continue;
    const bool comparable = previous && previous->cells.size() == frame->cells.size();
    outcome_.badFrames.Count(ClassifyFrame(frame->cells.data(),
                                           comparable ? previous->cells.data() : nullptr,
                                           frame->cells.size(), frame->min, frame->max,
                                           models[i]->GetSourceType()));
    previous = std::move(frame);
  }
}

bool AcquisitionRun::WaitFirmwareReady() {
  std::array<uint8_t, kDeviceReplyBytes> reply{};
  int32_t notReady = 0;
  while (Running()) {
    uint32_t count = 0;
    reply[0] = 0;
    if (settings_.io.ReadData(settings_.device, kAddrFirmwareReady, reply.data(), &count) != 0) {
      if (CheckDeviceGone()) return false;
      if (++failedPollsInARow_ >= kFailedReadLimit) {
        ShowStatus(kStatusReadChipDataFail);
        StopFor(RunEnd::ReadFailed, StatusMessageText(kStatusReadChipDataFail, {}));
        return false;
      }
      continue;
    }
    failedPollsInARow_ = 0;
    if (reply[0] != 0) return true;
    ShowStatus(kStatusFirmwareNotReady);
    if (++notReady >= kNotReadyPollLimit) {
      StopFor(RunEnd::FirmwareNotReady, StatusMessageText(kStatusFirmwareNotReady, {}));
      return false;
    }
    // A firmware that is slow to get ready is asked again at once a few times, then
    // every millisecond.
    if (notReady > 10) settings_.sleepMs(1);
  }
  return false;
}

void AcquisitionRun::FrameCycle(std::vector<uint8_t>& a, std::vector<uint8_t>& b) {
  std::vector<InstantModel*>& models = settings_.models;
  InstantModel& first = *models[0];
  Pause(diagDelayMs_);
  if (!Running()) return;
  if (settings_.io.SetRawMode(settings_.device, kRawModeOn) != 0 && CheckDeviceGone()) return;
  const int32_t countBefore = first.GetFrameCounter();
  const bool ready = WaitFirmwareReady();
  if (ready) {
    bool failed = false;
    for (InstantModel* m : models) {
      if (!m->ReadFrame(a, b)) {
        ShowStatus(kStatusReadChipDataFail);
        failed = true;
      }
    }
    if (failed && !CheckDeviceGone() && ++failedReadsInARow_ >= kFailedReadLimit) {
      StopFor(RunEnd::ReadFailed, StatusMessageText(kStatusReadChipDataFail, {}));
    }
    if (!failed) failedReadsInARow_ = 0;
  }
  if (outcome_.end != RunEnd::DeviceLost) {
    settings_.io.SetChipIndex(0);
    settings_.io.SetRawMode(settings_.device, kRawModeOff);
  }
  // Stopped while the firmware was not ready: there is no new frame to account for.
  if (!ready) return;
  CountBadFrames();

  const std::shared_ptr<const LiveFrame> frame = first.CurrentFrame();
  if (!frame) return;
  const int32_t type = first.GetSourceType();
  FrameReport report;
  if (type == kSourceCycle) {
    flatness_.store(pelorin::Flatness(frame->cells.data(), frame->width, frame->height),
                    std::memory_order_relaxed);
  }
  report.average = FrameAverage(frame->sum, frame->width, frame->height);
  first.MergeFrameExtremes(frame->max, frame->min);
  report.frameCount = first.GetFrameCounter();
  report.frameRate = frameRate_.load(std::memory_order_relaxed);
  report.frameMax = frame->max;
  report.overallMax = first.GetMaxValue();
  report.frameMin = frame->min;
  report.overallMin = first.GetMinValue();
  report.showStatistics = Running();
  if (type == kSourceBase) {
    standardDeviation_.store(
        pelorin::StandardDeviation(frame->cells.data(), frame->width, frame->height,
                                   static_cast<int32_t>(report.average)),
        std::memory_order_relaxed);
  }
  report.flatness = flatness_.load(std::memory_order_relaxed);
  report.standardDeviation = standardDeviation_.load(std::memory_order_relaxed);
  host_.Frame(report);
  // A cycle whose read failed leaves the previous frame in place: it is recorded once and
  // counted once in the panel noise, whose means and RMS would otherwise weigh it twice.
  const bool freshFrame = report.frameCount != countBefore;
  if (type == kSourceDiff && settings_.edges && freshFrame) {
    settings_.edges->Update(*frame, settings_.pins);
  }

  const uint32_t elapsed = clock_.Tick(settings_.tickMs(), report.frameCount);
  frameRate_.store(clock_.Rate(), std::memory_order_relaxed);

  if (recording_ && freshFrame && IsFrameRecorded(report.frameCount, settings_.dumpInterval)) {
    RecordFrame(elapsed, report.frameCount);
  }

  if (autoCenter_.load(std::memory_order_relaxed)) {
    const std::optional<SliderPositions> move =
        AutoCenterSliders(first.GetMaxValue(), first.GetMinValue(), first.GetRangeMax(),
                          first.GetRangeMin(), settings_.displayRangeShift);
    // The range follows only when the window has moved the sliders: ask once per change.
    if (move && move != lastSliders_) host_.MoveRangeSliders(*move);
    lastSliders_ = move;
  }

  if (settings_.batchMode && report.frameCount >= settings_.batchFrameLimit && Running()) {
    outcome_.end = RunEnd::BatchLimit;
    RequestStop();
    host_.BatchLimitReached();
  }
}

void AcquisitionRun::RecordFrame(uint32_t elapsed, int32_t frameCount) {
  std::vector<InstantModel*>& models = settings_.models;
  Recording& rec = *recording_;
  rec.frames.resize(models.size());
  for (size_t i = 0; i < models.size(); ++i) {
    rec.frames[i] = models[i]->CurrentFrame();
    DumpSource& s = rec.sources[i];
    const LiveFrame* f = rec.frames[i].get();
    // A source without a complete frame cannot be written: the recording stops.
    s.cells = f != nullptr && f->cells.size() == size_t(s.width) * size_t(s.height)
                  ? f->cells.data()
                  : nullptr;
    s.mask = s.cells != nullptr ? f->mask.data() : nullptr;
    s.frameNumber = f != nullptr ? f->number : frameCount;
    s.readErrors = f != nullptr ? f->readErrors : 0;
  }
  const bool complete = std::none_of(rec.sources.begin(), rec.sources.end(),
                                     [](const DumpSource& s) { return s.cells == nullptr; });
  if (!complete || !WriteFrames(rec.file, rec.sources, static_cast<int32_t>(elapsed))) {
    // The frames written stay in the file; a run that cannot record what it reads is
    // stopped rather than reading on for nothing.
    const std::string why = complete ? rec.file.Error() : "a source has no frame to record";
    const std::string cause = "recording stopped: " + why + "; " +
                              std::to_string(rec.file.FramesWritten()) + " frames kept";
    outcome_.recordingError = why;
    host_.StatusText(cause);
    StopFor(RunEnd::RecordingFailed, cause);
    rec.frames.clear();
    return;
  }
  framesRecorded_.fetch_add(1, std::memory_order_relaxed);
  if (rec.mat.IsOpen() && !rec.mat.AppendFrame(rec.sources[0].cells, elapsed)) {
    // The MAT-file keeps its frames so far and is finished with them; the run stops as
    // for the recording itself, whose file stays complete.
    const std::string cause = "MAT-file stopped: " + rec.mat.Error() + "; " +
                              std::to_string(rec.mat.Frames()) + " frames kept";
    outcome_.recordingError = cause;
    host_.StatusText(cause);
    StopFor(RunEnd::RecordingFailed, cause);
  }
  rec.frames.clear();
}

}  // namespace pelorin
