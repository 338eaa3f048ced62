// CPelorinDlg: the main window. It owns everything that lives for the run (models, tab
// pages, range table, settings store, fonts) and routes every control's events; the
// handlers of the view controls, the acquisition and the player join it in their own files.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <wx/dialog.h>
#include <wx/font.h>
#include <wx/notebook.h>
#include <wx/timer.h>

#include "app/child_layout.h"
#include "data/acquisition/acquisition_run.h"
#include "data/playback/playback_run.h"
#include "data/frame_model.h"
#include "data/recording/recording_set.h"
#include "data/settings_store.h"
#include "data/source_range_table.h"
#include "data/view_controls/run_mode.h"
#include "data/view_controls/source_controls.h"
#include "view/additional_dlg.h"
#include "view/desktop_window.h"
#include "view/map_view_state.h"
#include "view/mesh/map_mesh.h"

class wxButton;
class wxGUIEventLoop;
class wxCheckBox;
class wxChoice;
class wxHtmlHelpController;
class wxSlider;
class wxStaticText;

namespace pelorin {

class COpenGLControl;
class CShowDialog;
class CSNRDialog;
class InstantModel;
class AcquisitionWindowHost;
class MainWindowViewControls;
class ViewController;

// Values of the run that the window, the worker and the player all read.
struct ViewerState {
  int viewPoint = 0;      // 0 Default, 1 X-axis, 2 Y-axis, 3 Z-axis
  int drawStyle = 0;      // 0 Style1, 1 Style2
  int dumpType = 0;       // 0 "Pelorin", 1 "MATLAB"
  int dumpInterval = 1;   // record one frame in every N
  bool batchMode = false;
  int batchFrameLimit = 0;
  std::string batchName;
  float frameRate = 0.0f;
  float flatness = 0.0f;
  float standardDeviation = 0.0f;
};

class CPelorinDlg : public wxDialog {
 public:
  // Shows a modal message box; tests and batch runs put their own in its place.
  using MessageBoxFn = std::function<void(const wxString& text, const wxString& title)>;

  // Creates the window and the controls of template 102. `args` are the command-line
  // arguments after the program name, already checked by the application.
  explicit CPelorinDlg(wxWindow* parent, std::vector<std::string> args = {});
  ~CPelorinDlg() override;

  // The initialisation steps, run once when the window is about to show.
  bool OnInitDialog();
  // Runs the initialisation before the window first appears, so that GTK lays out and
  // paints the fitted controls only, never the raw template.
  bool Show(bool show = true) override;
  // The program's run of the window: shows it and runs its own event loop until the
  // window closes, as a modal run would, without making it a modal dialog.
  void RunMainWindow();
  // The frame the window manager puts around the window (0 without one), known from the
  // initialisation on, and the client size the screen fit chose.
  const FrameExtents& Frame() const { return frame_; }
  wxSize FittedClientSize() const { return fittedClient_; }

  // Status line and statistics fields.
  void ShowStatusMessage(int code, std::string_view argument = {});
  void UpdateStatistics(int frameCount, float frameRate, float average, int frameMax,
                        int overallMax, int frameMin, int overallMin);

  // The acquisition's Start and Stop actions.
  void StartAcquisition();
  void StopAcquisition();

  // View-point actions of the X-axis, Y-axis, Z-axis and Default buttons.
  void ApplyViewPoint(int viewPoint);

  // The view controls (pelorin_dlg_view_controls.cpp): their rules, which the sliders,
  // the keys and the wheel reach through.
  ViewController& ViewControls();
  // Asks the user for a source type in a source dialog (mode 0 first source, 1 second
  // source), preset with a type; nothing when the dialog is cancelled. Tests answer it
  // in place of the dialog.
  using SourceDialogFn = std::function<std::optional<int>(int mode, int presetType)>;
  void SetSourceDialogHandler(SourceDialogFn fn) { sourceDialog_ = std::move(fn); }
  // The 1st-Source and 2nd-Source actions.
  void ChooseSource(SourceSlot slot);
  // The map fills the screen: only the tab control stays; Leave brings back the window's
  // place, size, caption and every control.
  void EnterFullScreen();
  void LeaveFullScreen();
  bool FullScreen() const { return fullScreen_; }

  // Everything the window owns is released here; runs once, on the close request.
  void RunCloseSequence();

  // Acquisition (pelorin_dlg_acquisition.cpp): what the worker's reports do on the
  // window thread, and what the map and the tests read of a run.
  void ShowStatusText(const std::string& text);
  void ShowFrameReport(const FrameReport& report);
  void MoveRangeSliders(int maxPosition, int minPosition);
  void OnAcquisitionEnded();
  // The status line when a run has ended: where its recording went, if it wrote one.
  void ShowRunEndStatus();
  int AcquisitionGeneration() const { return acquisitionGeneration_; }
  // The run in progress or last run; none before the first Start.
  const AcquisitionRun* Acquisition() const { return acquisition_.get(); }
  int DeviceHandle() const { return deviceHandle_; }
  MapDataState& MapData() { return mapData_; }
  // Floats of the SNR plot sized at the last Start (0 unless model 0 held Diff data).
  size_t SnrPlotFloatCount() const { return snrPlotSize_.FloatCount(); }
  const std::shared_ptr<EdgeTrackers>& Edges() const { return edgeTrackers_; }
  // The device calls of Start and close; tests put their own in.
  void SetDeviceIo(DeviceIo io) { deviceIo_ = std::move(io); }

