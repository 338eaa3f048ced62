// The player of the main window: loading a recording (Load button, dropped files) and the
// Pause, Prev, Next, slider and Play controls. The playing itself (worker, pace, stop flag,
// playback lock) is the PlaybackRun's; the window routes its controls to it and shows what
// it reports.
//
// Threads: the worker draws a frame on the map from its own thread (the map guards its
// arrays against the paint); every widget update it causes is queued to the window thread
// with CallAfter, and it never waits for that thread. A load or the close stops and joins
// the worker first, so the recording never changes under a running worker.
#include <algorithm>
#include <cstdio>
#include <string>

#include <wx/button.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/slider.h>

#include "app/pelorin_dlg.h"
#include "app/status_line.h"
#include "data/playback/player_buttons.h"
#include "data/recording/load_recording.h"
#include "data/status_text.h"
#include "view/map_window.h"
#include "view/mesh/recording_mesh_sources.h"
#include "view/resource.h"
#include "view/show_dialog.h"

namespace pelorin {

using namespace res;

namespace {

// The Load dialog's texts. The filter's closing "||" ends the list; wx wants the list
// without it.
constexpr const char* kLoadDialogTitle = "Load Pelorin Data";
constexpr const char* kLoadDialogFilter = " Pelorin Data(*.csv;*.txt)|*.csv;*.txt||";

wxString WxFilter(const char* filter) {
  wxString text(filter);
  while (text.EndsWith("|")) text.RemoveLast();
  return text;
}

}  // namespace

// What the player reports, as the window shows it. Queued reports are bound to the window,
// so none runs once it is gone.
class PlaybackWindowHost final : public PlaybackHost {
 public:
  explicit PlaybackWindowHost(CPelorinDlg& dlg) : dlg_(dlg) {}
  void Post(std::function<void()> task) override { dlg_.CallAfter(std::move(task)); }
  void DrawFrame(int32_t i) override { dlg_.DrawPlaybackFrame(i); }
  void FrameShown(int32_t i) override { dlg_.ShowPlaybackStep(i); }
  void PlaybackEnded() override { dlg_.FinishPlayback(); }

 private:
  CPelorinDlg& dlg_;
};

void CPelorinDlg::MakePlayer() {
  playbackHost_ = std::make_unique<PlaybackWindowHost>(*this);
  playback_ = std::make_unique<PlaybackRun>(recordings_, *playbackHost_);
}

void CPelorinDlg::StopPlayback() { playback_->Stop(); }
void CPelorinDlg::SetPlaybackStepTime(std::chrono::milliseconds step) {
  playback_->SetStepTime(step);
}
bool CPelorinDlg::PlayerStopped() const { return playback_->Stopped(); }
bool CPelorinDlg::PlaybackThreadRunning() const { return playback_->ThreadRunning(); }

void CPelorinDlg::BindPlayerEvents() {
  Bind(wxEVT_BUTTON, &CPelorinDlg::OnLoad, this, IDC_LOAD);
  Bind(wxEVT_BUTTON, &CPelorinDlg::OnPlay, this, IDC_PLAY);
  Bind(wxEVT_BUTTON, &CPelorinDlg::OnPause, this, IDC_PAUSE);
  Bind(wxEVT_BUTTON, &CPelorinDlg::OnPrev, this, IDC_PREV);
  Bind(wxEVT_BUTTON, &CPelorinDlg::OnNext, this, IDC_NEXT);
  // wx reports a moved slider rather than every repaint; a repaint without a move would
  // redraw the frame already on display.
  Bind(wxEVT_SLIDER, &CPelorinDlg::OnSliderDraw, this, IDC_PLAYER_SLIDER);
  Bind(wxEVT_DROP_FILES, &CPelorinDlg::OnDropFiles, this);
  DragAcceptFiles(true);
}

void CPelorinDlg::EnableControl(int id, bool enable) {
  if (wxWindow* w = FindWindow(id)) w->Enable(enable);
}

// --- The map ---------------------------------------------------------------------------
// The rebuild runs under the playback lock, on the worker's thread during playback: it
// reads only the recording and the map, which guards its own arrays against the paint.

void CPelorinDlg::DrawPlaybackFrame(int32_t frameIndex) { RebuildPlaybackMeshOnMap(frameIndex); }

void CPelorinDlg::SizePlaybackMeshOnMap() {
  if (COpenGLControl* map = MapWindow())
    map->SizeMesh(RecordingMeshSources(recordings_, 0));  // sizing reads no frame
}

void CPelorinDlg::RebuildPlaybackMeshOnMap(int32_t frameIndex) {
  COpenGLControl* map = MapWindow();
  if (map == nullptr || recordings_.Count() == 0) return;
  map->Rebuild(RecordingMeshSources(recordings_, frameIndex));
  if (frameIndex >= 0 && frameIndex < recordings_.GetFrameCount(0)) {
    map->SetMaxLabel(recordings_.FrameMax(0, frameIndex));
    map->SetMinLabel(recordings_.FrameMin(0, frameIndex));
  }
}

// --- Loading ---------------------------------------------------------------------------

void CPelorinDlg::ShowLoadProgress(void* context, int32_t frameIndex, int32_t frameCount) {
  auto* dlg = static_cast<CPelorinDlg*>(context);
  dlg->ShowStatusMessage(kStatusLoading, LoadProgressArgument(frameIndex, frameCount));
  // Loading runs on the window thread, so nothing would be painted until it ends. A few
  // times a second the window gets to repaint; only drawing events are let through, so a
  // click cannot start another load or a playback in the middle of this one.
  const auto now = std::chrono::steady_clock::now();
  if (now - dlg->loadProgressPainted_ < std::chrono::milliseconds(100)) return;
  dlg->loadProgressPainted_ = now;
  if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) loop->YieldFor(wxEVT_CATEGORY_UI);
}

