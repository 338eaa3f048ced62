// The main window's side of a live acquisition: Start and Stop, the two refresh timers,
// and the host that carries the worker's reports to the window thread. The worker and
// the device side of Start live in data/acquisition, without any window.
#include <algorithm>
#include <cstdio>
#include <mutex>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/filefn.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/pelorin_dlg.h"
#include "app/program_exit.h"
#include "data/live_model.h"
#include "data/acquisition/acquisition_start.h"
#include "data/snr/snr_evaluation.h"
#include "data/status_text.h"
#include "view/map_window.h"
#include "view/view_controller.h"
#include "view/mesh/live_model_mesh_sources.h"
#include "view/resource.h"
#include "view/show_dialog.h"
#include "view/snr_dialog.h"

namespace pelorin {

using namespace res;

namespace {

// How long Start waits for a worker that is still finishing its last frame cycle, and
// how long the close sequence keeps waiting after its first 2000 ms: a cycle is bounded
// by the device's own time-outs.
constexpr std::chrono::milliseconds kDrainWait{10000};
constexpr std::chrono::milliseconds kCloseWait{2000};

// Timer 2: the plot of the current frame's four lines beside the run's maxima.
void BuildSnrPlot(CSNRDialog* page, const InstantModel* first, const EdgeTrackers* edges,
                  const SnrPins& pins) {
  if (page == nullptr || first == nullptr || edges == nullptr) return;
  const std::shared_ptr<const LiveFrame> frame = first->CurrentFrame();
  if (frame) page->BuildSnrPlot(*frame, pins, edges->Untouched(), edges->Touched());
}

// Stop: the edge lines and the panel noise of a Diff run that went past its untouched
// frames; otherwise the page keeps its earlier results.
void EvaluateSnr(CSNRDialog* page, const InstantModel* first, const EdgeTrackers* edges,
                 const SnrPins& pins) {
  if (page == nullptr || first == nullptr || edges == nullptr) return;
  if (!ShouldEvaluateSnr(first->GetSourceType(), first->GetFrameCounter(), pins.untouchedCount))
    return;
  page->ShowSnrResults(pelorin::EvaluateSnr(edges->Untouched(), edges->Touched(), pins));
  page->ShowPanelNoise(edges->PanelNoise());
}

}  // namespace

// Runs on the worker thread: every report is queued to the window thread and never
// waits for it. Reports of a run that is no longer the window's current one are dropped
// there, so a late "run ended" cannot stop the timers of the next run.
class AcquisitionWindowHost : public AcquisitionHost {
 public:
  // batch: the run was started from the command line; its messages also go to the
  // standard streams, and a fault ends the program.
  AcquisitionWindowHost(CPelorinDlg* dlg, int generation, bool batch)
      : dlg_(dlg), generation_(generation), batch_(batch) {}

  // The window is going away without its worker having ended: drop what comes later.
  void Detach() {
    std::lock_guard lock(mutex_);
    dlg_ = nullptr;
  }

  void SourceNames(std::vector<std::string> names) override {
    Post([names = std::move(names)](CPelorinDlg& d) { d.MapData().sourceNames = names; });
  }
  void Status(int32_t code, std::string argument) override {
    Post([code, argument = std::move(argument)](CPelorinDlg& d) { d.ShowStatusMessage(code, argument); });
  }
  void StatusText(std::string text) override {
    if (batch_) {
      std::printf("pelorin: %s\n", text.c_str());
      std::fflush(stdout);
    }
    Post([text = std::move(text)](CPelorinDlg& d) { d.ShowStatusText(text); });
  }
  void Frame(const FrameReport& r) override {
    Post([r](CPelorinDlg& d) { d.ShowFrameReport(r); });
  }
  void MoveRangeSliders(SliderPositions p) override {
    Post([p](CPelorinDlg& d) { d.MoveRangeSliders(p.maxSlider, p.minSlider); });
  }
  void BatchLimitReached() override {
    Post([](CPelorinDlg& d) {
      d.StopAcquisition();
      d.Close();
    });
  }
  // The run stopped itself (device gone, firmware never ready, reads failing, recording
  // failed): the window does what Stop does, says why and shows no frame rate any more;
  // a batch run closes the program, whose close sequence finishes the recording.
  void RunStopped(RunEnd /*end*/, std::string cause) override {
    const bool batch = batch_;
    Post([cause = std::move(cause), batch](CPelorinDlg& d) {
      if (d.FindWindow(IDC_STOP)->IsEnabled()) d.StopAcquisition();
      d.ShowStatusText(cause);
      d.FindWindow(IDC_FRAME_RATE)->SetLabel(wxString::Format("FrameRate : %.2f", 0.0));
      if (batch) d.Close();
    });
  }
  void RunEnded() override {
    Post([](CPelorinDlg& d) { d.OnAcquisitionEnded(); });
  }

