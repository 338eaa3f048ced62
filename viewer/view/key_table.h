// The one table of keys the main window and the map window share: which key, with which
// modifiers, does what. The main window sees every key first and runs every action; the
// map window, on its own, runs the actions that need only the map's view (rotations,
// zoom steps, view presets). Both take them from here, so they never disagree.
#pragma once

#include <cstdint>
#include <span>

#include "view/map_camera.h"

namespace pelorin {

// Virtual-key numbers of the keys outside the map's own set (see vk in map_camera.h).
namespace vk {
inline constexpr int kSpace = 0x20, kDigit1 = 0x31, kDigit6 = 0x36, kLetterS = 0x53, kF2 = 0x71,
                     kF3 = 0x72;
}  // namespace vk

enum class KeyAction {
  None,          // consumed without effect
  StepRangeMax,  // argument: +1 / -1 slider position
  StepRangeMin,
  RotateX,  // argument: +1 / -1 degree, in the free views only
  RotateY,
  RotateZ,
  ZoomOut,      // in the free views, when zoomed in
  ZoomIn,       // in the free views, below zoomLimit
  ViewPreset,   // argument: the view point
  StartOrStop,  // Stop while live, Start when idle or paused
  ChooseFirstSource,
  ChooseSecondSource,
  FirstSourceType,  // argument: the source type; idle or paused only
  ToggleFullScreen,
};

// Which modifiers a binding asks for; the first binding of a key that matches wins.
enum class KeyModifiers { Any, Shift, NoShift, Ctrl, NoCtrl };

struct KeyBinding {
  int key = 0;
  KeyModifiers modifiers = KeyModifiers::Any;
  KeyAction action = KeyAction::None;
  int32_t argument = 0;
  float zoomLimit = 0.0f;  // ZoomIn only
};

std::span<const KeyBinding> KeyTable();

// The binding of a key pressed with these modifiers; null for a key the table does not
// hold (it takes its normal path).
const KeyBinding* FindKeyBinding(int virtualKey, bool shift, bool ctrl);

// Rotations, zoom steps and presets: what the map's own view can do.
bool IsMapViewAction(KeyAction action);

// Runs a map-view action on the orientation and the camera.
void ApplyMapViewAction(const KeyBinding& binding, MapOrientation& view, MapCamera& camera);

// The map window's keyboard: true when the key (pressed without modifiers) is in the
// table with a map-view action, which then ran, also when it had no effect in this view
// point; false passes the key on.
bool ApplyMapKey(int virtualKey, MapOrientation& view, MapCamera& camera);

}  // namespace pelorin
