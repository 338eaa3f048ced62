#include "app/pelorin_dlg.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/evtloop.h>
#include <wx/filefn.h>
#include <wx/html/helpctrl.h>
#include <wx/html/helpfrm.h>
#include <wx/slider.h>

#include "app/help_book.h"
#include "app/main_template.h"
#include "app/main_window_controls.h"
#include "app/program_exit.h"
#include "app/window_placement.h"
#include "data/session/viewer_session.h"
#include "view/about_dlg.h"
#include "view/dialog_template.h"
#include "view/map_window.h"
#include "view/program_icon.h"
#include "view/resource.h"
#include "view/show_dialog.h"
#include "view/snr_dialog.h"

#ifndef PELORIN_VERSION_TEXT
#define PELORIN_VERSION_TEXT ""
#endif

namespace pelorin {

using namespace res;

CPelorinDlg::CPelorinDlg(wxWindow* parent, std::vector<std::string> args)
    : wxDialog(parent, IDD_PELORIN_DIALOG, kMainTemplateCaption, wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxMAXIMIZE_BOX | wxCLOSE_BOX),
      args_(std::move(args)),
      auxDialog_(this),
      session_(std::make_unique<ViewerSession>(*this)),
      placement_(std::make_unique<WindowPlacement>(*this, IDC_TAB)),
      controls_(std::make_unique<MainWindowControls>(*this, *session_)) {
  // A normal window, not a dialog: see RunMainWindow.
  UseNormalWindowType(this);
  SetFont(DialogFont());
  // The template gives the client size. SetSize rather than SetClientSize: GTK applies a
  // client size only once the window is shown, which would undo the screen fit.
  SetSize(
      ClientToWindowSize(ConvertDialogToPixels(wxSize(kMainTemplateWidth, kMainTemplateHeight))));
  CreateControls(this, MainTemplateControls());
  tabCtrl_ = static_cast<wxNotebook*>(FindWindow(IDC_TAB));

  wxAcceleratorEntry help(wxACCEL_NORMAL, WXK_F1, wxID_HELP);
  SetAcceleratorTable(wxAcceleratorTable(1, &help));
  BindRoutes();
}

CPelorinDlg::~CPelorinDlg() {
  // The player's worker draws on the map: it is joined while the map still exists.
  session_.reset();
}

void CPelorinDlg::RunMainWindow() {
  Show();
  wxGUIEventLoop loop;
  mainLoop_ = &loop;
  if (!session_->Closed()) loop.Run();
  mainLoop_ = nullptr;
}

ViewController& CPelorinDlg::ViewControls() { return controls_->Controller(); }

bool CPelorinDlg::Show(bool show) {
  if (show && !initialised_) OnInitDialog();
  const bool changed = wxDialog::Show(show);
  if (show && !dropDownsFitted_) {
    dropDownsFitted_ = true;
    placement_->FirstShown();
  }
  return changed;
}

bool CPelorinDlg::OnInitDialog() {
  initialised_ = true;
  // The About entry lives in the window's context menu: GTK gives the program no system
  // menu of its own.
  SetIcon(ProgramIcon());

  // Tab items; their pages are filled after the screen fit.
  mapPage_ = new CShowDialog(tabCtrl_, mapData_);
  snrPage_ = new CSNRDialog(tabCtrl_);
  tabCtrl_->AddPage(mapPage_, "Pelorin", true);
  tabCtrl_->AddPage(snrPage_, "SNR", false);

  auto* chips = static_cast<wxChoice*>(FindWindow(IDC_CHIP_SELECT));
  chips->Clear();
  for (const char* item :
       {"All", "Master", "Slave1", "Slave2", "Slave3", "Slave4", "Slave5", "Slave6", "Slave7"})
    chips->Append(item);
  chips->SetSelection(0);
  auto* dumpType = static_cast<wxChoice*>(FindWindow(IDC_DUMP_TYPE));
  dumpType->Clear();
  dumpType->Append("Pelorin");
  dumpType->Append("MATLAB");

  placement_->FitToScreen(mapPage_);

  mapPage_->InitPage();
  snrPage_->InitPage();
  controls_->BindMapWheel();
  SelectPage(0);

  auto* drawStyle = static_cast<wxChoice*>(FindWindow(IDC_DRAW_STYLE));
  drawStyle->Clear();
  drawStyle->Append("Style1");
  drawStyle->Append("Style2");
  mapPage_->View().angleX = 0.0;
  mapPage_->View().angleY = 0.0;
  mapPage_->View().scaleFactor = 1.0;
  for (int id : {IDC_MAX_SLIDER, IDC_MIN_SLIDER})
    static_cast<wxSlider*>(FindWindow(id))->SetRange(0, kRangeSliderLimit);

  SetTitle(wxString("Pelorin - ") + PELORIN_VERSION_TEXT);
  static_cast<wxCheckBox*>(FindWindow(IDC_MOUSE_ZOOM))->SetValue(true);

  // The settings, the command line and, for a batch run, its Start.
  session_->SetStopSignal(StopSignal);
  session_->Init(args_, wxGetCwd().utf8_string());
  return true;
}

COpenGLControl* CPelorinDlg::MapWindow() const {
  return mapPage_ != nullptr ? mapPage_->Map() : nullptr;
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

void CPelorinDlg::OnPaint(wxPaintEvent& /*event*/) {
  wxPaintDC dc(this);
  if (IsIconized()) {
    const wxIcon icon = ProgramIcon();
    const wxSize client = GetClientSize();
    dc.DrawIcon(icon, (client.x - icon.GetWidth() + 1) / 2, (client.y - icon.GetHeight() + 1) / 2);
    return;
  }
  for (int id : placement_->ChildIds()) {
    if (wxWindow* child = FindWindow(id)) child->Update();
  }
}

wxString CPelorinDlg::AboutEntryText() { return wxString::FromUTF8("關於 Pelorin(&A)..."); }

void CPelorinDlg::ShowAbout() {
  CAboutDlg about(this);
  about.ShowModal();
}

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

void CPelorinDlg::OnClose(wxCloseEvent& event) {
  // A load in progress still holds the window's controls; the close follows it.
  if (!session_->MayCloseNow() && event.CanVeto()) {
    event.Veto();
    return;
  }
  if (!session_->Closed()) {
    // The player and the worker stop, the settings are written, the device goes back.
    session_->Close();
    mapTimer_.Stop();
    snrTimer_.Stop();
    if (snrPage_ != nullptr) snrPage_->CloseAction();
    placement_->Release();
  }
  if (IsModal()) {
    EndModal(wxID_CANCEL);
  } else {
    Hide();
    if (mainLoop_ != nullptr) mainLoop_->Exit();
  }
}

}  // namespace pelorin