  void SetMessageBoxHandler(MessageBoxFn fn) { messageBox_ = std::move(fn); }
  // Opens the help book; false when no book could be found.
  bool ShowHelp();
  // The help controller once the help was opened; null before.
  wxHtmlHelpController* Help() const { return help_.get(); }
  void ShowAbout();
  // The entry the window offers where GTK has no system menu (a context menu).
  static wxString AboutEntryText();

  // Read access for the views and the tests.
  const std::vector<std::unique_ptr<PelorinModel>>& Models() const { return models_; }
  InstantModel* LiveModel(size_t index) const;
  const SourceRangeTable& SourceRanges() const { return sourceRanges_; }
  const ViewerState& State() const { return state_; }
  const std::vector<int>& ChildIds() const { return childIds_; }
  const ChildLayout& ChildLayoutTable() const { return childLayout_; }
  const wxFont& NormalFont() const { return normalFont_; }
  const wxFont& LargeFont() const { return largeFont_; }
  const std::string& SettingsPath() const { return settingsPath_; }
  bool HasSettingsStore() const { return settingsStore_ != nullptr; }
  bool DumpEnabled() const { return dumpEnabled_; }
  RunMode Mode() const { return runMode_; }
  bool AutoCenter() const { return autoCenter_; }
  int DisplayRangeShift() const { return displayRangeShift_; }
  bool Closed() const { return closed_; }
  CShowDialog* MapPage() const { return mapPage_; }
  CSNRDialog* SnrPage() const { return snrPage_; }
  wxNotebook* TabCtrl() const { return tabCtrl_; }
  const CAdditionalDlg& AuxDialog() const { return auxDialog_; }

  // The player (pelorin_dlg_player.cpp).
  // Asks for a recording to load, given the dialog's title and filter; nothing when the
  // user cancels. Tests answer it in place of the file dialog.
  using FileDialogFn =
      std::function<std::optional<std::string>(const wxString& title, const wxString& filter)>;
  // Loads a recording and shows its first frame; false (status line "can't load csv at
  // %s") leaves the recording, the controls and runMode as they were.
  bool LoadRecording(const std::string& path);
  // Stops a running playback and waits for its worker; the player controls then show the
  // stopped state.
  void StopPlayback();
  void SetFileDialogHandler(FileDialogFn fn) { fileDialog_ = std::move(fn); }
  // Time between two playback steps, for the next Play.
  void SetPlaybackStepTime(std::chrono::milliseconds step);
  // Called on the window thread with the index of each frame the player shows.
  void SetFrameShownHandler(std::function<void(int32_t)> fn) { frameShown_ = std::move(fn); }
  const RecordingSet& Recordings() const { return recordings_; }
  bool PlayerStopped() const;
  bool PlaybackThreadRunning() const;
  // The player's reports on the window thread (PlaybackWindowHost): a frame the worker
  // showed, and the stopped state once a run is over. DrawPlaybackFrame runs under the
  // playback lock, on the worker's thread during playback.
  void DrawPlaybackFrame(int32_t frameIndex);
  void ShowPlaybackStep(int32_t frameIndex);
  void FinishPlayback();

 private:
  void FitToScreen();
  // Once the window manager has mapped the window: the fitted client size and a place
  // wholly on the work area.
  void SettleOnScreen();
  void SettleLater();
  void LoadSettings();
  void SaveSettings();
  void ApplyCommandLine();
  void ShowMessageBox(const wxString& text, const wxString& title);
  void SelectPage(int selection);
  // Full screen: the tab control over the whole client area, the map over its page.
  void FillWithMap();

  void OnInitDialogEvent(wxInitDialogEvent& event);
  void OnPaint(wxPaintEvent& event);
  void OnSize(wxSizeEvent& event);
  void OnClose(wxCloseEvent& event);
  void OnTabChanged(wxBookCtrlEvent& event);
  void OnContextMenu(wxContextMenuEvent& event);
  void OnAboutCommand(wxCommandEvent& event);
  void OnHelp(wxHelpEvent& event);
  void OnHelpCommand(wxCommandEvent& event);
  void OnViewPointButton(wxCommandEvent& event);
  void OnDrawStyle(wxCommandEvent& event);

