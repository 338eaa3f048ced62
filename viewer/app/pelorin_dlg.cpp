#include "app/pelorin_dlg.h"

#include <cstdio>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/evtloop.h>
#include <wx/html/helpctrl.h>
#include <wx/html/helpfrm.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/slider.h>
#include <wx/stattext.h>

#include "app/help_book.h"
#include "app/main_template.h"
#include "app/main_window_view_controls.h"
#include "data/session/status_line.h"
#include "data/live_model.h"
#include "data/status_text.h"
#include "view/about_dlg.h"
#include "view/caption_fit.h"
#include "view/dialog_template.h"
#include "view/map_window.h"
#include "view/program_icon.h"
#include "view/resource.h"
#include "view/screen_fit.h"
#include "view/show_dialog.h"
#include "view/snr_dialog.h"

#ifndef PELORIN_VERSION_TEXT
#define PELORIN_VERSION_TEXT ""
#endif

namespace pelorin {

using namespace res;

wxBEGIN_EVENT_TABLE(CPelorinDlg, wxDialog)
  EVT_INIT_DIALOG(CPelorinDlg::OnInitDialogEvent)
  EVT_CONTEXT_MENU(CPelorinDlg::OnContextMenu)
  EVT_MENU(IDM_ABOUTBOX, CPelorinDlg::OnAboutCommand)
  EVT_PAINT(CPelorinDlg::OnPaint)
  EVT_NOTEBOOK_PAGE_CHANGED(IDC_TAB, CPelorinDlg::OnTabChanged)
  EVT_CLOSE(CPelorinDlg::OnClose)
  EVT_SIZE(CPelorinDlg::OnSize)
  EVT_BUTTON(IDC_X_AXIS, CPelorinDlg::OnViewPointButton)
  EVT_BUTTON(IDC_Y_AXIS, CPelorinDlg::OnViewPointButton)
  EVT_BUTTON(IDC_Z_AXIS, CPelorinDlg::OnViewPointButton)
  EVT_BUTTON(IDC_DEFAULT_VIEW, CPelorinDlg::OnViewPointButton)
  EVT_CHOICE(IDC_DRAW_STYLE, CPelorinDlg::OnDrawStyle)
  EVT_HELP(wxID_ANY, CPelorinDlg::OnHelp)
  EVT_MENU(wxID_HELP, CPelorinDlg::OnHelpCommand)
wxEND_EVENT_TABLE()

CPelorinDlg::CPelorinDlg(wxWindow* parent, std::vector<std::string> args)
    : wxDialog(parent, IDD_PELORIN_DIALOG, kMainTemplateCaption, wxDefaultPosition,
               wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxMAXIMIZE_BOX | wxCLOSE_BOX),
      auxDialog_(this),
      args_(std::move(args)),
      viewControls_(std::make_unique<MainWindowViewControls>(*this)) {
  // A normal window, not a dialog: see RunMainWindow.
  UseNormalWindowType(this);
  SetFont(DialogFont());
  // The template gives the client size. SetSize rather than SetClientSize: GTK applies a
  // client size only once the window is shown, which would undo the screen fit.
  SetSize(ClientToWindowSize(
      ConvertDialogToPixels(wxSize(kMainTemplateWidth, kMainTemplateHeight))));
  CreateControls(this, MainTemplateControls());
  BindAcquisition();

  tabCtrl_ = static_cast<wxNotebook*>(FindWindow(IDC_TAB));
  stopButton_ = static_cast<wxButton*>(FindWindow(IDC_STOP));
  chipSelect_ = static_cast<wxChoice*>(FindWindow(IDC_CHIP_SELECT));
  dumpType_ = static_cast<wxChoice*>(FindWindow(IDC_DUMP_TYPE));
  drawStyle_ = static_cast<wxChoice*>(FindWindow(IDC_DRAW_STYLE));
  maxSlider_ = static_cast<wxSlider*>(FindWindow(IDC_MAX_SLIDER));
  minSlider_ = static_cast<wxSlider*>(FindWindow(IDC_MIN_SLIDER));
  reverseCheck_ = static_cast<wxCheckBox*>(FindWindow(IDC_REVERSE));
  mouseZoomCheck_ = static_cast<wxCheckBox*>(FindWindow(IDC_MOUSE_ZOOM));
  hideButtonCheck_ = static_cast<wxCheckBox*>(FindWindow(IDC_HIDE_BUTTON));
  autoCenterCheck_ = static_cast<wxCheckBox*>(FindWindow(IDC_AUTO_CENTER));

  wxAcceleratorEntry help(wxACCEL_NORMAL, WXK_F1, wxID_HELP);
  SetAcceleratorTable(wxAcceleratorTable(1, &help));
  MakePlayer();
  BindPlayerEvents();
  viewControls_->BindControls();
  settleTimer_.SetOwner(this, kSettleTimerId);
  Bind(
      wxEVT_TIMER, [this](wxTimerEvent&) { SettleOnScreen(); }, kSettleTimerId);
}

void CPelorinDlg::RunMainWindow() {
  Show();
  wxGUIEventLoop loop;
  mainLoop_ = &loop;
  if (!closed_) loop.Run();
  mainLoop_ = nullptr;
}

CPelorinDlg::~CPelorinDlg() {
  // A window destroyed without its close sequence still never outlives its player.
  playback_.reset();
}

bool CPelorinDlg::Show(bool show) {
  if (show && !initialised_) OnInitDialog();
  const bool changed = wxDialog::Show(show);
  if (show && !dropDownsFitted_) {
    dropDownsFitted_ = true;
    FitDropDownLists(this, childIds_);
    childLayout_.Init(this, 0);  // the resize rules start from the fitted lists
    // The window manager maps the window a moment later, and may put it elsewhere.
    if (WindowManagerRunning()) SettleLater();
  }
  return changed;
}

void CPelorinDlg::SettleLater() {
  settleTries_ = 0;
  settleTimer_.Start(50);
}

void CPelorinDlg::SettleOnScreen() {
  // Bounded: a window that is never mapped (no manager answers) is left as it is. A few
  // ticks pass first, for the manager to finish its own moves.
  constexpr int kMaxTries = 60;
  constexpr int kQuietTicks = 2;
  if (++settleTries_ < kMaxTries && (!IsShownOnScreen() || settleTries_ < kQuietTicks)) return;
  settleTimer_.Stop();
  if (fullScreen_ || IsMaximized()) return;
  // GTK learns the frame only when the window is mapped and then takes it out of the
  // client area, which would cut the bottom of the fitted controls.
  if (fittedClient_.x > 0 && GetClientSize() != fittedClient_) SetClientSize(fittedClient_);
  // The window manager places a new window by its own rule; the window goes where the
  // screen fit put it (the work area's corner) or, after full screen, back to its former
  // place, wholly on the work area either way.
  const wxRect area = WorkArea(this);
  const wxPoint place = PlaceInside(wxRect(restoreRect_.GetPosition(), GetSize()), area);
  MoveFrameTo(this, place);
  restoreRect_ = wxRect(place, GetSize());
}

void CPelorinDlg::OnInitDialogEvent(wxInitDialogEvent& event) {
  if (!initialised_) OnInitDialog();
  event.Skip();
}

bool CPelorinDlg::OnInitDialog() {
  initialised_ = true;
  // The About entry lives in the window's context menu (OnContextMenu): GTK gives the
  // program no system menu of its own.

  SetIcon(ProgramIcon());

  // Tab items; their pages are filled after the screen fit.
  mapPage_ = new CShowDialog(tabCtrl_, mapData_);
  snrPage_ = new CSNRDialog(tabCtrl_);
  tabCtrl_->AddPage(mapPage_, "Pelorin", true);
  tabCtrl_->AddPage(snrPage_, "SNR", false);

  chipSelect_->Clear();
  for (const char* item :
       {"All", "Master", "Slave1", "Slave2", "Slave3", "Slave4", "Slave5", "Slave6", "Slave7"})
    chipSelect_->Append(item);
  chipSelect_->SetSelection(0);

  dumpType_->Clear();
  dumpType_->Append("Pelorin");
  dumpType_->Append("MATLAB");
  dumpType_->SetSelection(0);
  state_.dumpType = 0;

  for (int id : {IDC_STOP, IDC_PLAY, IDC_PAUSE, IDC_PREV, IDC_NEXT, IDC_PLAYER_SLIDER})
    FindWindow(id)->Disable();

  childIds_.clear();
  for (wxWindow* child : GetChildren()) {
    if (!child->IsTopLevel() && child->GetParent() == this) childIds_.push_back(child->GetId());
  }

  FitToScreen();

  mapPage_->InitPage();
  snrPage_->InitPage();
  viewControls_->BindMapWindow();
  SelectPage(0);

  drawStyle_->Clear();
  drawStyle_->Append("Style1");
  drawStyle_->Append("Style2");
  drawStyle_->SetSelection(0);
  state_.drawStyle = 0;
  mapPage_->View().drawStyle = 0;

  mapPage_->View().angleX = 0.0;
  mapPage_->View().angleY = 0.0;
  mapPage_->View().scaleFactor = 1.0;

  maxSlider_->SetRange(0, kRangeSliderLimit);
  maxSlider_->SetValue(250);
  minSlider_->SetRange(0, kRangeSliderLimit);
  minSlider_->SetValue(0);

  models_.push_back(std::make_unique<InstantModel>());

  LoadSettings();

  mapPage_->View().rangeMax = models_[0]->GetRangeMax();
  mapPage_->View().rangeMin = models_[0]->GetRangeMin();
  dumpEnabled_ = false;
  state_.batchMode = false;
  mapRefreshOff_ = false;
  snrRefreshOff_ = true;
  runMode_ = RunMode::Idle;
  state_.flatness = 0.0f;
  state_.standardDeviation = 0.0f;

  SetTitle(wxString("Pelorin - ") + PELORIN_VERSION_TEXT);

  FindWindow(IDC_FIRST_SOURCE)->SetLabel(FirstSourceCaptionForName(models_[0]->GetName()));
  FindWindow(IDC_SECOND_SOURCE)
      ->SetLabel(models_.size() > 1 ? "2st-Source\n" + wxString(models_[1]->GetName())
                                    : wxString("2st-Source\nNone"));

  mouseZoomCheck_->SetValue(true);
  autoCenterCheck_->SetValue(autoCenter_);

  if (InstantModel* live = LiveModel(0); live != nullptr && live->GetHideShow()) {
    hideButtonCheck_->SetValue(true);
    live->SetHideOn(true);
    hideButtonCheck_->Disable();
  }

  fullScreen_ = false;
  restoreRect_ = GetRect();

  childLayout_.Init(this, 0);

  ApplyCommandLine();
  if (state_.batchMode) StartAcquisition();
  return true;
}

void CPelorinDlg::FitToScreen() {
  // The screen is its work area (without the desktop's panels), and the window with its
  // title bar and borders must fit on it: the factors of the screen, made smaller where
  // the frame would push the window over the edge.
  frame_ = RequestFrameExtents(this);
  const wxRect area = WorkArea(this);
  const wxSize client = GetClientSize();
  const ScreenFactors f =
      FitFactors(ScreenFactorsFor(area.width, area.height), client,
                 wxSize(frame_.Horizontal(), frame_.Vertical()), area.GetSize());
  normalFont_ = ScaledFont(GetFont(), f.sx, f.sy);
  largeFont_ = ScaledFont(GetFont(), 3 * f.sx, 3 * f.sy);
  fittedClient_ = wxSize(static_cast<int>(client.x * f.sx), static_cast<int>(client.y * f.sy));
  // SetSize rather than SetClientSize, as in the constructor; SettleOnScreen makes the
  // client size good once the frame is known to GTK too.
  SetSize(wxRect(area.GetPosition(), ClientToWindowSize(fittedClient_)));
  restoreRect_ = GetRect();
  Refresh();
  Update();
  FitChildren(this, childIds_, normalFont_, f);
  // GTK draws check boxes, sliders and some captions larger than the template assumes.
  FitCaptionsAndTracks(this, childIds_);
}

InstantModel* CPelorinDlg::LiveModel(size_t index) const {
  return index < models_.size() ? dynamic_cast<InstantModel*>(models_[index].get())
                                : nullptr;
}

void CPelorinDlg::ShowStatusMessage(int code, std::string_view argument) {
  FindWindow(IDC_STATUS)->SetLabel(wxString::FromUTF8(StatusMessageText(code, argument)));
}

void CPelorinDlg::ShowRunEndStatus() {
  // A run that wrote its recording says where; any other end keeps what the run said
  // last (a failed write, a lost device).
  if (acquisition_ && !acquisition_->RecordingPath().empty())
    ShowStatusText(RecordedText(acquisition_->RecordingPath(), acquisition_->MatPath()));
}

void CPelorinDlg::UpdateStatistics(int frameCount, float frameRate, float average,
                                   int frameMax, int overallMax, int frameMin,
                                   int overallMin) {
  const StatisticsTexts t = FormatStatistics(frameCount, frameRate, average, frameMax,
                                             overallMax, frameMin, overallMin);
  FindWindow(IDC_FRAME_COUNT)->SetLabel(t.frameCount);
  FindWindow(IDC_FRAME_RATE)->SetLabel(t.frameRate);
  FindWindow(IDC_STATISTICS)->SetLabel(t.values);
  // Large or negative values make the texts longer than their fields: they shrink rather
  // than wrap out of sight.
  for (int id : {IDC_FRAME_COUNT, IDC_FRAME_RATE, IDC_STATISTICS})
    FitTextToWidth(FindWindow(id), normalFont_);
}

void CPelorinDlg::ApplyViewPoint(int viewPoint) {
  const int vp = viewPoint >= 1 && viewPoint <= 3 ? viewPoint : 0;
  state_.viewPoint = vp;
  if (mapPage_ != nullptr) {
    static_cast<MapOrientation&>(mapPage_->View()) = PresetOrientation(static_cast<ViewPoint>(vp));
    if (COpenGLControl* map = MapWindow()) map->ResetView();
    mapPage_->RefreshMap();
  }
}

COpenGLControl* CPelorinDlg::MapWindow() const {
  return mapPage_ != nullptr ? mapPage_->Map() : nullptr;
}

void CPelorinDlg::OnDrawStyle(wxCommandEvent& /*event*/) {
  // The legend follows at once; the mesh takes the style at its next build.
  const int style = drawStyle_->GetSelection() == 1 ? 1 : 0;
  state_.drawStyle = style;
  if (mapPage_ != nullptr) {
    mapPage_->View().drawStyle = style;
    mapPage_->RefreshMap();
  }
}

void CPelorinDlg::OnViewPointButton(wxCommandEvent& event) {
  switch (event.GetId()) {
    case IDC_X_AXIS: ApplyViewPoint(1); break;
    case IDC_Y_AXIS: ApplyViewPoint(2); break;
    case IDC_Z_AXIS: ApplyViewPoint(3); break;
    default: ApplyViewPoint(0); break;
  }
}

void CPelorinDlg::SelectPage(int selection) {
  // The notebook shows the chosen page and hides the other; hiding a page by hand would
  // stop GTK from ever switching back to it.
  if (selection == 0) {
    mapPage_->Show();
  } else if (selection == 1) {
    snrPage_->Show();
  }
}

void CPelorinDlg::OnTabChanged(wxBookCtrlEvent& event) {
  if (mapPage_ != nullptr && snrPage_ != nullptr) SelectPage(event.GetSelection());
  event.Skip();
}

void CPelorinDlg::OnPaint(wxPaintEvent& /*event*/) {
  wxPaintDC dc(this);
  if (IsIconized()) {
    const wxIcon icon = ProgramIcon();
    const wxSize client = GetClientSize();
    dc.DrawIcon(icon, (client.x - icon.GetWidth() + 1) / 2, (client.y - icon.GetHeight() + 1) / 2);
    return;
  }
  for (int id : childIds_) {
    if (wxWindow* child = FindWindow(id)) child->Update();
  }
}

void CPelorinDlg::OnSize(wxSizeEvent& /*event*/) {
  // In full screen the map fills the window; the layout rules take over again on leave.
  if (fullScreen_) {
    FillWithMap();
  } else {
    childLayout_.Apply();
  }
  Refresh();
}

wxString CPelorinDlg::AboutEntryText() { return wxString::FromUTF8("關於 Pelorin(&A)..."); }

void CPelorinDlg::OnContextMenu(wxContextMenuEvent& /*event*/) {
  wxMenu menu;
  menu.Append(IDM_ABOUTBOX, AboutEntryText());
  PopupMenu(&menu);
}

void CPelorinDlg::OnAboutCommand(wxCommandEvent& /*event*/) { ShowAbout(); }

void CPelorinDlg::ShowAbout() {
  CAboutDlg about(this);
  about.ShowModal();
}

void CPelorinDlg::OnHelp(wxHelpEvent& event) {
  if (!ShowHelp()) event.Skip();
}

void CPelorinDlg::OnHelpCommand(wxCommandEvent& /*event*/) { ShowHelp(); }

bool CPelorinDlg::ShowHelp() {
  const wxString book = FindHelpBook();
  if (book.empty()) return false;
  if (!help_) {
    ReadHelpPagesAsHtml();
    help_ = std::make_unique<wxHtmlHelpController>(wxHF_DEFAULT_STYLE, this);
    if (!help_->AddBook(wxFileName(book))) {
      help_.reset();
      return false;
    }
  }
  if (!help_->DisplayContents()) return false;
  // Asked for again while open behind other windows, the help comes to the front.
  if (wxFrame* frame = help_->GetFrame()) {
    KeepOnWorkArea(frame);
    BringToFront(frame);
  }
  return true;
}

void CPelorinDlg::ShowMessageBox(const wxString& text, const wxString& title) {
  if (messageBox_) {
    messageBox_(text, title);
  } else if (state_.batchMode) {
    // An unattended run must never wait for a click.
    std::printf("%s: %s\n", static_cast<const char*>(title.utf8_str()),
                static_cast<const char*>(text.utf8_str()));
    std::fflush(stdout);
  } else {
    wxMessageBox(text, title, wxOK, this);
  }
}

void CPelorinDlg::OnClose(wxCloseEvent& event) {
  // A load in progress still holds the window's controls; the close follows it.
  if (loading_ && event.CanVeto()) {
    closeAfterLoad_ = true;
    event.Veto();
    return;
  }
  RunCloseSequence();
  settleTimer_.Stop();
  if (IsModal()) {
    EndModal(wxID_CANCEL);
  } else {
    Hide();
    if (mainLoop_ != nullptr) mainLoop_->Exit();
  }
}

void CPelorinDlg::RunCloseSequence() {
  if (closed_) return;
  closed_ = true;
  mapRefreshOff_ = true;
  snrRefreshOff_ = true;
  StopPlayback();
  // The models and the device stay until the worker has left its frame cycle.
  EndAcquisitionForClose();
  if (stopButton_->IsEnabled()) StopAcquisition();

  if (!models_.empty()) {
    const int type = models_[0]->GetSourceType();
    if (type >= kSourceLoop && type <= kSourceDiff) {
      sourceRanges_.For(type) = RangePair{models_[0]->GetRangeMax(), models_[0]->GetRangeMin()};
    }
  }
  SaveSettings();

  normalFont_ = wxNullFont;
  largeFont_ = wxNullFont;
  if (snrPage_ != nullptr) snrPage_->CloseAction();
  GiveDeviceBack();
  edgeTrackers_.reset();
  models_.clear();
}

}  // namespace pelorin