bool CPelorinDlg::LoadRecording(const std::string& path) {
  loading_ = true;
  const bool loaded = LoadRecordingNow(path);
  loading_ = false;
  if (closeAfterLoad_) CallAfter([this] { Close(); });
  return loaded;
}

bool CPelorinDlg::LoadRecordingNow(const std::string& path) {
  StopPlayback();

  RangePair liveRange{};
  if (!models_.empty()) liveRange = RangePair{models_[0]->GetRangeMax(), models_[0]->GetRangeMin()};
  // Loaded aside: the recording on screen stays until the new one is complete. A file
  // without any frame has nothing to show and is refused like a broken one.
  RecordingSet fresh;
  const bool read = LoadRecordingData(fresh, path, liveRange, this, &CPelorinDlg::ShowLoadProgress);
  if (!read || fresh.Count() == 0 || fresh.GetFrameCount(0) == 0) {
    // The status line says why, as the reader found it.
    const std::string why = !read ? fresh.LastError() : std::string("it holds no frame");
    ShowStatusText(LoadFailedText(path, why));
    return false;
  }
  playback_->Replace(fresh);

  const int32_t count = recordings_.GetFrameCount(0);
  EnableControl(IDC_PAUSE, false);
  EnableControl(IDC_PREV, false);
  EnableControl(IDC_NEXT, count > 1);
  EnableControl(IDC_PLAY, true);
  // wx cannot show a slider of a single position; a one-frame file has nowhere to go.
  EnableControl(IDC_PLAYER_SLIDER, count > 1);

  SizePlaybackMeshOnMap();
  auto* slider = static_cast<wxSlider*>(FindWindow(IDC_PLAYER_SLIDER));
  slider->SetRange(0, std::max(count - 1, 1));
  slider->SetValue(recordings_.GetCurrentIndex(0));
  ShowPlaybackFrame(0);

  char text[32];
  std::snprintf(text, sizeof text, "Width : %d", recordings_.GetWidth(0));
  FindWindow(IDC_WIDTH)->SetLabel(text);
  std::snprintf(text, sizeof text, "Height : %d", recordings_.GetHeight(0));
  FindWindow(IDC_HEIGHT)->SetLabel(text);

  runMode_ = RunMode::Paused;
  // The last progress text ("loading 263 / 263") gives way to what was loaded.
  ShowStatusText(LoadedText(path, count));
  return true;
}

void CPelorinDlg::OnLoad(wxCommandEvent& /*event*/) {
  std::optional<std::string> path;
  if (fileDialog_) {
    path = fileDialog_(kLoadDialogTitle, kLoadDialogFilter);
  } else {
    wxFileDialog dialog(this, kLoadDialogTitle, wxEmptyString, wxEmptyString,
                        WxFilter(kLoadDialogFilter), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() == wxID_OK) path = std::string(dialog.GetPath().utf8_str());
  }
  if (path) LoadRecording(*path);
}

void CPelorinDlg::OnDropFiles(wxDropFilesEvent& event) {
  // Each load replaces the one before; the last good one stays.
  const wxString* files = event.GetFiles();
  for (int k = 0; k < event.GetNumberOfFiles(); ++k)
    LoadRecording(std::string(files[k].utf8_str()));
}

// --- Showing a frame -------------------------------------------------------------------

