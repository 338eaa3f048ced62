// ViewerSession: the viewer's work without a window. It owns the models, the range table,
// the settings, the loaded recording, the run mode, the live acquisition and the player,
// and offers what the window's controls trigger (Start, Stop, Load, Play, Pause, Prev,
// Next, seek, sources, ranges, check boxes, close). It tells the window what to show
// through a SessionView, and keeps what it told it (texts, enabled controls, values), so
// a test reads the window's state from the session alone.
//
// Threads: every method runs on the window thread. The acquisition worker and the player
// report through hosts that post to the window thread (SessionView::Post); reports of a
// run that is no longer the current one are dropped there.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/acquisition/acquisition_run.h"
#include "data/device_io.h"
#include "data/frame_model.h"
#include "data/playback/playback_run.h"
#include "data/recording/recording_set.h"
#include "data/session/session_view.h"
#include "data/settings_store.h"
#include "data/source_range_table.h"
#include "data/view_controls/range_sliders.h"
#include "data/view_controls/run_mode.h"
#include "data/view_controls/source_controls.h"

namespace pelorin {

class InstantModel;

// The values of the run the settings file and the command line give, and the figures
// of the last live frame.
struct SessionSettings {
  int32_t viewPoint = 0;     // 0 Default, 1 X-axis, 2 Y-axis, 3 Z-axis
  int32_t drawStyle = 0;     // 0 Style1, 1 Style2
  int32_t dumpType = 0;      // 0 "Pelorin", 1 "MATLAB"
  int32_t dumpInterval = 1;  // record one frame in every N
  int32_t displayRangeShift = 5;
  bool autoCenter = false;
  bool dumpEnabled = false;  // the next Start records its run
  bool batchMode = false;
  int32_t batchFrameLimit = 0;
  std::string batchName;
  float frameRate = 0.0f;
  float flatness = 0.0f;
  float standardDeviation = 0.0f;
};

// The check boxes whose state the session keeps or gives to the models.
enum class Check {
  Reverse,
  TurnOver,
  HideOverlap,
  HideButton,
  EnableFilter,
  AutoCenter,
  HideFirst,
  HideSecond,
  Dump,
};

class ViewerSession {
 public:
  explicit ViewerSession(SessionView& view);
  ~ViewerSession();
  ViewerSession(const ViewerSession&) = delete;
  ViewerSession& operator=(const ViewerSession&) = delete;

  // The start-up: the first model, the settings file in workDir, the command line (the
  // arguments after the program name, already checked); a batch run starts at once.
  void Init(const std::vector<std::string>& args, const std::string& workDir);

  // Live acquisition (session_acquisition.cpp).
  void Start();
  void Stop();
  // The refresh timers' ticks of a live run.
  void OnMapTimer();
  void OnSnrTimer();

  // The player (session_player.cpp). Load: false (status line "can't load csv at ...")
  // leaves the recording, the controls and the run mode as they were.
  bool Load(const std::string& path);
  void Play();
  void Pause();
  void Prev();
  void Next();
  // The player slider moved to `position`.
  void Seek(int32_t position);

  // Sources, ranges and check boxes (session_controls.cpp).
  void ChooseSource(SourceSlot slot);
  void SetFirstSourceType(int32_t type);
  RangeSliders Sliders() const { return sliders_; }
  // The range shown on the sliders, their labels, every model, the map and the first
  // recorded source.
  void ShowRange(const RangeSliders& sliders);
  // The mesh on display rebuilt for a new range: the live models' or the recorded frame's.
  void RebuildLiveMesh();
  void RebuildPlaybackMesh();
  void SetCheck(Check check, bool checked);
  void SelectChip(int item);
  void SelectDumpType(int item);
  void SelectDrawStyle(int style);
  void SetViewPoint(int32_t viewPoint);
  void EditFilter();

  // The close: false while a load runs (the close follows the load). Close releases
  // everything, once: player and worker stopped, settings written, device given back.
  bool MayCloseNow();
  void Close();

  // Status line and statistics fields.
  void ShowStatusMessage(int32_t code, const std::string& argument = {});
  void ShowStatusText(const std::string& text);
  void ShowStatistics(int32_t frameCount, float frameRate, float average, int32_t frameMax,
                      int32_t overallMax, int32_t frameMin, int32_t overallMin);

  // What the window shows, as the session last told it.
  bool Enabled(Control c) const { return enabled_[static_cast<size_t>(c)]; }
  const std::string& Text(Field f) const { return texts_[static_cast<size_t>(f)]; }
  int32_t ValueOf(Value v) const { return values_[static_cast<size_t>(v)]; }
  const RunFigures& Figures() const { return figures_; }

