// The session's player: loading a recording, Play, Pause, Prev, Next and the slider. The
// worker and the playback lock live in PlaybackRun; the recording never changes under a
// running worker (a load stops and joins it first).
#include <algorithm>
#include <cstdio>

#include "data/playback/player_buttons.h"
#include "data/recording/load_recording.h"
#include "data/session/status_line.h"
#include "data/session/viewer_session.h"
#include "data/status_text.h"

namespace pelorin {

bool ViewerSession::Load(const std::string& path) {
  loading_ = true;
  const bool loaded = LoadNow(path);
  loading_ = false;
  if (closeAfterLoad_) view_.Post([&view = view_] { view.RequestClose(); });
  return loaded;
}

void ViewerSession::OnLoadProgress(void* context, int32_t frameIndex, int32_t frameCount) {
  auto* session = static_cast<ViewerSession*>(context);
  session->ShowStatusMessage(kStatusLoading, LoadProgressArgument(frameIndex, frameCount));
  // Loading runs on the window thread, so nothing would be painted until it ends: a few
  // times a second the window gets to repaint.
  const auto now = std::chrono::steady_clock::now();
  if (now - session->loadProgressPainted_ < std::chrono::milliseconds(100)) return;
  session->loadProgressPainted_ = now;
  session->view_.Repaint();
}

bool ViewerSession::LoadNow(const std::string& path) {
  playback_.Stop();
  RangePair liveRange{};
  if (!models_.empty()) liveRange = RangePair{models_[0]->GetRangeMax(), models_[0]->GetRangeMin()};
  // Loaded aside: the recording on screen stays until the new one is complete. A file
  // without any frame has nothing to show and is refused like a broken one.
  RecordingSet fresh;
  const bool read = LoadRecordingData(fresh, path, liveRange, this, &ViewerSession::OnLoadProgress);
  if (!read || fresh.Count() == 0 || fresh.GetFrameCount(0) == 0) {
    const std::string why = !read ? fresh.LastError() : std::string("it holds no frame");
    ShowStatusText(LoadFailedText(path, why));
    return false;
  }
  playback_.Replace(fresh);

  const int32_t count = recordings_.GetFrameCount(0);
  Enable(Control::Pause, false);
  Enable(Control::Prev, false);
  Enable(Control::Next, count > 1);
  Enable(Control::Play, true);
  // A slider of a single position cannot be shown; a one-frame file has nowhere to go.
  Enable(Control::PlayerSlider, count > 1);

  view_.UpdateMap(MapUpdate::SizePlayback);
  SetValue(Value::PlayerSliderEnd, std::max(count - 1, 1));
  SetValue(Value::PlayerSlider, recordings_.GetCurrentIndex(0));
  ShowPlaybackFrame(0);

  char text[32];
  std::snprintf(text, sizeof text, "Width : %d", static_cast<int>(recordings_.GetWidth(0)));
  SetText(Field::Width, text);
  std::snprintf(text, sizeof text, "Height : %d", static_cast<int>(recordings_.GetHeight(0)));
  SetText(Field::Height, text);

  mode_ = RunMode::Paused;
  // The last progress text ("loading 263 / 263") gives way to what was loaded.
  ShowStatusText(LoadedText(path, count));
  return true;
}

void ViewerSession::ShowPlaybackStatistics(int32_t i) {
  // The map's own "Max" and "Min" follow the frame with its mesh (DrawRecordedFrame).
  ShowStatistics(i, 0.0f, recordings_.FrameAverage(0, i), recordings_.FrameMax(0, i),
                 recordings_.GetMaxValue(0), recordings_.FrameMin(0, i),
                 recordings_.GetMinValue(0));
  if (frameShown_) frameShown_(i);
}

void ViewerSession::ShowPlaybackFrame(int32_t i) {
  playback_.ShowFrame(i);
  ShowPlaybackStatistics(i);
}

void ViewerSession::SetStepButtons(int32_t i) {
  const StepButtons b = StepButtonsAt(i, recordings_.GetFrameCount(0));
  Enable(Control::Prev, b.prev);
  Enable(Control::Next, b.next);
  Enable(Control::Play, b.play);
}

void ViewerSession::Play() {
  if (recordings_.Count() == 0 || mode_ == RunMode::Playing) return;
  for (Control c :
       {Control::Prev, Control::Next, Control::Play, Control::PlayerSlider, Control::Start})
    Enable(c, false);
  Enable(Control::Pause, true);
  mode_ = RunMode::Playing;
  playback_.Play();
  view_.Focus(FocusTarget::Map);
}

void ViewerSession::FinishPlayback() {
  const int32_t count = recordings_.GetFrameCount(0);
  const int32_t i = recordings_.GetCurrentIndex(0);
  if (i == count - 1) {
    Enable(Control::Prev, count > 1);
    for (Control c : {Control::Next, Control::Pause, Control::Play}) Enable(c, false);
  } else {
    // Paused: a step that was under way when Pause came may have moved on since.
    const StepButtons b = StepButtonsAt(i, count);
    Enable(Control::Prev, b.prev);
    Enable(Control::Next, b.next);
    Enable(Control::Pause, false);
    Enable(Control::Play, true);
  }
  Enable(Control::Start, true);
  Enable(Control::PlayerSlider, count > 1);
  SetValue(Value::PlayerSlider, i);
  mode_ = RunMode::Paused;
}

void ViewerSession::Pause() {
  playback_.Pause();
  mode_ = RunMode::Paused;
  Enable(Control::Play, true);
  Enable(Control::Pause, false);
  if (recordings_.Count() > 0) {
    const StepButtons b =
        StepButtonsAt(recordings_.GetCurrentIndex(0), recordings_.GetFrameCount(0));
    Enable(Control::Prev, b.prev);
    Enable(Control::Next, b.next);
  }
  view_.Focus(FocusTarget::Map);
}

void ViewerSession::Prev() {
  if (recordings_.Count() == 0) return;
  const int32_t current = recordings_.GetCurrentIndex(0);
  if (current <= 0) return;  // the button is disabled at the first frame
  SetValue(Value::PlayerSlider, current - 1);
  SetStepButtons(current - 1);
  ShowPlaybackFrame(current - 1);
  view_.UpdateMap(MapUpdate::Repaint);
}

void ViewerSession::Next() {
  if (recordings_.Count() == 0) return;
  const int32_t current = recordings_.GetCurrentIndex(0);
  if (current >= recordings_.GetFrameCount(0) - 1) return;  // disabled at the last frame
  SetValue(Value::PlayerSlider, current + 1);
  SetStepButtons(current + 1);
  ShowPlaybackFrame(current + 1);
  view_.UpdateMap(MapUpdate::Repaint);
}

void ViewerSession::Seek(int32_t p) {
  if (recordings_.Count() == 0) return;
  const int32_t count = recordings_.GetFrameCount(0);
  if (p < 0 || p >= count) {
    SetValue(Value::PlayerSlider, recordings_.GetCurrentIndex(0));
    return;
  }
  values_[static_cast<size_t>(Value::PlayerSlider)] = p;  // the slider shows it already
  if (mode_ == RunMode::Paused) ShowPlaybackFrame(p);
  if (p == count - 1 || p == 0 || playback_.Stopped()) SetStepButtons(p);
}

}  // namespace pelorin