 private:
  template <typename F>
  void Post(F f) {
    std::lock_guard lock(mutex_);
    if (dlg_ == nullptr) return;
    CPelorinDlg* dlg = dlg_;
    const int generation = generation_;
    dlg_->CallAfter([dlg, generation, f = std::move(f)] {
      if (dlg->AcquisitionGeneration() == generation) f(*dlg);
    });
  }

  std::mutex mutex_;
  CPelorinDlg* dlg_;
  int generation_;
  bool batch_;
};

void CPelorinDlg::BindAcquisition() {
  mapTimer_.SetOwner(this, kMapTimerId);
  snrTimer_.SetOwner(this, kSnrTimerId);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { StartAcquisition(); }, IDC_START);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { StopAcquisition(); }, IDC_STOP);
  // Dump: the next Start records the run (every N-th frame, N from the settings).
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& event) { dumpEnabled_ = event.IsChecked(); }, IDC_DUMP);
  Bind(wxEVT_TIMER, &CPelorinDlg::OnAcquisitionTimer, this, kMapTimerId);
  Bind(wxEVT_TIMER, &CPelorinDlg::OnAcquisitionTimer, this, kSnrTimerId);
}

std::vector<InstantModel*> CPelorinDlg::LiveModels() const {
  std::vector<InstantModel*> live;
  for (const auto& m : models_) {
    if (auto* i = dynamic_cast<InstantModel*>(m.get())) live.push_back(i);
  }
  return live;
}

void CPelorinDlg::StartAcquisition() {
  // A worker still finishing its last cycle must be gone before the models are cleared
  // and the device is opened again.
  if (acquisition_ && !acquisition_->WaitFinished(kDrainWait)) {
    ShowStatusText("the previous acquisition has not ended yet");
    return;
  }
  acquisition_.reset();
  ++acquisitionGeneration_;

  const std::vector<InstantModel*> live = LiveModels();
  if (live.empty() || live.size() != models_.size()) {
    ShowStatusMessage(kStatusPrepareFrameBufFail);
    return;
  }
  live[0]->SetSelectedChip(ChipIndexForItem(chipSelect_->GetSelection()));
  auto* order = static_cast<wxTextCtrl*>(FindWindow(IDC_CHIP_ORDER));
  const std::string orderText = order != nullptr ? order->GetValue().utf8_string() : std::string();
  const StartOutcome started =
      PrepareAcquisition(deviceIo_, live, orderText, deviceHandle_, CloseDeviceHandle);
  if (!started.ok) {
    // The status text, and that the device is in use when another program holds it.
    ShowStatusText(StartFailureText(started));
    if (state_.batchMode) {
      // An unattended run that cannot start ends the program and says why.
      SetExitStatus(1, StartFailureText(started));
      CallAfter([this] { Close(); });
    }
    return;
  }
  InstantModel& first = *live[0];

  mapPage_->Refresh(false);
  edgeTrackers_ = std::make_shared<EdgeTrackers>(first.Width(), first.Height());
  SnrPins pins;
  if (first.GetSourceType() == kSourceDiff) {
    const SnrInputs in = snrPage_->ReadInputs();
    pins = SnrPins{in.untouchedCount, in.pinX1, in.pinX2, in.pinY1, in.pinY2};
    snrPins_ = pins;
    snrRefreshOff_ = false;
  } else {
    snrRefreshOff_ = true;
  }
  snrTimer_.Start(400);
  mapData_.showSD = first.GetSourceType() == kSourceBase;
  mapData_.showFlatness = first.GetSourceType() == kSourceCycle;
  SizeLiveMeshOnMap();
  mapTimer_.Start(200);
  mapData_.showSecondPass = false;

  FindWindow(IDC_WIDTH)->SetLabel(wxString::Format("Width : %d", first.Width()));
  FindWindow(IDC_HEIGHT)->SetLabel(wxString::Format("Height : %d", first.Height()));

  AcquisitionSettings s;
  s.io = deviceIo_;
  s.device = deviceHandle_;
  s.models = live;
  s.dumpEnabled = dumpEnabled_;
  s.dumpInterval = std::max(state_.dumpInterval, 1);
  s.matlabDump = state_.dumpType != 0;
  s.workDir = wxGetCwd().utf8_string();
  s.batchMode = state_.batchMode;
  s.batchFrameLimit = state_.batchFrameLimit;
  s.batchName = state_.batchName;
  s.displayRangeShift = displayRangeShift_;
  s.autoCenter = autoCenterCheck_->GetValue();
  s.pins = pins;
  s.edges = edgeTrackers_;
  acquisitionHost_ = std::make_shared<AcquisitionWindowHost>(this, acquisitionGeneration_, state_.batchMode);
  acquisition_ = std::make_unique<AcquisitionRun>(std::move(s), *acquisitionHost_);
  acquisition_->Start();
  // Only a run that started is live: a refused Start leaves the window as it was.
  runMode_ = RunMode::Live;
  ShowStatusText("");  // what an earlier Start or Load left there is over

  hideButtonLockedBeforeRun_ = !hideButtonCheck_->IsEnabled();
  FindWindow(IDC_START)->Disable();
  stopButton_->Enable();
  for (int id : {IDC_LOAD, IDC_PLAY, IDC_PAUSE, IDC_PREV, IDC_NEXT, IDC_FILTER, IDC_DUMP,
                 IDC_FIRST_SOURCE, IDC_SECOND_SOURCE, IDC_CHIP_SELECT, IDC_HIDE_OVERLAP,
                 IDC_HIDE_BUTTON}) {
    if (wxWindow* w = FindWindow(id)) w->Disable();
  }
  chipSelect_->Update();
  CallAfter([this] { SetFocus(); });
}