void CPelorinDlg::ShowPlaybackStatistics(int32_t i) {
  UpdateStatistics(i, 0.0f, recordings_.FrameAverage(0, i), recordings_.FrameMax(0, i),
                   recordings_.GetMaxValue(0), recordings_.FrameMin(0, i),
                   recordings_.GetMinValue(0));
  // The map's own "Max" and "Min" labels follow the frame with its mesh
  // (RebuildPlaybackMeshOnMap).
  if (frameShown_) frameShown_(i);
}

void CPelorinDlg::ShowPlaybackFrame(int32_t i) {
  if (playback_->ShowFrame(i)) ShowPlaybackStatistics(i);
}

void CPelorinDlg::SetStepButtons(int32_t i) {
  const StepButtons b = StepButtonsAt(i, recordings_.GetFrameCount(0));
  EnableControl(IDC_PREV, b.prev);
  EnableControl(IDC_NEXT, b.next);
  EnableControl(IDC_PLAY, b.play);
}

// --- Playing ---------------------------------------------------------------------------

void CPelorinDlg::OnPlay(wxCommandEvent& /*event*/) {
  if (recordings_.Count() == 0 || runMode_ == RunMode::Playing || !playback_->Play()) return;
  runMode_ = RunMode::Playing;
  for (int id : {IDC_PREV, IDC_NEXT, IDC_PLAY, IDC_PLAYER_SLIDER, IDC_START})
    EnableControl(id, false);
  EnableControl(IDC_PAUSE, true);
  CallAfter([this] {
    if (mapPage_ != nullptr) mapPage_->SetFocus();
  });
}

void CPelorinDlg::ShowPlaybackStep(int32_t i) {
  static_cast<wxSlider*>(FindWindow(IDC_PLAYER_SLIDER))->SetValue(i);
  ShowPlaybackStatistics(i);
}

void CPelorinDlg::FinishPlayback() {
  const int32_t count = recordings_.GetFrameCount(0);
  const int32_t i = recordings_.GetCurrentIndex(0);
  if (i == count - 1) {
    EnableControl(IDC_PREV, count > 1);
    for (int id : {IDC_NEXT, IDC_PAUSE, IDC_PLAY}) EnableControl(id, false);
  } else {
    // Paused: a step that was under way when Pause came may have moved on since.
    const StepButtons b = StepButtonsAt(i, count);
    EnableControl(IDC_PREV, b.prev);
    EnableControl(IDC_NEXT, b.next);
    EnableControl(IDC_PAUSE, false);
    EnableControl(IDC_PLAY, true);
  }
  EnableControl(IDC_START, true);
  EnableControl(IDC_PLAYER_SLIDER, count > 1);
  static_cast<wxSlider*>(FindWindow(IDC_PLAYER_SLIDER))->SetValue(i);
  runMode_ = RunMode::Paused;
}

void CPelorinDlg::OnPause(wxCommandEvent& /*event*/) {
  playback_->Pause();
  runMode_ = RunMode::Paused;
  EnableControl(IDC_PLAY, true);
  EnableControl(IDC_PAUSE, false);
  const StepButtons b = StepButtonsAt(recordings_.GetCurrentIndex(0), recordings_.GetFrameCount(0));
  EnableControl(IDC_PREV, b.prev);
  EnableControl(IDC_NEXT, b.next);
  CallAfter([this] {
    if (mapPage_ != nullptr) mapPage_->SetFocus();
  });
}

// --- Stepping --------------------------------------------------------------------------

void CPelorinDlg::OnPrev(wxCommandEvent& /*event*/) { ShowStep(playback_->Prev()); }

void CPelorinDlg::OnNext(wxCommandEvent& /*event*/) { ShowStep(playback_->Next()); }

void CPelorinDlg::ShowStep(std::optional<int32_t> shown) {
  // Nothing at either end: the buttons are disabled there.
  if (!shown) return;
  static_cast<wxSlider*>(FindWindow(IDC_PLAYER_SLIDER))->SetValue(*shown);
  SetStepButtons(*shown);
  ShowPlaybackStatistics(*shown);
  if (mapPage_ != nullptr) mapPage_->Refresh(false);
}

void CPelorinDlg::OnSliderDraw(wxCommandEvent& /*event*/) {
  if (recordings_.Count() == 0) return;
  const int32_t count = recordings_.GetFrameCount(0);
  auto* slider = static_cast<wxSlider*>(FindWindow(IDC_PLAYER_SLIDER));
  const int32_t p = slider->GetValue();
  if (!playback_->HasFrame(p)) {
    slider->SetValue(recordings_.GetCurrentIndex(0));
    return;
  }
  if (runMode_ == RunMode::Paused) ShowPlaybackFrame(p);
  if (p == count - 1 || p == 0 || playback_->Stopped()) SetStepButtons(p);
}

}  // namespace pelorin
