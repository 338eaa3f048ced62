// The 3-D map's state outside its mesh: how it is seen (MapViewState) and what it shows
// of the run besides the mesh (MapDataState). Headless. Each exists once: the map page
// owns the view, the main window the data, and the map window draws from references to
// both, so what the view controls write is what the map draws.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "view/map_camera.h"
#include "view/mesh/draw_style.h"

namespace pelorin {

// The orientation (rotations and view point, written by the view-point buttons, the
// keys and the right-button drag), the draw style and the display range. Everything
// here is written on the window thread. The draw style and the range are also read by
// the playback thread when it rebuilds the mesh, hence atomic.
struct MapViewState : MapOrientation {
  std::atomic<int> drawStyle{0};  // 0 Style1, 1 Style2
  // The colour ramp's and the legend's range; the callers keep rangeMax - rangeMin >= 25.
  std::atomic<int32_t> rangeMax{250};
  std::atomic<int32_t> rangeMin{0};
  double angleX = 0.0;
  double angleY = 0.0;
  double scaleFactor = 1.0;

  DrawStyle Style() const { return drawStyle.load() == 1 ? DrawStyle::Style2 : DrawStyle::Style1; }
};

// Written on the window thread only (the acquisition worker queues its updates to the
// window thread); the map window reads it at every paint. What belongs to the frame on
// display (its average, its largest and smallest cell) is kept with the mesh, which the
// playback thread also writes.
struct MapDataState {
  // One model name per source, filled at acquisition start; the map lists them as
  // "Load type:" when there are two or more.
  std::vector<std::string> sourceNames;
  // Which statistic the map prints, chosen at acquisition start: the standard deviation
  // for a Base first source, the flatness for a Cycle first source, else none.
  bool showSD = false;
  bool showFlatness = false;
  double standardDeviation = 0.0;  // "SD:%.3f"
  double flatness = 0.0;           // "Flatness:%.3f"
  // False while a live acquisition runs: the map then shows its first pass only (the
  // surface hides the lines behind it); true again when the acquisition ends.
  bool showSecondPass = true;
};

}  // namespace pelorin
