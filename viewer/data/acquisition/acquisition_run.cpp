#include "data/acquisition/acquisition_run.h"

#include <algorithm>
#include <array>
#include <cstdio>
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

void AcquisitionRun::Work() {
  std::vector<InstantModel*>& models = settings_.models;
  if (settings_.dumpEnabled && !models.empty()) {
    recording_ = std::make_unique<Recording>();
    recording_->sources.resize(models.size());
    for (size_t i = 0; i < models.size(); ++i) {
      DumpSource& s = recording_->sources[i];
      s.name = models[i]->GetName();
      s.width = models[i]->Width();
      s.height = models[i]->Height();
    }
    if (!OpenDump(recording_->file, settings_.workDir, recording_->sources)) {
      ShowStatus(kStatusCantOpenFile, recording_->file.TempPath());
      recording_.reset();
    } else if (settings_.matlabDump &&
               !recording_->mat.Open(settings_.workDir + "/" + kTempMatName, models[0]->Width(),
                                     models[0]->Height())) {
      host_.StatusText("no MAT-file: " + recording_->mat.Error());
    }
  }
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
  if (recording_) {
    const int32_t frames = models.empty() ? 0 : models[0]->GetFrameCounter();
    const std::string batchName = settings_.batchMode ? settings_.batchName : std::string();
    const std::string name = !settings_.recordingName.empty()
                                 ? settings_.recordingName
                                 : FinalDumpName(batchName, models[0]->GetName(), std::time(nullptr));
    if (!FinishDump(recording_->file, frames, std::max(settings_.dumpInterval, 1), name)) {
      host_.StatusText("can't write file at " + settings_.workDir + "/" + name);
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
  host_.RunEnded();
  {
    std::lock_guard lock(finishMutex_);
    finished_.store(true, std::memory_order_release);
  }
  finishedCv_.notify_all();
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
  } else if (std::rename(mat.Path().c_str(), target.c_str()) != 0) {
    host_.StatusText("no MAT-file: can't rename " + mat.Path() + " to " + target);
  } else {
    matPath_ = target;
  }
}

bool AcquisitionRun::WaitFirmwareReady() {
  std::array<uint8_t, kDeviceReplyBytes> reply{};
  while (Running()) {
    uint32_t count = 0;
    reply[0] = 0;
    if (settings_.io.ReadData(settings_.device, kAddrFirmwareReady, reply.data(), &count) != 0) continue;
    if (reply[0] != 0) return true;
    ShowStatus(kStatusFirmwareNotReady);
  }
  return false;
}

void AcquisitionRun::FrameCycle(std::vector<uint8_t>& a, std::vector<uint8_t>& b) {
  std::vector<InstantModel*>& models = settings_.models;
  InstantModel& first = *models[0];
  settings_.sleepMs(first.GetDiagDelay());
  settings_.io.SetRawMode(settings_.device, kRawModeOn);
  const int32_t countBefore = first.GetFrameCounter();
  const bool ready = WaitFirmwareReady();
  if (ready) {
    for (InstantModel* m : models) {
      if (!m->ReadFrame(a, b)) ShowStatus(kStatusReadChipDataFail);
    }
  }
  settings_.io.SetChipIndex(0);
  settings_.io.SetRawMode(settings_.device, kRawModeOff);
  // Stopped while the firmware was not ready: there is no new frame to account for.
  if (!ready) return;

  const std::shared_ptr<const LiveFrame> frame = first.CurrentFrame();
  if (!frame) return;
  const int32_t type = first.GetSourceType();
  FrameReport report;
  if (type == kSourceCycle) {
    flatness_.store(pelorin::Flatness(frame->cells.data(), frame->width, frame->height), std::memory_order_relaxed);
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
    standardDeviation_.store(pelorin::StandardDeviation(frame->cells.data(), frame->width, frame->height,
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
    Recording& rec = *recording_;
    rec.frames.resize(models.size());
    for (size_t i = 0; i < models.size(); ++i) {
      rec.frames[i] = models[i]->CurrentFrame();
      DumpSource& s = rec.sources[i];
      const LiveFrame* f = rec.frames[i].get();
      // A source without a complete frame cannot be written: the recording stops.
      s.cells = f != nullptr && f->cells.size() == size_t(s.width) * size_t(s.height) ? f->cells.data() : nullptr;
      s.mask = s.cells != nullptr ? f->mask.data() : nullptr;
      s.frameNumber = f != nullptr ? f->number : report.frameCount;
      s.readErrors = f != nullptr ? f->readErrors : 0;
    }
    if (std::any_of(rec.sources.begin(), rec.sources.end(), [](const DumpSource& s) { return s.cells == nullptr; }) ||
        !WriteFrames(rec.file, rec.sources, static_cast<int32_t>(elapsed))) {
      // What was written stays in the temporary file; the acquisition goes on.
      host_.StatusText("recording stopped: can't write " + rec.file.TempPath() + ", " +
                       std::to_string(rec.file.FramesWritten()) + " frames kept");
      recording_.reset();
    } else {
      framesRecorded_.fetch_add(1, std::memory_order_relaxed);
      if (rec.mat.IsOpen() && !rec.mat.AppendFrame(rec.sources[0].cells, elapsed)) {
        host_.StatusText("MAT-file stopped: " + rec.mat.Error());
        rec.mat.Abandon();
      }
      rec.frames.clear();
    }
  }

  if (autoCenter_.load(std::memory_order_relaxed)) {
    const std::optional<SliderPositions> move =
        AutoCenterSliders(first.GetMaxValue(), first.GetMinValue(), first.GetRangeMax(),
                          first.GetRangeMin(), settings_.displayRangeShift);
    // The range follows only when the window has moved the sliders: ask once per change.
    if (move && move != lastSliders_) host_.MoveRangeSliders(*move);
    lastSliders_ = move;
  }

  if (settings_.batchMode && report.frameCount >= settings_.batchFrameLimit) {
    RequestStop();
    host_.BatchLimitReached();
  }
}

}  // namespace pelorin
