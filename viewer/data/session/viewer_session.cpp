// The session's start-up, its settings and command line, what it shows, and its close.
#include "data/session/viewer_session.h"

#include <cstdio>

#include "data/acquisition/acquisition_start.h"
#include "data/batch_args.h"
#include "data/live_model.h"
#include "data/settings_file.h"
#include "data/status_text.h"

namespace pelorin {

// The player's reports: the frame drawn under the lock, the rest on the window thread.
class ViewerSession::PlaybackReports : public PlaybackHost {
 public:
  explicit PlaybackReports(ViewerSession& session) : session_(session) {}
  void Post(std::function<void()> task) override { session_.view_.Post(std::move(task)); }
  void DrawFrame(int32_t frameIndex) override { session_.view_.DrawRecordedFrame(frameIndex); }
  void FrameShown(int32_t frameIndex) override {
    session_.SetValue(Value::PlayerSlider, frameIndex);
    session_.ShowPlaybackStatistics(frameIndex);
  }
  void PlaybackEnded() override { session_.FinishPlayback(); }

 private:
  ViewerSession& session_;
};

ViewerSession::ViewerSession(SessionView& view)
    : view_(view),
      playbackReports_(std::make_unique<PlaybackReports>(*this)),
      playback_(recordings_, *playbackReports_) {
  enabled_.fill(true);
  closeHandle_ = CloseDeviceHandle;
}

void ViewerSession::SetDeviceIo(DeviceIo io, std::function<void(int32_t)> closeHandle) {
  deviceIo_ = std::move(io);
  closeHandle_ = std::move(closeHandle);
}

ViewerSession::~ViewerSession() {
  // A session dropped without its close still never outlives its workers, and what its
  // worker posted and the window has not run yet finds no session.
  playback_.Stop();
  DetachAcquisitionReports();
  if (acquisition_) acquisition_->RequestStop();
}

InstantModel* ViewerSession::LiveModel(size_t index) const {
  return index < models_.size() ? dynamic_cast<InstantModel*>(models_[index].get()) : nullptr;
}

void ViewerSession::Enable(Control c, bool enable) {
  enabled_[static_cast<size_t>(c)] = enable;
  view_.EnableControl(c, enable);
}

void ViewerSession::SetText(Field f, const std::string& text) {
  texts_[static_cast<size_t>(f)] = text;
  view_.ShowText(f, text);
}

void ViewerSession::SetValue(Value v, int32_t value) {
  values_[static_cast<size_t>(v)] = value;
  view_.ShowValue(v, value);
}

void ViewerSession::ShowStatusMessage(int32_t code, const std::string& argument) {
  SetText(Field::Status, StatusMessageText(code, argument));
}

void ViewerSession::ShowStatusText(const std::string& text) { SetText(Field::Status, text); }

void ViewerSession::ShowStatistics(int32_t frameCount, float frameRate, float average,
                                   int32_t frameMax, int32_t overallMax, int32_t frameMin,
                                   int32_t overallMin) {
  const StatisticsTexts t =
      FormatStatistics(frameCount, frameRate, average, frameMax, overallMax, frameMin, overallMin);
  SetText(Field::FrameCount, t.frameCount);
  SetText(Field::FrameRate, t.frameRate);
  SetText(Field::Statistics, t.values);
}

void ViewerSession::Init(const std::vector<std::string>& args, const std::string& workDir) {
  workDir_ = workDir;
  for (Control c : {Control::Stop, Control::Play, Control::Pause, Control::Prev, Control::Next,
                    Control::PlayerSlider})
    Enable(c, false);
  SetValue(Value::DumpType, 0);
  SetValue(Value::DrawStyle, 0);
  sliders_ = RangeSliders{250, 0};
  SetValue(Value::MaxSlider, sliders_.maxPosition);
  SetValue(Value::MinSlider, sliders_.minPosition);

  models_.push_back(std::make_unique<InstantModel>(deviceIo_));
  LoadSettings(workDir);

  SetValue(Value::RangeMax, models_[0]->GetRangeMax());
  SetValue(Value::RangeMin, models_[0]->GetRangeMin());
  settings_.dumpEnabled = false;
  settings_.batchMode = false;
  mapRefreshOff_ = false;
  snrRefreshOff_ = true;
  mode_ = RunMode::Idle;
  settings_.flatness = 0.0f;
  settings_.standardDeviation = 0.0f;

  SetText(Field::FirstSource, FirstSourceCaptionForName(models_[0]->GetName()));
  SetText(Field::SecondSource, models_.size() > 1 ? "2st-Source\n" + models_[1]->GetName()
                                                  : std::string("2st-Source\nNone"));
  SetValue(Value::AutoCenter, settings_.autoCenter ? 1 : 0);
  // HIDE_SHOW locks the hidden lines on.
  if (InstantModel* live = LiveModel(0); live != nullptr && live->GetHideShow()) {
    SetValue(Value::HideButton, 1);
    live->SetHideOn(true);
    Enable(Control::HideButton, false);
  }

  ApplyCommandLine(args);
  if (settings_.batchMode) Start();
}

void ViewerSession::SlidersToRange(const PelorinModel& first) {
  sliders_ = {MaxSliderPosition(first.GetRangeMax()), MinSliderPosition(first.GetRangeMin())};
  SetValue(Value::MaxSlider, sliders_.maxPosition);
  SetValue(Value::MinSlider, sliders_.minPosition);
}

void ViewerSession::LoadSettings(const std::string& workDir) {
  settingsPath_ = SettingsPathIn(workDir);
  SettingsSnapshot s = pelorin::LoadSettings(settingsPath_);
  settingsStore_ = std::move(s.store);

  if (s.stage >= LoadStage::kRangesRead) sourceRanges_ = s.ranges;

  PelorinModel& first = *models_[0];
  if (s.stage >= LoadStage::kFirstSourceRead) {
    first.SetSourceType(s.sourceType);
    ApplySourceType(first, s.sourceType, sourceRanges_);
    InstantModel* live = LiveModel(0);
    if (live != nullptr) {
      live->SetHideSenseList(s.hideRx);
      live->SetHideDriveList(s.hideTx);
      live->SetHideChip(s.rxChipIndex);
      live->SetHideShow(s.hideShow);
      live->SetMaskOn(s.isMask);
      live->SetMaskSenseList(s.maskRx);
      live->SetMaskDriveList(s.maskTx);
      live->SetMaskPoints(s.maskPoint);
      live->SetMaskShow(s.maskShow);
    }
    first.Kernel() = s.kernel;
    first.SetFilterThreshold(s.filterThreshold);
    first.SetFilterType(s.filterType);
    first.ClampRange();
    SlidersToRange(first);
    if (live != nullptr) live->SetReverse(s.reverse);
    SetValue(Value::Reverse, s.reverse ? 1 : 0);
    if (live != nullptr) live->SetDiagDelay(s.diagDelay);
  }

  if (s.stage >= LoadStage::kAllRead) {
    if (s.secondSourceType >= kSourceLoop && s.secondSourceType <= kSourceDiff) {
      if (models_.size() < 2) models_.push_back(std::make_unique<InstantModel>(deviceIo_));
      models_[1]->SetSourceType(s.secondSourceType);
      ApplySourceType(*models_[1], s.secondSourceType, sourceRanges_);
    }
    settings_.drawStyle = s.drawStyle;
    SetValue(Value::DrawStyle, s.drawStyle);
    settings_.dumpType = s.dumpType;
    SetValue(Value::DumpType, s.dumpType);
    SetViewPoint(s.viewPoint);
    settings_.dumpInterval = s.dumpInterval;
    settings_.displayRangeShift = s.displayRangeShift;
    settings_.autoCenter = s.autoCenter;
  }

  if (s.statusCode >= 0) ShowStatusMessage(s.statusCode, s.statusArgument);
}

void ViewerSession::ApplyCommandLine(const std::vector<std::string>& args) {
  // The application refused bad arguments before the session exists.
  const BatchArguments batch = ParseBatchArguments(args);
  if (!batch.batch || !batch.error.empty()) return;
  settings_.dumpEnabled = true;
  settings_.batchMode = true;
  PelorinModel& first = *models_[0];
  if (batch.sourceType) {
    first.SetSourceType(*batch.sourceType);
    ApplySourceType(first, *batch.sourceType, sourceRanges_);
    first.ClampRange();
    SlidersToRange(first);
  }
  settings_.batchFrameLimit = batch.frameLimit;
  if (batch.name) settings_.batchName = BatchName(*batch.name, first.GetName());
}

void ViewerSession::SaveSettings() {
  if (!settingsStore_) return;
  SettingsToSave values;
  values.viewPoint = settings_.viewPoint;
  values.ranges = sourceRanges_;
  if (!models_.empty()) {
    const PelorinModel& first = *models_[0];
    const InstantModel* live = LiveModel(0);
    values.reverse = live != nullptr && live->GetReverse();
    values.sourceType = first.GetSourceType();
    values.kernel = first.Kernel();
    values.filterThreshold = first.GetFilterThreshold();
    values.filterType = first.GetFilterType();
  }
  values.secondSourceType = models_.size() > 1 ? models_[1]->GetSourceType() : 0;
  values.drawStyle = settings_.drawStyle;
  values.dumpType = settings_.dumpType;
  values.displayRangeShift = settings_.displayRangeShift;
  values.autoCenter = settings_.autoCenter;

  for (const std::string& title : WriteSettings(*settingsStore_, values))
    view_.ShowMessage(std::string(kSetConfigFailedText), title);
  // A file that cannot be written is reported by the store; the close goes on, so the
  // controller is still given back and the models released.
  settingsStore_->Save(settingsPath_);
  Release(settingsStore_);
}

bool ViewerSession::MayCloseNow() {
  if (!loading_) return true;
  closeAfterLoad_ = true;
  return false;
}

void ViewerSession::Close() {
  if (closed_) return;
  closed_ = true;
  mapRefreshOff_ = true;
  snrRefreshOff_ = true;
  playback_.Stop();
  // The models and the device stay until the worker has left its frame cycle.
  EndAcquisitionForClose();
  if (Enabled(Control::Stop)) Stop();

  if (!models_.empty()) {
    const int32_t type = models_[0]->GetSourceType();
    if (type >= kSourceLoop && type <= kSourceDiff)
      sourceRanges_.For(type) = RangePair{models_[0]->GetRangeMax(), models_[0]->GetRangeMin()};
  }
  SaveSettings();
  GiveDeviceBack();
  edges_.reset();
  models_.clear();
}

}  // namespace pelorin