void CPelorinDlg::StopAcquisition() {
  // The worker ends its current cycle on its own; Start waits for it if need be.
  if (acquisition_) acquisition_->RequestStop();
  runMode_ = RunMode::Idle;
  EvaluateSnr(snrPage_, LiveModel(0), edgeTrackers_.get(), snrPins_);

  FindWindow(IDC_START)->Enable();
  stopButton_->Disable();
  for (int id : {IDC_LOAD, IDC_FILTER, IDC_FIRST_SOURCE, IDC_SECOND_SOURCE, IDC_CHIP_SELECT,
                 IDC_HIDE_OVERLAP, IDC_DUMP}) {
    if (wxWindow* w = FindWindow(id)) w->Enable();
  }
  // Hide Button stays disabled when the settings lock it (HIDE_SHOW).
  if (!hideButtonLockedBeforeRun_ && !(LiveModel(0) != nullptr && LiveModel(0)->GetHideShow())) {
    hideButtonCheck_->Enable();
  }
  chipSelect_->Update();
  CallAfter([this] { SetFocus(); });
}

namespace {

std::vector<LiveMeshModel> MeshModelsOf(const std::vector<std::unique_ptr<PelorinModel>>& models) {
  std::vector<LiveMeshModel> live;
  for (const auto& m : models) {
    if (const auto* model = dynamic_cast<const InstantModel*>(m.get()))
      live.push_back({model, model->GetMaskOn()});
  }
  return live;
}

}  // namespace

void CPelorinDlg::SizeLiveMeshOnMap() {
  if (COpenGLControl* map = MapWindow())
    map->SizeMesh(LiveModelMeshSources(MeshModelsOf(models_)), &snrPlotSize_);
  // The plot window takes the size the mesh sizing gave the SNR plot.
  if (snrPage_ != nullptr) snrPage_->SizeSnrPlot(snrPlotSize_.FloatCount());
}

void CPelorinDlg::RebuildLiveMeshOnMap() {
  COpenGLControl* map = MapWindow();
  if (map == nullptr) return;
  // The frames the worker published last, each complete; the map repaints itself.
  map->Rebuild(LiveModelMeshSources(MeshModelsOf(models_)));
  mapPage_->Refresh(false);
}

