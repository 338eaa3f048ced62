// The session's live acquisition: Start and Stop, the refresh ticks, the worker's reports
// and the close of a run. The worker and the device side of Start live in
// data/acquisition.
#include <algorithm>
#include <cstdio>
#include <mutex>

#include "data/acquisition/acquisition_start.h"
#include "data/live_model.h"
#include "data/session/batch_verdict.h"
#include "data/session/status_line.h"
#include "data/session/viewer_session.h"
#include "data/snr/snr_evaluation.h"
#include "data/status_text.h"

namespace pelorin {

namespace {

// How long Start waits for a worker that is still finishing its last frame cycle, and
// how long the close keeps waiting after its first 2000 ms: a cycle is bounded by the
// device's own time-outs.
constexpr std::chrono::milliseconds kDrainWait{10000};
constexpr std::chrono::milliseconds kCloseWait{2000};

// "Width : 6", "Height : 5".
std::string Labelled(const std::string& label, int32_t value) {
  return label + " : " + std::to_string(value);
}

}  // namespace

// Runs on the worker thread: every report is posted to the window thread and never waits
// for it. A report of a run that is no longer the session's current one is dropped there,
// so a late "run ended" cannot stop the timers of the next run.
class ViewerSession::AcquisitionReports : public AcquisitionHost,
                                          public std::enable_shared_from_this<AcquisitionReports> {
 public:
  AcquisitionReports(ViewerSession& session, int32_t generation, bool batch)
      : session_(&session), view_(session.view_), generation_(generation), batch_(batch) {}

  // The session is going away without its worker having ended: drop what comes later.
  void Detach() {
    std::lock_guard lock(mutex_);
    session_ = nullptr;
  }

  void SourceNames(std::vector<std::string> names) override {
    Post([names = std::move(names)](ViewerSession& s) {
      s.figures_.sourceNames = names;
      s.view_.ShowRunFigures(s.figures_);
    });
  }
  void Status(int32_t code, std::string argument) override {
    Post([code, argument = std::move(argument)](ViewerSession& s) {
      s.ShowStatusMessage(code, argument);
    });
  }
  void StatusText(std::string text) override {
    if (batch_) {
      std::printf("pelorin: %s\n", text.c_str());
      std::fflush(stdout);
    }
    Post([text = std::move(text)](ViewerSession& s) { s.ShowStatusText(text); });
  }
  void Frame(const FrameReport& r) override {
    Post([r](ViewerSession& s) { s.OnFrame(r); });
  }
  void MoveRangeSliders(SliderPositions p) override {
    Post([p](ViewerSession& s) { s.MoveSliders({p.maxSlider, p.minSlider}); });
  }
  void BatchLimitReached() override {
    Post([](ViewerSession& s) {
      s.Stop();
      s.view_.RequestClose();
    });
  }
  void RunStopped(RunEnd /*end*/, std::string cause) override {
    Post([cause = std::move(cause)](ViewerSession& s) { s.OnRunStopped(cause); });
  }
  void RunEnded() override {
    Post([](ViewerSession& s) { s.OnAcquisitionEnded(); });
  }

 private:
  template <typename F>
  void Post(F f) {
    std::lock_guard lock(mutex_);
    if (session_ == nullptr) return;
    view_.Post([self = shared_from_this(), f = std::move(f)] {
      ViewerSession* s = self->Target();
      if (s != nullptr && s->generation_ == self->generation_) f(*s);
    });
  }
  ViewerSession* Target() {
    std::lock_guard lock(mutex_);
    return session_;
  }

  std::mutex mutex_;
  ViewerSession* session_;
  SessionView& view_;
  const int32_t generation_;
  const bool batch_;
};

void ViewerSession::DetachAcquisitionReports() {
  if (acquisitionReports_) acquisitionReports_->Detach();
}

std::vector<InstantModel*> ViewerSession::LiveModels() const {
  std::vector<InstantModel*> live;
  for (const auto& m : models_) {
    if (auto* i = dynamic_cast<InstantModel*>(m.get())) live.push_back(i);
  }
  return live;
}

void ViewerSession::Start() {
  // A worker still finishing its last cycle must be gone before the models are cleared
  // and the device is opened again.
  if (acquisition_ && !acquisition_->WaitFinished(kDrainWait)) {
    ShowStatusText("the previous acquisition has not ended yet");
    return;
  }
  acquisition_.reset();
  ++generation_;

  const std::vector<InstantModel*> live = LiveModels();
  if (live.empty() || live.size() != models_.size()) {
    ShowStatusMessage(kStatusPrepareFrameBufFail);
    return;
  }
  live[0]->SetSelectedChip(ChipIndexForItem(chipItem_));
  const StartInputs inputs = view_.ReadStartInputs();
  const StartOutcome started =
      PrepareAcquisition(deviceIo_, live, inputs.chipOrder, deviceHandle_, closeHandle_);
  if (!started.ok) {
    // The status text, and that the device is in use when another program holds it.
    ShowStatusText(StartFailureText(started));
    if (settings_.batchMode) {
      // An unattended run that cannot start ends the program and says why.
      view_.SetExitStatus(1, StartFailureText(started));
      view_.Post([&view = view_] { view.RequestClose(); });
    }
    return;
  }
  InstantModel& first = *live[0];

  edges_ = std::make_shared<EdgeTrackers>(first.Width(), first.Height());
  SnrPins pins;
  if (first.GetSourceType() == kSourceDiff) {
    pins = inputs.pins;
    pins_ = pins;
    snrRefreshOff_ = false;
  } else {
    snrRefreshOff_ = true;
  }
  figures_.showSD = first.GetSourceType() == kSourceBase;
  figures_.showFlatness = first.GetSourceType() == kSourceCycle;
  figures_.showSecondPass = false;
  view_.ShowRunFigures(figures_);
  view_.UpdateMap(MapUpdate::Repaint);
  view_.UpdateMap(MapUpdate::SizeLive);
  view_.RunRefreshTimers(true);

  SetText(Field::Width, Labelled("Width", first.Width()));
  SetText(Field::Height, Labelled("Height", first.Height()));

  AcquisitionSettings s;
  s.io = deviceIo_;
  s.device = deviceHandle_;
  s.models = live;
  s.dumpEnabled = settings_.dumpEnabled;
  s.dumpInterval = std::max(settings_.dumpInterval, 1);
  s.matlabDump = settings_.dumpType != 0;
  s.workDir = workDir_;
  s.batchMode = settings_.batchMode;
  s.batchFrameLimit = settings_.batchFrameLimit;
  s.batchName = settings_.batchName;
  s.displayRangeShift = settings_.displayRangeShift;
  s.autoCenter = settings_.autoCenter;
  s.pins = pins;
  s.edges = edges_;
  acquisitionReports_ =
      std::make_shared<AcquisitionReports>(*this, generation_, settings_.batchMode);
  acquisition_ = std::make_unique<AcquisitionRun>(std::move(s), *acquisitionReports_);
  acquisition_->Start();
  // Only a run that started is live: a refused Start leaves everything as it was.
  mode_ = RunMode::Live;
  ShowStatusText("");  // what an earlier Start or Load left there is over

  hideButtonLockedBeforeRun_ = !Enabled(Control::HideButton);
  Enable(Control::Start, false);
  Enable(Control::Stop, true);
  for (Control c : {Control::Load, Control::Play, Control::Pause, Control::Prev, Control::Next,
                    Control::Filter, Control::Dump, Control::FirstSource, Control::SecondSource,
                    Control::ChipSelect, Control::HideOverlap, Control::HideButton})
    Enable(c, false);
  view_.Focus(FocusTarget::Window);
}

void ViewerSession::Stop() {
  // The worker ends its current cycle on its own; Start waits for it if need be.
  if (acquisition_) acquisition_->RequestStop();
  mode_ = RunMode::Idle;
  EvaluateSnr();

  Enable(Control::Start, true);
  Enable(Control::Stop, false);
  for (Control c : {Control::Load, Control::Filter, Control::FirstSource, Control::SecondSource,
                    Control::ChipSelect, Control::HideOverlap, Control::Dump})
    Enable(c, true);
  // Hide Button stays disabled when the settings lock it (HIDE_SHOW).
  const InstantModel* first = LiveModel(0);
  if (!hideButtonLockedBeforeRun_ && !(first != nullptr && first->GetHideShow()))
    Enable(Control::HideButton, true);
  view_.Focus(FocusTarget::Window);
}

void ViewerSession::EvaluateSnr() {
  // The edge lines and the panel noise of a Diff run that went past its untouched
  // frames; otherwise the page keeps its earlier results.
  const InstantModel* first = LiveModel(0);
  if (first == nullptr || edges_ == nullptr) return;
  if (!ShouldEvaluateSnr(first->GetSourceType(), first->GetFrameCounter(), pins_.untouchedCount))
    return;
  view_.ShowSnrResults(pelorin::EvaluateSnr(edges_->Untouched(), edges_->Touched(), pins_),
                       edges_->PanelNoise());
}

void ViewerSession::OnMapTimer() {
  if (!mapRefreshOff_) view_.UpdateMap(MapUpdate::RebuildLive);
}

void ViewerSession::OnSnrTimer() {
  // The plot of the current frame's four lines beside the run's maxima.
  const InstantModel* first = LiveModel(0);
  if (snrRefreshOff_ || first == nullptr || edges_ == nullptr) return;
  if (const std::shared_ptr<const LiveFrame> frame = first->CurrentFrame())
    view_.PlotSnr(*frame, pins_, edges_->Untouched(), edges_->Touched());
}

void ViewerSession::OnFrame(const FrameReport& r) {
  view_.ShowFrameExtremes(r.frameMax, r.frameMin);
  figures_.flatness = r.flatness;
  figures_.standardDeviation = r.standardDeviation;
  view_.ShowRunFigures(figures_);
  settings_.frameRate = r.frameRate;
  settings_.flatness = r.flatness;
  settings_.standardDeviation = r.standardDeviation;
  if (r.showStatistics) {
    ShowStatistics(r.frameCount, r.frameRate, r.average, r.frameMax, r.overallMax, r.frameMin,
                   r.overallMin);
  }
}

void ViewerSession::OnRunStopped(const std::string& cause) {
  // The run stopped itself (device gone, firmware never ready, reads failing, recording
  // failed): what Stop does, why, and no frame rate any more; a batch run closes the
  // program, whose close finishes the recording.
  if (Enabled(Control::Stop)) Stop();
  ShowStatusText(cause);
  SetText(Field::FrameRate, "FrameRate : 0.00");
  if (settings_.batchMode) view_.RequestClose();
}

void ViewerSession::OnAcquisitionEnded() {
  // A run that wrote its recording says where; any other end keeps what the run said
  // last (a failed write, a lost device).
  if (acquisition_ && !acquisition_->RecordingPath().empty())
    ShowStatusText(RecordedText(acquisition_->RecordingPath(), acquisition_->MatPath()));
  view_.RunRefreshTimers(false);
  figures_.showSecondPass = true;
  view_.ShowRunFigures(figures_);
  view_.UpdateMap(MapUpdate::Repaint);
}

void ViewerSession::EndAcquisitionForClose() {
  view_.RunRefreshTimers(false);
  if (!acquisition_) return;
  acquisition_->RequestStop();
  if (acquisition_->WaitFinished(kCloseWait) || acquisition_->WaitFinished(kDrainWait)) {
    if (settings_.batchMode) {
      const int signal = stopSignal_ ? stopSignal_() : 0;
      const ExitVerdict v =
          BatchVerdict(acquisition_->Outcome(), settings_.batchFrameLimit, signal);
      if (v.status != 0) {
        view_.SetExitStatus(v.status, v.message);
      } else {
        std::printf("pelorin: %s\n", v.message.c_str());
        std::fflush(stdout);
      }
    }
    return;
  }
  if (settings_.batchMode)
    view_.SetExitStatus(1, "the acquisition did not end; its recording is not finished");
  // The worker is stuck in the device beyond every time-out: it keeps the models it
  // reads and its host, which no longer reaches this session.
  std::fprintf(stderr, "pelorin: the acquisition worker did not end; leaving it behind\n");
  acquisitionReports_->Detach();
  (void)acquisition_.release();
  (void)new std::shared_ptr<AcquisitionReports>(acquisitionReports_);  // outlives the worker
  for (auto& m : models_) (void)m.release();
  models_.clear();
}

void ViewerSession::GiveDeviceBack() {
  // The controller reports touches to the system again; the handle closes.
  if (deviceHandle_ == 0) return;
  if (deviceIo_.ReportToOS) deviceIo_.ReportToOS(deviceHandle_, true, false);
  if (closeHandle_) closeHandle_(deviceHandle_);
  deviceHandle_ = 0;
}

}  // namespace pelorin
