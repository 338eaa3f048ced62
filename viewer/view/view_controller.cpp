#include "view/view_controller.h"

namespace pelorin {

namespace {

bool IsTypingKey(int virtualKey) {
  return virtualKey == vk::kSpace || (virtualKey >= '0' && virtualKey <= '9') ||
         (virtualKey >= 'A' && virtualKey <= 'Z');
}

}  // namespace

void ViewController::ShowAndRebuild(const RangeSliders& sliders) {
  host_.ShowRange(sliders);
  // While live or playing, the next timer tick or playback step rebuilds with the range.
  switch (host_.Mode()) {
    case RunMode::Idle: host_.RebuildLiveMesh(); break;
    case RunMode::Paused: host_.RebuildPlaybackMesh(); break;
    default: break;
  }
}

void ViewController::OnRangeSlider(RangeEnd moved, int32_t position) {
  RangeSliders s = host_.Sliders();
  (moved == RangeEnd::Max ? s.maxPosition : s.minPosition) = position;
  ShowAndRebuild(CoupleRangeSliders(s, moved));
}

void ViewController::OnRangeSliders(RangeSliders sliders) {
  ShowAndRebuild(CoupleRangeSliders(CoupleRangeSliders(sliders, RangeEnd::Max), RangeEnd::Min));
}

bool ViewController::OnKey(const KeyPress& key) {
  if (key.textEntryFocused && IsTypingKey(key.virtualKey)) return false;
  const KeyBinding* binding = FindKeyBinding(key.virtualKey, key.shift, key.ctrl);
  if (binding == nullptr) return false;
  RunAction(*binding);
  host_.RefreshMap();
  return true;
}

void ViewController::RunAction(const KeyBinding& b) {
  const RunMode mode = host_.Mode();
  switch (b.action) {
    case KeyAction::StepRangeMax:
      ShowAndRebuild(StepRangeSlider(host_.Sliders(), RangeEnd::Max, b.argument));
      break;
    case KeyAction::StepRangeMin:
      ShowAndRebuild(StepRangeSlider(host_.Sliders(), RangeEnd::Min, b.argument));
      break;
    case KeyAction::ViewPreset:
      // The buttons' action: the window's own view point follows the map's.
      host_.ApplyViewPoint(b.argument);
      break;
    case KeyAction::StartOrStop:
      if (mode == RunMode::Live) {
        host_.Stop();
      } else if (IsAtRest(mode)) {
        host_.Start();
      }
      break;
    case KeyAction::ChooseFirstSource:
    case KeyAction::ChooseSecondSource:
      // The live worker reads the models: their types and the second model stay while it
      // runs, as the disabled source buttons say.
      if (mode != RunMode::Live)
        host_.ChooseSource(b.action == KeyAction::ChooseFirstSource ? SourceSlot::First
                                                                    : SourceSlot::Second);
      break;
    case KeyAction::FirstSourceType:
      if (IsAtRest(mode)) host_.SetFirstSourceType(b.argument);
      break;
    case KeyAction::ToggleFullScreen: host_.SetFullScreen(!host_.FullScreen()); break;
    case KeyAction::None: break;
    default:
      if (IsMapViewAction(b.action)) {
        MapCamera* camera = host_.Camera();
        MapCamera none;  // without a map window nothing zooms
        ApplyMapViewAction(b, host_.Orientation(), camera != nullptr ? *camera : none);
      }
      break;
  }
}

void ViewController::OnWheel(int delta, std::optional<std::pair<float, float>> pointInMap) {
  MapCamera* camera = host_.Camera();
  if (pointInMap && camera != nullptr && delta != 0 && IsFreeView(host_.Orientation().viewPoint)) {
    const float scale = camera->TotalScale();
    if (delta < 0 && scale > 1.0f) {
      camera->RequestZoom(pointInMap->first, pointInMap->second, false);
    } else if (delta > 0 && scale < kWheelZoomInLimit) {
      camera->RequestZoom(pointInMap->first, pointInMap->second, true);
    }
  }
  host_.RefreshMap();
}

}  // namespace pelorin
