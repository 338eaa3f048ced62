// The main window's events, each routed to the session, the view controls or the window's
// own pages in a line or a few.
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/menu.h>

#include "app/main_window_controls.h"
#include "app/pelorin_dlg.h"
#include "app/window_placement.h"
#include "data/session/viewer_session.h"
#include "view/map_window.h"
#include "view/resource.h"
#include "view/show_dialog.h"

namespace pelorin {

using namespace res;

namespace {

constexpr int kMapTimerId = 1;
constexpr int kSnrTimerId = 2;

// The Load dialog's texts. The filter's closing "||" ends the list; wx wants the list
// without it.
constexpr const char* kLoadDialogTitle = "Load Pelorin Data";
constexpr const char* kLoadDialogFilter = " Pelorin Data(*.csv;*.txt)|*.csv;*.txt||";

wxString WxFilter(const char* filter) {
  wxString text(filter);
  while (text.EndsWith("|")) text.RemoveLast();
  return text;
}

// The check boxes the session keeps; Mouse Zoom belongs to the map alone.
constexpr std::pair<int, Check> kChecks[] = {
    {IDC_REVERSE, Check::Reverse},
    {IDC_TURN_OVER, Check::TurnOver},
    {IDC_HIDE_OVERLAP, Check::HideOverlap},
    {IDC_HIDE_BUTTON, Check::HideButton},
    {IDC_ENABLE_FILTER, Check::EnableFilter},
    {IDC_AUTO_CENTER, Check::AutoCenter},
    {IDC_HIDE_FIRST, Check::HideFirst},
    {IDC_HIDE_SECOND, Check::HideSecond},
    {IDC_DUMP, Check::Dump},
};

}  // namespace

void CPelorinDlg::BindRoutes() {
  ViewerSession& s = *session_;
  Bind(wxEVT_INIT_DIALOG, [this](wxInitDialogEvent& e) {
    if (!initialised_) OnInitDialog();
    e.Skip();
  });
  Bind(wxEVT_PAINT, &CPelorinDlg::OnPaint, this);
  Bind(wxEVT_SIZE, [this](wxSizeEvent&) { placement_->OnSize(); });
  Bind(wxEVT_CLOSE_WINDOW, &CPelorinDlg::OnClose, this);
  Bind(
      wxEVT_NOTEBOOK_PAGE_CHANGED,
      [this](wxBookCtrlEvent& e) {
        if (mapPage_ != nullptr && snrPage_ != nullptr) SelectPage(e.GetSelection());
        e.Skip();
      },
      IDC_TAB);
  Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent&) {
    wxMenu menu;
    menu.Append(IDM_ABOUTBOX, AboutEntryText());
    PopupMenu(&menu);
  });
  Bind(
      wxEVT_MENU, [this](wxCommandEvent&) { ShowAbout(); }, IDM_ABOUTBOX);
  Bind(wxEVT_HELP, [this](wxHelpEvent& e) {
    if (!ShowHelp()) e.Skip();
  });
  Bind(
      wxEVT_MENU, [this](wxCommandEvent&) { ShowHelp(); }, wxID_HELP);

  // Acquisition and its refresh timers.
  Bind(
      wxEVT_BUTTON, [&s](wxCommandEvent&) { s.Start(); }, IDC_START);
  Bind(
      wxEVT_BUTTON, [&s](wxCommandEvent&) { s.Stop(); }, IDC_STOP);
  mapTimer_.SetOwner(this, kMapTimerId);
  snrTimer_.SetOwner(this, kSnrTimerId);
  Bind(
      wxEVT_TIMER, [&s](wxTimerEvent&) { s.OnMapTimer(); }, kMapTimerId);
  Bind(
      wxEVT_TIMER, [&s](wxTimerEvent&) { s.OnSnrTimer(); }, kSnrTimerId);

  // The player. wx reports a moved slider rather than every repaint.
  Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { LoadFromDialog(); }, IDC_LOAD);
  Bind(
      wxEVT_BUTTON, [&s](wxCommandEvent&) { s.Play(); }, IDC_PLAY);
  Bind(
      wxEVT_BUTTON, [&s](wxCommandEvent&) { s.Pause(); }, IDC_PAUSE);
  Bind(
      wxEVT_BUTTON, [&s](wxCommandEvent&) { s.Prev(); }, IDC_PREV);
  Bind(
      wxEVT_BUTTON, [&s](wxCommandEvent&) { s.Next(); }, IDC_NEXT);
  Bind(
      wxEVT_SLIDER, [&s](wxCommandEvent& e) { s.Seek(e.GetInt()); }, IDC_PLAYER_SLIDER);
  // Each dropped file replaces the one before; the last good one stays.
  Bind(wxEVT_DROP_FILES, [&s](wxDropFilesEvent& e) {
    for (int k = 0; k < e.GetNumberOfFiles(); ++k) s.Load(e.GetFiles()[k].utf8_string());
  });
  DragAcceptFiles(true);

  // The view controls.
  Bind(
      wxEVT_SLIDER,
      [this](wxCommandEvent& e) { ViewControls().OnRangeSlider(RangeEnd::Max, e.GetInt()); },
      IDC_MAX_SLIDER);
  Bind(
      wxEVT_SLIDER,
      [this](wxCommandEvent& e) { ViewControls().OnRangeSlider(RangeEnd::Min, e.GetInt()); },
      IDC_MIN_SLIDER);
  for (const auto& entry : kChecks) {
    // A copy: clang does not capture structured bindings.
    const auto check = entry.second;
    Bind(
        wxEVT_CHECKBOX, [&s, check](wxCommandEvent& e) { s.SetCheck(check, e.IsChecked()); },
        entry.first);
  }
  Bind(
      wxEVT_CHECKBOX,
      [this](wxCommandEvent& e) {
        if (COpenGLControl* map = MapWindow()) map->SetMouseZoom(e.IsChecked());
        if (mapPage_ != nullptr) mapPage_->RefreshMap();
      },
      IDC_MOUSE_ZOOM);
  Bind(
      wxEVT_CHOICE, [&s](wxCommandEvent& e) { s.SelectChip(e.GetInt()); }, IDC_CHIP_SELECT);
  Bind(
      wxEVT_CHOICE, [&s](wxCommandEvent& e) { s.SelectDumpType(e.GetInt()); }, IDC_DUMP_TYPE);
  Bind(
      wxEVT_CHOICE, [&s](wxCommandEvent& e) { s.SelectDrawStyle(e.GetInt()); }, IDC_DRAW_STYLE);
  Bind(
      wxEVT_BUTTON, [&s](wxCommandEvent&) { s.ChooseSource(SourceSlot::First); }, IDC_FIRST_SOURCE);
  Bind(
      wxEVT_BUTTON, [&s](wxCommandEvent&) { s.ChooseSource(SourceSlot::Second); },
      IDC_SECOND_SOURCE);
  Bind(
      wxEVT_BUTTON, [&s](wxCommandEvent&) { s.EditFilter(); }, IDC_FILTER);
  for (const auto& [id, viewPoint] : {std::pair{IDC_X_AXIS, 1}, std::pair{IDC_Y_AXIS, 2},
                                      std::pair{IDC_Z_AXIS, 3}, std::pair{IDC_DEFAULT_VIEW, 0}}) {
    Bind(
        wxEVT_BUTTON, [&s, vp = viewPoint](wxCommandEvent&) { s.SetViewPoint(vp); }, id);
  }
  controls_->BindKeysAndWheel();
}

void CPelorinDlg::LoadFromDialog() {
  std::optional<std::string> path;
  if (answers_.fileDialog) {
    path = answers_.fileDialog(kLoadDialogTitle, kLoadDialogFilter);
  } else {
    wxFileDialog dialog(this, kLoadDialogTitle, wxEmptyString, wxEmptyString,
                        WxFilter(kLoadDialogFilter), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() == wxID_OK) path = dialog.GetPath().utf8_string();
  }
  if (path) session_->Load(*path);
}

}  // namespace pelorin
