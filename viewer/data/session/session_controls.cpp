// The session's view controls: the two source buttons and the digit keys, the range
// sliders, the check boxes, the selectors and the filter dialog.
#include <cstdio>

#include "data/live_model.h"
#include "data/playback/source_kind.h"
#include "data/session/viewer_session.h"

namespace pelorin {

void ViewerSession::ChooseSource(SourceSlot slot) {
  // The live worker reads the models; their buttons are disabled while it runs.
  if (mode_ == RunMode::Live || models_.empty()) return;
  const bool first = slot == SourceSlot::First;
  const int32_t preset = first ? models_[0]->GetSourceType()
                               : (models_.size() > 1 ? models_[1]->GetSourceType() : kSourceNone);
  const std::optional<int32_t> chosen = view_.AskSourceType(first ? 0 : 1, preset);

  const SourceChange change = DecideSourceChange(slot, chosen, models_.size() > 1);
  using Kind = SourceChange::Kind;
  const Field caption = first ? Field::FirstSource : Field::SecondSource;
  switch (change.kind) {
    case Kind::Nothing: return;
    case Kind::SetFirst: {
      PelorinModel& model = *models_[0];
      model.SetSourceType(change.type);
      ApplySourceType(model, change.type, sourceRanges_);
      SetText(caption, SourceButtonCaption(slot, change.type));
      model.ClampRange();
      // The sliders take the type's range, and spread it as a user's move does.
      MoveSliders({MaxSliderPosition(model.GetRangeMax()), MinSliderPosition(model.GetRangeMin())});
      return;
    }
    case Kind::RemoveSecond: models_.erase(models_.begin() + 1); break;
    case Kind::CaptionOnly: break;
    case Kind::AddSecond:
      models_.push_back(std::make_unique<InstantModel>(deviceIo_));
      [[fallthrough]];
    case Kind::SetSecond:
      models_[1]->SetSourceType(change.type);
      ApplySourceType(*models_[1], change.type, sourceRanges_);
      break;
  }
  SetText(caption, SourceButtonCaption(slot, change.type));
}

void ViewerSession::SetFirstSourceType(int32_t type) {
  if (models_.empty()) return;
  PelorinModel& first = *models_[0];
  first.SetSourceType(type);
  ApplySourceType(first, type, sourceRanges_);
  SetText(Field::FirstSource, FirstSourceCaptionForName(first.GetName()));
  // As after the source dialog: what is drawn and what the sliders say never part.
  first.ClampRange();
  MoveSliders({MaxSliderPosition(first.GetRangeMax()), MinSliderPosition(first.GetRangeMin())});
}

void ViewerSession::MoveSliders(RangeSliders sliders) {
  ShowRange(CoupleRangeSliders(CoupleRangeSliders(sliders, RangeEnd::Max), RangeEnd::Min));
  // While live or playing, the next timer tick or playback step rebuilds with the range.
  if (mode_ == RunMode::Idle) RebuildLiveMesh();
  if (mode_ == RunMode::Paused) RebuildPlaybackMesh();
}

void ViewerSession::ShowRange(const RangeSliders& s) {
  sliders_ = s;
  SetValue(Value::MaxSlider, s.maxPosition);
  SetValue(Value::MinSlider, s.minPosition);
  const int32_t rangeMax = s.RangeMax();
  const int32_t rangeMin = s.RangeMin();
  char text[32];
  std::snprintf(text, sizeof text, "Max:%d", static_cast<int>(rangeMax));
  SetText(Field::MaxLabel, text);
  std::snprintf(text, sizeof text, "Min:%d", static_cast<int>(rangeMin));
  SetText(Field::MinLabel, text);
  for (const auto& m : models_) {
    m->SetRangeMax(rangeMax);
    m->SetRangeMin(rangeMin);
  }
  SetValue(Value::RangeMax, rangeMax);
  SetValue(Value::RangeMin, rangeMin);
  if (recordings_.Count() > 0) {
    recordings_.SetRangeMax(0, rangeMax);
    recordings_.SetRangeMin(0, rangeMin);
  }
  view_.UpdateMap(MapUpdate::Repaint);
}

void ViewerSession::RebuildLiveMesh() { view_.UpdateMap(MapUpdate::RebuildLive); }

void ViewerSession::RebuildPlaybackMesh() {
  // A paused player may still be finishing its last step.
  const int32_t position = ValueOf(Value::PlayerSlider);
  if (recordings_.Count() > 0) playback_.Locked([&] { view_.DrawRecordedFrame(position); });
  view_.UpdateMap(MapUpdate::Repaint);
}

void ViewerSession::SetCheck(Check check, bool checked) {
  InstantModel* live = LiveModel(0);
  switch (check) {
    case Check::Reverse:
      if (live) live->SetReverse(checked);
      break;
    case Check::TurnOver:
      if (live) live->SetTurnOver(checked);
      break;
    // Both take effect when the next acquisition lays out its frame.
    case Check::HideOverlap:
      if (live) live->SetHideOverlap(checked);
      break;
    case Check::HideButton:
      if (live) live->SetHideOn(checked);
      break;
    case Check::EnableFilter:
      if (!models_.empty()) models_[0]->SetFilterEnabled(checked);
      break;
    case Check::AutoCenter:
      settings_.autoCenter = checked;
      if (acquisition_) acquisition_->SetAutoCenter(checked);
      break;
    case Check::HideFirst: OnHideSource(0, checked); break;
    case Check::HideSecond: OnHideSource(1, checked); break;
    // The next Start records the run (every N-th frame, N from the settings).
    case Check::Dump: settings_.dumpEnabled = checked; break;
  }
}

void ViewerSession::OnHideSource(int index, bool hidden) {
  const bool visible = !hidden;
  if (recordings_.Count() > index) recordings_.SetVisible(index, visible);
  // The first source's live model follows in every state, the second only where the live
  // mesh is rebuilt for it.
  if (index == 0 && !models_.empty()) models_[0]->SetVisible(visible);
  if (SourcesShownIn(mode_) == SourceKind::Recorded) {
    // The player's worker rebuilds the recorded mesh under the same lock.
    const int32_t current = recordings_.Count() > 0 ? recordings_.GetCurrentIndex(0) : 0;
    playback_.Locked([&] {
      view_.UpdateMap(MapUpdate::SizePlayback);
      view_.DrawRecordedFrame(current);
    });
  } else {
    if (index >= static_cast<int>(models_.size())) return;
    if (index == 1) models_[1]->SetVisible(visible);
    view_.UpdateMap(MapUpdate::SizeLive);
    view_.UpdateMap(MapUpdate::RebuildLive);
  }
  view_.UpdateMap(MapUpdate::Repaint);
}

void ViewerSession::SelectChip(int item) {
  chipItem_ = item;
  if (InstantModel* first = LiveModel(0)) first->SetSelectedChip(ChipIndexForItem(item));
}

void ViewerSession::SelectDumpType(int item) { settings_.dumpType = item != 0 ? 1 : 0; }

void ViewerSession::SelectDrawStyle(int style) {
  // The legend follows at once; the mesh takes the style at its next build.
  settings_.drawStyle = style == 1 ? 1 : 0;
  SetValue(Value::DrawStyle, settings_.drawStyle);
}

void ViewerSession::SetViewPoint(int32_t viewPoint) {
  settings_.viewPoint = viewPoint >= 1 && viewPoint <= 3 ? viewPoint : 0;
  SetValue(Value::ViewPoint, settings_.viewPoint);
}

void ViewerSession::EditFilter() {
  // The live worker filters with the kernel; the button is disabled while it runs.
  if (mode_ == RunMode::Live || models_.empty()) return;
  PelorinModel& first = *models_[0];
  int32_t type = first.GetFilterType();
  FilterKernel kernel = first.Kernel();
  if (!view_.EditFilter(type, kernel)) return;
  first.Kernel() = kernel;
  first.SetFilterType(type);
}

}  // namespace pelorin
