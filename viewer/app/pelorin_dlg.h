// CPelorinDlg: the main window. It builds the controls of template 102, owns the tab
// pages, the map and SNR windows and their refresh timers, routes every control's event
// to the viewer session in a line or a few, and shows what the session tells it
// (SessionView). The session holds the models, the recording, the runs and their rules.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <wx/dialog.h>
#include <wx/notebook.h>
#include <wx/timer.h>

#include "data/session/session_view.h"
#include "view/additional_dlg.h"
#include "view/map_view_state.h"
#include "view/mesh/map_mesh.h"

class wxGUIEventLoop;
class wxHtmlHelpController;

namespace pelorin {

class COpenGLControl;
class CShowDialog;
class CSNRDialog;
class MainWindowControls;
class ViewController;
class ViewerSession;
class WindowPlacement;

// What tests and batch runs answer in place of the window's modal dialogs; an empty one
// shows the dialog.
struct DialogAnswers {
  std::function<void(const wxString& text, const wxString& title)> messageBox;
  // The source dialog (mode 0 first source, 1 second), preset with a type; nothing when
  // cancelled.
  std::function<std::optional<int>(int mode, int presetType)> sourceDialog;
  // The Load dialog, given its title and filter; nothing when cancelled.
  std::function<std::optional<std::string>(const wxString& title, const wxString& filter)>
      fileDialog;
};

class CPelorinDlg : public wxDialog, public SessionView {
 public:
  // `args` are the command-line arguments after the program name, already checked by the
  // application.
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

  ViewerSession& Session() { return *session_; }
  const ViewerSession& Session() const { return *session_; }
  ViewController& ViewControls();
  WindowPlacement& Placement() { return *placement_; }
  const WindowPlacement& Placement() const { return *placement_; }
  DialogAnswers& Answers() { return answers_; }

  // Opens the help book; false when no book could be found.
  bool ShowHelp();
  // The help controller once the help was opened; null before.
  wxHtmlHelpController* Help() const { return help_.get(); }
  void ShowAbout();
  // The entry the window offers where GTK has no system menu (a context menu).
  static wxString AboutEntryText();

  CShowDialog* MapPage() const { return mapPage_; }
  CSNRDialog* SnrPage() const { return snrPage_; }
  wxNotebook* TabCtrl() const { return tabCtrl_; }
  const CAdditionalDlg& AuxDialog() const { return auxDialog_; }
  MapDataState& MapData() { return mapData_; }
  // The 3-D map window on the map page; null before the page is made or without one.
  COpenGLControl* MapWindow() const;
  // Floats of the SNR plot sized at the last Start (0 unless model 0 held Diff data).
  size_t SnrPlotFloatCount() const { return snrPlotSize_.FloatCount(); }

  // SessionView (pelorin_dlg_view.cpp).
  void ShowText(Field field, const std::string& text) override;
  void EnableControl(Control control, bool enable) override;
  void ShowValue(Value value, int32_t v) override;
  void ShowRunFigures(const RunFigures& figures) override;
  void ShowFrameExtremes(int32_t frameMax, int32_t frameMin) override;
  void UpdateMap(MapUpdate update) override;
  void DrawRecordedFrame(int32_t frameIndex) override;
  void PlotSnr(const LiveFrame& frame, const SnrPins& pins, const EdgeBuffers& untouched,
               const EdgeBuffers& touched) override;
  void ShowSnrResults(const SnrResults& results, const PanelNoiseReport& noise) override;
  void RunRefreshTimers(bool on) override;
  StartInputs ReadStartInputs() override;
  std::optional<int32_t> AskSourceType(int mode, int32_t presetType) override;
  bool EditFilter(int32_t& filterType, FilterKernel& kernel) override;
  void ShowMessage(const std::string& text, const std::string& title) override;
  void Post(std::function<void()> task) override;
  void Repaint() override;
  void Focus(FocusTarget target) override;
  void SetExitStatus(int status, const std::string& message) override;
  void RequestClose() override;

 private:
  // Every control's event to the session (pelorin_dlg_routes.cpp).
  void BindRoutes();
  void LoadFromDialog();
  void SelectPage(int selection);
  void OnClose(wxCloseEvent& event);
  void OnPaint(wxPaintEvent& event);

  std::vector<std::string> args_;
  CAdditionalDlg auxDialog_;
  std::unique_ptr<ViewerSession> session_;
  std::unique_ptr<WindowPlacement> placement_;
  std::unique_ptr<MainWindowControls> controls_;
  DialogAnswers answers_;
  wxNotebook* tabCtrl_ = nullptr;
  CShowDialog* mapPage_ = nullptr;
  CSNRDialog* snrPage_ = nullptr;
  MapDataState mapData_;
  SnrPlotSize snrPlotSize_;
  wxTimer mapTimer_;
  wxTimer snrTimer_;
  std::unique_ptr<wxHtmlHelpController> help_;
  wxGUIEventLoop* mainLoop_ = nullptr;  // the program's run of the window, while it lasts
  bool initialised_ = false;
  bool dropDownsFitted_ = false;  // once, at the first show (see FitDropDownLists)
};

}  // namespace pelorin