  // Read access for the window and the tests.
  const std::vector<std::unique_ptr<PelorinModel>>& Models() const { return models_; }
  InstantModel* LiveModel(size_t index) const;
  const SourceRangeTable& SourceRanges() const { return sourceRanges_; }
  const SessionSettings& Settings() const { return settings_; }
  RunMode Mode() const { return mode_; }
  const RecordingSet& Recordings() const { return recordings_; }
  const std::string& SettingsPath() const { return settingsPath_; }
  bool HasSettingsStore() const { return settingsStore_ != nullptr; }
  bool Closed() const { return closed_; }
  // The run in progress or the last one; none before the first Start.
  const AcquisitionRun* Acquisition() const { return acquisition_.get(); }
  int32_t DeviceHandle() const { return deviceHandle_; }
  const std::shared_ptr<EdgeTrackers>& Edges() const { return edges_; }
  bool PlayerStopped() const { return playback_.Stopped(); }
  bool PlaybackThreadRunning() const { return playback_.ThreadRunning(); }

  // What tests and the program put in: the device calls (before Init: the models take
  // them when they are made) and how a handle is closed, the player's pace, a watcher of
  // every frame the player shows, the interrupt signal of a batch run (0: none).
  void SetDeviceIo(DeviceIo io, std::function<void(int32_t)> closeHandle);
  void SetPlaybackStepTime(std::chrono::milliseconds step) { playback_.SetStepTime(step); }
  void SetFrameShownHandler(std::function<void(int32_t)> fn) { frameShown_ = std::move(fn); }
  void SetStopSignal(std::function<int()> fn) { stopSignal_ = std::move(fn); }

 private:
  class AcquisitionReports;
  class PlaybackReports;

  void Enable(Control c, bool enable);
  void SetText(Field f, const std::string& text);
  void SetValue(Value v, int32_t value);
  void LoadSettings(const std::string& workDir);
  void SaveSettings();
  void ApplyCommandLine(const std::vector<std::string>& args);
  // The sliders take the first model's range; their coupling, the range everywhere and
  // the mesh follow as after a user's move.
  void SlidersToRange(const PelorinModel& first);
  void MoveSliders(RangeSliders sliders);

  // Acquisition steps.
  std::vector<InstantModel*> LiveModels() const;
  void OnRunStopped(const std::string& cause);
  void OnFrame(const FrameReport& report);
  void OnAcquisitionEnded();
  void EndAcquisitionForClose();
  void DetachAcquisitionReports();
  void GiveDeviceBack();
  void EvaluateSnr();

  // Player steps.
  bool LoadNow(const std::string& path);
  static void OnLoadProgress(void* context, int32_t frameIndex, int32_t frameCount);
  void ShowPlaybackFrame(int32_t frameIndex);
  void ShowPlaybackStatistics(int32_t frameIndex);
  void SetStepButtons(int32_t frameIndex);
  void FinishPlayback();
  void OnHideSource(int index, bool hidden);

  SessionView& view_;
  std::array<bool, kControlCount> enabled_{};
  std::array<std::string, kFieldCount> texts_{};
  std::array<int32_t, kValueCount> values_{};
  RunFigures figures_;
  RangeSliders sliders_;

  std::vector<std::unique_ptr<PelorinModel>> models_;
  SourceRangeTable sourceRanges_;
  SessionSettings settings_;
  std::string workDir_;
  std::string settingsPath_;
  std::unique_ptr<SettingsStore> settingsStore_;
  RunMode mode_ = RunMode::Idle;
  bool closed_ = false;
  std::function<int()> stopSignal_;

  DeviceIo deviceIo_ = CorlinkDeviceIo();
  std::function<void(int32_t)> closeHandle_;
  int32_t deviceHandle_ = 0;
  int32_t generation_ = 0;  // of the current acquisition; older reports are dropped
  std::shared_ptr<AcquisitionReports> acquisitionReports_;
  std::unique_ptr<AcquisitionRun> acquisition_;
  std::shared_ptr<EdgeTrackers> edges_;
  SnrPins pins_;
  int chipItem_ = 0;  // the chip selector's item
  bool hideButtonLockedBeforeRun_ = false;
  bool mapRefreshOff_ = false;
  bool snrRefreshOff_ = true;

  // A close asked for while a load runs waits for the load; the load lets the window
  // repaint a few times a second.
  bool loading_ = false;
  bool closeAfterLoad_ = false;
  std::chrono::steady_clock::time_point loadProgressPainted_{};
  std::function<void(int32_t)> frameShown_;
  // Declared last: the player's worker reads the recording and reports to the session.
  RecordingSet recordings_;
  std::unique_ptr<PlaybackReports> playbackReports_;
  PlaybackRun playback_;
};

}  // namespace pelorin
