// The rules of the main window's view controls, without the window: the range sliders
// and their coupling, the key table's actions, the mouse wheel over the map. Beside the
// viewer session: the main window's controls implement ViewControlHost over the session
// (run mode, ranges, sources, Start and Stop) and the map page (orientation, camera, full
// screen) and route the keys, the wheel and the sliders here; everything the rules decide
// is tested headless.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "data/view_controls/range_sliders.h"
#include "data/view_controls/run_mode.h"
#include "data/view_controls/source_controls.h"
#include "view/key_table.h"
#include "view/map_camera.h"

namespace pelorin {

class ViewControlHost {
 public:
  virtual ~ViewControlHost() = default;

  virtual RunMode Mode() const = 0;

  // The range sliders' positions; ShowRange moves them and gives their values to the
  // labels ("Max:%d", "Min:%d"), every live model, the map and the first recorded
  // source.
  virtual RangeSliders Sliders() const = 0;
  virtual void ShowRange(const RangeSliders& sliders) = 0;
  // The mesh of what is on display, rebuilt with the new range while nothing else
  // rebuilds it: the live models when idle, the recording's current frame when paused.
  virtual void RebuildLiveMesh() = 0;
  virtual void RebuildPlaybackMesh() = 0;

  // The map's orientation and camera; no camera while the map window does not exist.
  virtual MapOrientation& Orientation() = 0;
  virtual MapCamera* Camera() = 0;
  // The view-point buttons' action (orientation preset, zoom reset, the process-wide
  // view point).
  virtual void ApplyViewPoint(int viewPoint) = 0;
  virtual void RefreshMap() = 0;

  // Actions the keys share with buttons.
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual void ChooseSource(SourceSlot slot) = 0;
  virtual void SetFirstSourceType(int32_t type) = 0;
  virtual bool FullScreen() const = 0;
  virtual void SetFullScreen(bool on) = 0;
};

// A key as the window saw it, with the modifiers held at that moment.
struct KeyPress {
  int virtualKey = 0;
  bool shift = false;
  bool ctrl = false;
  // A text edit has the focus: letters, digits and the space bar are typed into it.
  bool textEntryFocused = false;
};

// The largest total zoom the mouse wheel zooms in to.
inline constexpr float kWheelZoomInLimit = 1.4f;

class ViewController {
 public:
  explicit ViewController(ViewControlHost& host) : host_(host) {}

  // A range slider was moved to `position`: the other one is pushed away where needed,
  // the range is shown everywhere and, when nothing else will, the mesh is rebuilt.
  void OnRangeSlider(RangeEnd moved, int32_t position);
  // Both sliders set at once (the auto-centre of a live run).
  void OnRangeSliders(RangeSliders sliders);

  // True when the key was consumed (the map has been refreshed); false lets it take its
  // normal path to the focused control.
  bool OnKey(const KeyPress& key);

  // A wheel step; `pointInMap` is the cursor in the map window's pixels, none when the
  // cursor is elsewhere.
  void OnWheel(int delta, std::optional<std::pair<float, float>> pointInMap);

 private:
  void RunAction(const KeyBinding& binding);
  void ShowAndRebuild(const RangeSliders& sliders);

  ViewControlHost& host_;
};

}  // namespace pelorin