void CPelorinDlg::OnAcquisitionTimer(wxTimerEvent& event) {
  if (event.GetId() == kMapTimerId && !mapRefreshOff_) {
    RebuildLiveMeshOnMap();
  } else if (event.GetId() == kSnrTimerId && !snrRefreshOff_) {
    BuildSnrPlot(snrPage_, LiveModel(0), edgeTrackers_.get(), snrPins_);
  }
  event.Skip();
}

void CPelorinDlg::ShowStatusText(const std::string& text) {
  FindWindow(IDC_STATUS)->SetLabel(wxString::FromUTF8(text));
}

void CPelorinDlg::ShowFrameReport(const FrameReport& r) {
  if (COpenGLControl* map = MapWindow()) {
    map->SetMaxLabel(r.frameMax);
    map->SetMinLabel(r.frameMin);
  }
  mapData_.flatness = r.flatness;
  mapData_.standardDeviation = r.standardDeviation;
  state_.frameRate = r.frameRate;
  state_.flatness = r.flatness;
  state_.standardDeviation = r.standardDeviation;
  if (r.showStatistics) {
    UpdateStatistics(r.frameCount, r.frameRate, r.average, r.frameMax, r.overallMax, r.frameMin,
                     r.overallMin);
  }
}

void CPelorinDlg::MoveRangeSliders(int maxPosition, int minPosition) {
  // What the sliders' own notifications do: the models and the map take the new range.
  ViewControls().OnRangeSliders({maxPosition, minPosition});
}

void CPelorinDlg::OnAcquisitionEnded() {
  ShowRunEndStatus();
  mapTimer_.Stop();
  mapData_.showSecondPass = true;
  snrTimer_.Stop();
  if (mapPage_ != nullptr) mapPage_->Refresh(false);
}

namespace {

// The last word of a batch run on the standard streams, and the program's exit status:
// 0 only when every frame asked for was read and recorded.
void ReportBatchOutcome(const RunOutcome& o, int frameLimit) {
  const std::string frames = std::to_string(o.framesRecorded) + " frames recorded" +
                             (o.recordingPath.empty() ? std::string() : " in " + o.recordingPath);
  if (StopSignal() != 0) {
    SetExitStatus(128 + StopSignal(), "interrupted; " + frames);
  } else if (!o.cause.empty()) {
    SetExitStatus(1, o.cause + " after " + std::to_string(o.framesRead) + " frames; " + frames);
  } else if (o.end != RunEnd::BatchLimit || o.framesRead < frameLimit) {
    SetExitStatus(1, "stopped after " + std::to_string(o.framesRead) + " of " +
                         std::to_string(frameLimit) + " frames; " + frames);
  } else if (!o.recordingError.empty()) {
    SetExitStatus(1, "the recording failed: " + o.recordingError);
  } else {
    std::printf("pelorin: %s\n", frames.c_str());
    std::fflush(stdout);
  }
  if (!o.recordingError.empty() && ExitStatus() == 0) SetExitStatus(1, o.recordingError);
}

}  // namespace

void CPelorinDlg::EndAcquisitionForClose() {
  mapTimer_.Stop();
  snrTimer_.Stop();
  if (!acquisition_) return;
  acquisition_->RequestStop();
  if (acquisition_->WaitFinished(kCloseWait) || acquisition_->WaitFinished(kDrainWait)) {
    if (state_.batchMode) ReportBatchOutcome(acquisition_->Outcome(), state_.batchFrameLimit);
    return;
  }
  if (state_.batchMode) SetExitStatus(1, "the acquisition did not end; its recording is not finished");
  // The worker is stuck in the device beyond every time-out: it keeps the models it
  // reads and its host, which no longer reaches this window.
  std::fprintf(stderr, "pelorin: the acquisition worker did not end; leaving it behind\n");
  acquisitionHost_->Detach();
  (void)acquisition_.release();
  (void)new std::shared_ptr<AcquisitionWindowHost>(acquisitionHost_);  // outlives the worker
  for (auto& m : models_) (void)m.release();
  models_.clear();
}

void CPelorinDlg::GiveDeviceBack() {
  if (deviceHandle_ == 0) return;
  if (deviceIo_.ReportToOS) deviceIo_.ReportToOS(deviceHandle_, true, false);
  CloseDeviceHandle(deviceHandle_);
  deviceHandle_ = 0;
}

}  // namespace pelorin