  void BindAcquisition();
  friend class MainWindowViewControls;
  std::vector<InstantModel*> LiveModels() const;
  // The map's live mesh: sized at Start, rebuilt by timer 1 from the frames published last.
  void SizeLiveMeshOnMap();
  void RebuildLiveMeshOnMap();
  // The 3-D map window on the map page; null before the page is made or without one.
  COpenGLControl* MapWindow() const;
  void OnAcquisitionTimer(wxTimerEvent& event);
  // Close steps for the worker: stop it and wait until it has left its frame cycle.
  void EndAcquisitionForClose();
  // Close step 8: the controller reports touches to the system again; the handle closes.
  void GiveDeviceBack();
  // Player handlers and steps (pelorin_dlg_player.cpp).
  void BindPlayerEvents();
  void OnLoad(wxCommandEvent& event);
  void OnDropFiles(wxDropFilesEvent& event);
  void OnPlay(wxCommandEvent& event);
  void OnPause(wxCommandEvent& event);
  void OnPrev(wxCommandEvent& event);
  void OnNext(wxCommandEvent& event);
  void OnSliderDraw(wxCommandEvent& event);
  void MakePlayer();
  // Prev and Next: slider, buttons and statistics of the frame the player stepped to.
  void ShowStep(std::optional<int32_t> shown);
  void ShowPlaybackFrame(int32_t frameIndex);
  void ShowPlaybackStatistics(int32_t frameIndex);
  void SetStepButtons(int32_t frameIndex);
  void EnableControl(int id, bool enable);
  void SizePlaybackMeshOnMap();
  void RebuildPlaybackMeshOnMap(int32_t frameIndex);
  static void ShowLoadProgress(void* context, int32_t frameIndex, int32_t frameCount);
  bool LoadRecordingNow(const std::string& path);
  // When the loading progress was last painted; loading runs on the window thread.
  std::chrono::steady_clock::time_point loadProgressPainted_{};
  // A close asked for while a load repaints its progress waits until the load is done.
  bool loading_ = false;
  bool closeAfterLoad_ = false;

  // Controls bound as members.
  wxNotebook* tabCtrl_ = nullptr;
  wxButton* stopButton_ = nullptr;
  wxChoice* chipSelect_ = nullptr;
  wxChoice* dumpType_ = nullptr;
  wxChoice* drawStyle_ = nullptr;
  wxSlider* maxSlider_ = nullptr;
  wxSlider* minSlider_ = nullptr;
  wxCheckBox* reverseCheck_ = nullptr;
  wxCheckBox* mouseZoomCheck_ = nullptr;
  wxCheckBox* hideButtonCheck_ = nullptr;
  wxCheckBox* autoCenterCheck_ = nullptr;

  CShowDialog* mapPage_ = nullptr;
  CSNRDialog* snrPage_ = nullptr;
  CAdditionalDlg auxDialog_;

  std::vector<std::unique_ptr<PelorinModel>> models_;
  SourceRangeTable sourceRanges_;
  std::string settingsPath_;
  std::unique_ptr<SettingsStore> settingsStore_;
  ViewerState state_;
  std::vector<std::string> args_;
  std::vector<int> childIds_;
  ChildLayout childLayout_;
  wxFont normalFont_;
  wxFont largeFont_;
  wxRect restoreRect_;
  FrameExtents frame_;
  wxSize fittedClient_;
  wxTimer settleTimer_;
  int settleTries_ = 0;
  wxGUIEventLoop* mainLoop_ = nullptr;  // the program's run of the window, while it lasts
  MessageBoxFn messageBox_;
  std::unique_ptr<wxHtmlHelpController> help_;

  static constexpr int kMapTimerId = 1;
  static constexpr int kSnrTimerId = 2;
  static constexpr int kSettleTimerId = 3;
  DeviceIo deviceIo_ = CorlinkDeviceIo();
  int deviceHandle_ = 0;
  int acquisitionGeneration_ = 0;
  std::shared_ptr<AcquisitionWindowHost> acquisitionHost_;
  std::unique_ptr<AcquisitionRun> acquisition_;
  std::shared_ptr<EdgeTrackers> edgeTrackers_;
  SnrPins snrPins_;
  wxTimer mapTimer_;
  wxTimer snrTimer_;
  MapDataState mapData_;
  SnrPlotSize snrPlotSize_;
  bool hideButtonLockedBeforeRun_ = false;

  RunMode runMode_ = RunMode::Idle;
  int displayRangeShift_ = 5;
  bool dumpEnabled_ = false;
  bool mapRefreshOff_ = false;
  bool snrRefreshOff_ = true;
  bool autoCenter_ = false;
  bool fullScreen_ = false;
  SourceDialogFn sourceDialog_;
  std::unique_ptr<MainWindowViewControls> viewControls_;
  bool initialised_ = false;
  bool dropDownsFitted_ = false;  // once, at the first show (see FitDropDownLists)
  bool closed_ = false;

  // The player: the recording and the run that plays it (its worker, pace and lock).
  RecordingSet recordings_;
  FileDialogFn fileDialog_;
  std::function<void(int32_t)> frameShown_;
  std::unique_ptr<PlaybackHost> playbackHost_;
  // Declared last: destroyed (and joined) before everything its worker reads.
  std::unique_ptr<PlaybackRun> playback_;

  wxDECLARE_EVENT_TABLE();
};

}  // namespace pelorin
