#include "view/key_table.h"

#include <array>

namespace pelorin {

namespace {

using A = KeyAction;
using M = KeyModifiers;

// The keyboard zooms in to 1.5 with the letter I; the map's own zoom key and the wheel
// stop at 1.4, where the zoom indicator ends.
constexpr float kLetterZoomInLimit = 1.5f;

constexpr std::array kTable{
    KeyBinding{vk::kUp, M::Shift, A::StepRangeMax, +1},
    KeyBinding{vk::kUp, M::NoShift, A::RotateX, +1},
    KeyBinding{vk::kDown, M::Shift, A::StepRangeMax, -1},
    KeyBinding{vk::kDown, M::NoShift, A::RotateX, -1},
    KeyBinding{vk::kLeft, M::Shift, A::StepRangeMin, -1},
    KeyBinding{vk::kLeft, M::NoShift, A::RotateY, -1},
    KeyBinding{vk::kRight, M::Shift, A::StepRangeMin, +1},
    KeyBinding{vk::kRight, M::NoShift, A::RotateY, +1},
    KeyBinding{vk::kPrior, M::Any, A::RotateZ, +1},
    KeyBinding{vk::kNext, M::Any, A::RotateZ, -1},
    KeyBinding{vk::kLetterO, M::Any, A::ZoomOut},
    KeyBinding{vk::kDivide, M::Any, A::ZoomOut},
    KeyBinding{vk::kLetterI, M::Any, A::ZoomIn, 0, kLetterZoomInLimit},
    KeyBinding{vk::kNumpad9, M::Any, A::ZoomIn, 0, kMapZoomInLimit},
    KeyBinding{vk::kLetterD, M::Any, A::ViewPreset, 0},
    KeyBinding{vk::kNumpad4, M::Any, A::ViewPreset, 0},
    KeyBinding{vk::kLetterX, M::Any, A::ViewPreset, 1},
    KeyBinding{vk::kF9, M::Any, A::ViewPreset, 1},
    KeyBinding{vk::kLetterY, M::Any, A::ViewPreset, 2},
    KeyBinding{vk::kF10, M::Any, A::ViewPreset, 2},
    KeyBinding{vk::kLetterZ, M::Any, A::ViewPreset, 3},
    KeyBinding{vk::kF11, M::Any, A::ViewPreset, 3},
    KeyBinding{vk::kLetterS, M::Any, A::StartOrStop},
    KeyBinding{vk::kF2, M::Ctrl, A::ChooseFirstSource},
    KeyBinding{vk::kF2, M::NoCtrl, A::None},
    KeyBinding{vk::kF3, M::Ctrl, A::ChooseSecondSource},
    KeyBinding{vk::kF3, M::NoCtrl, A::None},
    KeyBinding{vk::kDigit1, M::Any, A::FirstSourceType, 1},
    KeyBinding{vk::kDigit1 + 1, M::Any, A::FirstSourceType, 2},
    KeyBinding{vk::kDigit1 + 2, M::Any, A::FirstSourceType, 3},
    KeyBinding{vk::kDigit1 + 3, M::Any, A::FirstSourceType, 4},
    KeyBinding{vk::kDigit1 + 4, M::Any, A::FirstSourceType, 5},
    KeyBinding{vk::kDigit6, M::Any, A::FirstSourceType, 6},
    KeyBinding{vk::kSpace, M::Any, A::ToggleFullScreen},
};

bool Matches(KeyModifiers m, bool shift, bool ctrl) {
  switch (m) {
    case M::Any: return true;
    case M::Shift: return shift;
    case M::NoShift: return !shift;
    case M::Ctrl: return ctrl;
    case M::NoCtrl: return !ctrl;
  }
  return false;
}

void Up(double& angle) {
  angle += 1.0;
  if (angle >= 360.0) angle -= 360.0;
}

void Down(double& angle) {
  if (angle <= 0.0) angle += 360.0;
  angle -= 1.0;
}

void Turn(double& angle, int32_t step) { step > 0 ? Up(angle) : Down(angle); }

}  // namespace

std::span<const KeyBinding> KeyTable() { return kTable; }

const KeyBinding* FindKeyBinding(int virtualKey, bool shift, bool ctrl) {
  for (const KeyBinding& b : kTable) {
    if (b.key == virtualKey && Matches(b.modifiers, shift, ctrl)) return &b;
  }
  return nullptr;
}

bool IsMapViewAction(KeyAction action) {
  switch (action) {
    case A::RotateX:
    case A::RotateY:
    case A::RotateZ:
    case A::ZoomOut:
    case A::ZoomIn:
    case A::ViewPreset: return true;
    default: return false;
  }
}

void ApplyMapViewAction(const KeyBinding& b, MapOrientation& view, MapCamera& camera) {
  const bool free = IsFreeView(view.viewPoint);
  switch (b.action) {
    case A::RotateX:
      if (free) Turn(view.rotX, b.argument);
      break;
    case A::RotateY:
      if (free) Turn(view.rotY, b.argument);
      break;
    case A::RotateZ:
      if (free) Turn(view.rotZ, b.argument);
      break;
    case A::ZoomOut:
      if (free && camera.TotalScale() > 1.0f)
        camera.RequestZoom(kKeyboardZoomPoint, kKeyboardZoomPoint, false);
      break;
    case A::ZoomIn:
      if (free && camera.TotalScale() < b.zoomLimit)
        camera.RequestZoom(kKeyboardZoomPoint, kKeyboardZoomPoint, true);
      break;
    case A::ViewPreset:
      view = PresetOrientation(static_cast<ViewPoint>(b.argument));
      camera.ResetView();
      break;
    default: break;
  }
}

bool ApplyMapKey(int virtualKey, MapOrientation& view, MapCamera& camera) {
  const KeyBinding* b = FindKeyBinding(virtualKey, false, false);
  if (b == nullptr || !IsMapViewAction(b->action)) return false;
  ApplyMapViewAction(*b, view, camera);
  return true;
}

}  // namespace pelorin
