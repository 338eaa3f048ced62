// What a viewer session asks of its window: show a text, enable a control, set a control's
// value, update the map and the SNR page, ask the user, run something later on the window
// thread, close. The session decides; the window only shows. A test puts a recording
// view in the window's place and drives the whole session without a display.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/acquisition/frame_figures.h"
#include "data/frame_model.h"
#include "data/snr/snr_evaluation.h"

namespace pelorin {

struct LiveFrame;
struct PanelNoiseReport;

// The controls whose enabled state the session decides.
enum class Control {
  Start,
  Stop,
  Load,
  Play,
  Pause,
  Prev,
  Next,
  PlayerSlider,
  Filter,
  Dump,
  FirstSource,
  SecondSource,
  ChipSelect,
  HideOverlap,
  HideButton,
};
inline constexpr int kControlCount = 15;

// The texts the session writes.
enum class Field {
  Status,
  Width,
  Height,
  FrameCount,
  FrameRate,
  Statistics,
  MaxLabel,
  MinLabel,
  FirstSource,
  SecondSource,
};
inline constexpr int kFieldCount = 10;

// Values the session sets on a control: slider positions, selections, check marks, and
// the view point the map takes.
enum class Value {
  MaxSlider,
  MinSlider,
  PlayerSlider,
  PlayerSliderEnd,  // the player slider's last position
  DrawStyle,
  DumpType,
  ViewPoint,
  Reverse,
  AutoCenter,
  HideButton,
  RangeMax,  // the map's colour range
  RangeMin,
};
inline constexpr int kValueCount = 12;

// What the map is to do. Live: the live models' mesh; Playback: the recorded sources'.
// Size lays the mesh out for the sources (the SNR plot with it), Rebuild fills it from
// the frames published last; Repaint draws what is there with the current view values.
enum class MapUpdate { SizeLive, RebuildLive, SizePlayback, Repaint };

// What the map shows of a run besides its mesh.
struct RunFigures {
  std::vector<std::string> sourceNames;  // filled at acquisition start
  bool showSD = false;                   // Base first source
  bool showFlatness = false;             // Cycle first source
  double standardDeviation = 0.0;
  double flatness = 0.0;
  // False while a live acquisition runs: the map shows its first pass only.
  bool showSecondPass = true;
};

// What Start reads from the window's edits: the chip order and the SNR page's pins.
struct StartInputs {
  std::string chipOrder;
  SnrPins pins;
};

// Where the keyboard goes after an action: the window, or the map page.
enum class FocusTarget { Window, Map };

class SessionView {
 public:
  virtual ~SessionView() = default;

  virtual void ShowText(Field field, const std::string& text) = 0;
  virtual void EnableControl(Control control, bool enable) = 0;
  virtual void ShowValue(Value value, int32_t v) = 0;
  // The figures the map prints at its next paint.
  virtual void ShowRunFigures(const RunFigures& figures) = 0;
  // The frame's "Max" and "Min" on the map.
  virtual void ShowFrameExtremes(int32_t frameMax, int32_t frameMin) = 0;
  virtual void UpdateMap(MapUpdate update) = 0;
  // Frame `frameIndex` of the visible recorded sources on the map, with its "Max" and
  // "Min". Called with the playback lock held, on the player's thread during playback.
  virtual void DrawRecordedFrame(int32_t frameIndex) = 0;
  // The SNR page: the plot of the current frame, and the evaluation at Stop.
  virtual void PlotSnr(const LiveFrame& frame, const SnrPins& pins, const EdgeBuffers& untouched,
                       const EdgeBuffers& touched) = 0;
  virtual void ShowSnrResults(const SnrResults& results, const PanelNoiseReport& noise) = 0;
  // The map and SNR refresh timers (200 ms and 400 ms) of a live run.
  virtual void RunRefreshTimers(bool on) = 0;

  virtual StartInputs ReadStartInputs() = 0;
  // The source dialog (mode 0 first source, 1 second), preset with a type; nothing when
  // cancelled.
  virtual std::optional<int32_t> AskSourceType(int mode, int32_t presetType) = 0;
  // The filter dialog on the first source's type and kernel; false when cancelled.
  virtual bool EditFilter(int32_t& filterType, FilterKernel& kernel) = 0;
  virtual void ShowMessage(const std::string& text, const std::string& title) = 0;

  // Any thread: runs `task` later on the window thread, never waiting for it.
  virtual void Post(std::function<void()> task) = 0;
  // Window thread, during a long load: lets the window repaint.
  virtual void Repaint() = 0;
  virtual void Focus(FocusTarget target) = 0;
  // The program's exit status, for an unattended run.
  virtual void SetExitStatus(int status, const std::string& message) = 0;
  // The window closes; its close runs the session's Close.
  virtual void RequestClose() = 0;
};

}  // namespace pelorin
