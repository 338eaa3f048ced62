// The main window's view controls: range sliders, the per-source check boxes, the chip
// selector, the source buttons and their dialog, the hide check boxes, the keys, the
// mouse wheel over the map and the full-screen map. The rules live in ViewController;
// here they meet the window's controls and models.
#include <cstdio>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textentry.h>

#include "app/main_window_view_controls.h"
#include "app/pelorin_dlg.h"
#include "data/live_model.h"
#include "data/playback/source_kind.h"
#include "view/desktop_window.h"
#include "view/filter_dlg.h"
#include "view/map_window.h"
#include "view/multi_source_dlg.h"
#include "view/resource.h"
#include "view/show_dialog.h"

namespace pelorin {

using namespace res;

MainWindowViewControls::MainWindowViewControls(CPelorinDlg& dlg) : dlg_(dlg), controller_(*this) {}

void MainWindowViewControls::BindControls() {
  // wx reports a slider the user moved, not every repaint; a repaint without a move
  // would apply the range it already shows.
  dlg_.Bind(
      wxEVT_SLIDER,
      [this](wxCommandEvent& e) { controller_.OnRangeSlider(RangeEnd::Max, e.GetInt()); },
      IDC_MAX_SLIDER);
  dlg_.Bind(
      wxEVT_SLIDER,
      [this](wxCommandEvent& e) { controller_.OnRangeSlider(RangeEnd::Min, e.GetInt()); },
      IDC_MIN_SLIDER);

  for (int id : {IDC_REVERSE, IDC_TURN_OVER, IDC_HIDE_OVERLAP, IDC_HIDE_BUTTON, IDC_ENABLE_FILTER,
                 IDC_MOUSE_ZOOM, IDC_AUTO_CENTER, IDC_HIDE_FIRST, IDC_HIDE_SECOND})
    dlg_.Bind(wxEVT_CHECKBOX, &MainWindowViewControls::OnCheckBox, this, id);

  dlg_.Bind(
      wxEVT_CHOICE,
      [this](wxCommandEvent& e) {
        if (InstantModel* first = dlg_.LiveModel(0))
          first->SetSelectedChip(ChipIndexForItem(e.GetInt()));
      },
      IDC_CHIP_SELECT);
  dlg_.Bind(
      wxEVT_CHOICE, [this](wxCommandEvent& e) { dlg_.state_.dumpType = e.GetInt() != 0 ? 1 : 0; },
      IDC_DUMP_TYPE);

  dlg_.Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { ChooseSource(SourceSlot::First); }, IDC_FIRST_SOURCE);
  dlg_.Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { ChooseSource(SourceSlot::Second); },
      IDC_SECOND_SOURCE);
  dlg_.Bind(
      wxEVT_BUTTON, [this](wxCommandEvent&) { OnFilterButton(); }, IDC_FILTER);

  // Every key reaches the window before its controls.
  dlg_.Bind(wxEVT_CHAR_HOOK, &MainWindowViewControls::OnCharHook, this);
  dlg_.Bind(wxEVT_MOUSEWHEEL, &MainWindowViewControls::OnWheel, this);
  dlg_.Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& e) {
    dlg_.SetFocus();
    e.Skip();
  });
}

void MainWindowViewControls::BindMapWindow() {
  // GTK gives the wheel to the window under the cursor: the page and the map report it
  // to the same handler, which decides by the cursor's place on the screen.
  if (dlg_.mapPage_ != nullptr)
    dlg_.mapPage_->Bind(wxEVT_MOUSEWHEEL, &MainWindowViewControls::OnWheel, this);
  if (COpenGLControl* map = dlg_.MapWindow())
    map->Bind(wxEVT_MOUSEWHEEL, &MainWindowViewControls::OnWheel, this);
}

// --- ViewControlHost -------------------------------------------------------------------

RunMode MainWindowViewControls::Mode() const { return dlg_.runMode_; }

RangeSliders MainWindowViewControls::Sliders() const {
  return {dlg_.maxSlider_->GetValue(), dlg_.minSlider_->GetValue()};
}

void MainWindowViewControls::ShowRange(const RangeSliders& s) {
  dlg_.maxSlider_->SetValue(s.maxPosition);
  dlg_.minSlider_->SetValue(s.minPosition);
  const int32_t rangeMax = s.RangeMax();
  const int32_t rangeMin = s.RangeMin();
  dlg_.FindWindow(IDC_MAX_LABEL)->SetLabel(wxString::Format("Max:%d", rangeMax));
  dlg_.FindWindow(IDC_MIN_LABEL)->SetLabel(wxString::Format("Min:%d", rangeMin));
  for (const auto& m : dlg_.models_) {
    m->SetRangeMax(rangeMax);
    m->SetRangeMin(rangeMin);
  }
  if (dlg_.mapPage_ != nullptr) {
    dlg_.mapPage_->View().rangeMax = rangeMax;
    dlg_.mapPage_->View().rangeMin = rangeMin;
  }
  if (dlg_.recordings_.Count() > 0) {
    dlg_.recordings_.SetRangeMax(0, rangeMax);
    dlg_.recordings_.SetRangeMin(0, rangeMin);
  }
  RefreshMap();
}

void MainWindowViewControls::RebuildLiveMesh() { dlg_.RebuildLiveMeshOnMap(); }

void MainWindowViewControls::RebuildPlaybackMesh() {
  const int32_t position = static_cast<wxSlider*>(dlg_.FindWindow(IDC_PLAYER_SLIDER))->GetValue();
  // A paused player may still be finishing its last step.
  dlg_.playback_->Locked([&] { dlg_.RebuildPlaybackMeshOnMap(position); });
  RefreshMap();
}

MapOrientation& MainWindowViewControls::Orientation() {
  return dlg_.mapPage_ != nullptr ? dlg_.mapPage_->View() : noMap_;
}

MapCamera* MainWindowViewControls::Camera() {
  COpenGLControl* map = dlg_.MapWindow();
  return map != nullptr ? &map->Camera() : nullptr;
}

void MainWindowViewControls::ApplyViewPoint(int viewPoint) { dlg_.ApplyViewPoint(viewPoint); }

void MainWindowViewControls::RefreshMap() {
  if (dlg_.mapPage_ != nullptr) dlg_.mapPage_->RefreshMap();
}

void MainWindowViewControls::Start() { dlg_.StartAcquisition(); }
void MainWindowViewControls::Stop() { dlg_.StopAcquisition(); }
void MainWindowViewControls::ChooseSource(SourceSlot slot) { dlg_.ChooseSource(slot); }

void MainWindowViewControls::SetFirstSourceType(int32_t type) {
  PelorinModel& first = *dlg_.models_[0];
  first.SetSourceType(type);
  ApplySourceType(first, type, dlg_.sourceRanges_);
  dlg_.FindWindow(IDC_FIRST_SOURCE)->SetLabel(FirstSourceCaptionForName(first.GetName()));
  // As after the source dialog: the sliders, their labels and the map show the type's
  // range, so what is drawn and what the sliders say never part.
  first.ClampRange();
  controller_.OnRangeSliders(
      {MaxSliderPosition(first.GetRangeMax()), MinSliderPosition(first.GetRangeMin())});
}

bool MainWindowViewControls::FullScreen() const { return dlg_.fullScreen_; }

void MainWindowViewControls::SetFullScreen(bool on) {
  on ? dlg_.EnterFullScreen() : dlg_.LeaveFullScreen();
}

// --- Events ----------------------------------------------------------------------------

void MainWindowViewControls::OnCheckBox(wxCommandEvent& event) {
  const bool checked = event.IsChecked();
  PelorinModel& first = *dlg_.models_[0];
  InstantModel* live = dlg_.LiveModel(0);
  switch (event.GetId()) {
    case IDC_REVERSE:
      if (live) live->SetReverse(checked);
      break;
    case IDC_TURN_OVER:
      if (live) live->SetTurnOver(checked);
      break;
    // Both take effect when the next acquisition lays out its frame.
    case IDC_HIDE_OVERLAP:
      if (live) live->SetHideOverlap(checked);
      break;
    case IDC_HIDE_BUTTON:
      if (live) live->SetHideOn(checked);
      break;
    case IDC_ENABLE_FILTER: first.SetFilterEnabled(checked); break;
    case IDC_MOUSE_ZOOM:
      if (COpenGLControl* map = dlg_.MapWindow()) map->SetMouseZoom(checked);
      RefreshMap();
      break;
    case IDC_AUTO_CENTER:
      dlg_.autoCenter_ = checked;
      if (dlg_.acquisition_) dlg_.acquisition_->SetAutoCenter(checked);
      break;
    case IDC_HIDE_FIRST: OnHideSource(0, checked); break;
    case IDC_HIDE_SECOND: OnHideSource(1, checked); break;
    default: break;
  }
}

void MainWindowViewControls::OnHideSource(int index, bool hidden) {
  const bool visible = !hidden;
  RecordingSet& recorded = dlg_.recordings_;
  if (recorded.Count() > index) recorded.SetVisible(index, visible);
  // The first source's live model follows in every state, the second only where the
  // live mesh is rebuilt for it.
  if (index == 0 && !dlg_.models_.empty()) dlg_.models_[0]->SetVisible(visible);
  if (SourcesShownIn(dlg_.runMode_) == SourceKind::Recorded) {
    // The player's worker rebuilds the recorded mesh under the same lock.
    dlg_.playback_->Locked([&] {
      dlg_.SizePlaybackMeshOnMap();
      dlg_.RebuildPlaybackMeshOnMap(recorded.GetCurrentIndex(0));
    });
  } else {
    if (index >= static_cast<int>(dlg_.models_.size())) return;
    if (index == 1) dlg_.models_[1]->SetVisible(visible);
    dlg_.SizeLiveMeshOnMap();
    dlg_.RebuildLiveMeshOnMap();
  }
  RefreshMap();
}

void MainWindowViewControls::OnCharHook(wxKeyEvent& event) {
  const int key = MapVirtualKey(event.GetKeyCode());
  const bool typing = dynamic_cast<wxTextEntry*>(wxWindow::FindFocus()) != nullptr;
  if (key < 0 || !controller_.OnKey({key, event.ShiftDown(), event.ControlDown(), typing}))
    event.Skip();
}

void MainWindowViewControls::OnWheel(wxMouseEvent& event) {
  auto* source = dynamic_cast<wxWindow*>(event.GetEventObject());
  const wxPoint screen = (source != nullptr ? source : &dlg_)->ClientToScreen(event.GetPosition());
  std::optional<std::pair<float, float>> inMap;
  if (COpenGLControl* map = dlg_.MapWindow();
      map != nullptr && map->GetScreenRect().Contains(screen)) {
    const wxPoint corner = map->GetScreenPosition();
    inMap =
        std::pair{static_cast<float>(screen.x - corner.x), static_cast<float>(screen.y - corner.y)};
  }
  controller_.OnWheel(event.GetWheelRotation(), inMap);
  event.Skip();
}

void MainWindowViewControls::OnFilterButton() {
  // The live worker filters with the kernel; the button is disabled while it runs.
  if (dlg_.runMode_ == RunMode::Live || dlg_.models_.empty()) return;
  PelorinModel& first = *dlg_.models_[0];
  CFilterDlg dialog(&dlg_, first.GetFilterType(), first.Kernel());
  if (dialog.ShowModal() != wxID_OK) return;
  first.Kernel() = dialog.EditedKernel();
  first.SetFilterType(dialog.SelectedType());
}

// --- The window's own actions ----------------------------------------------------------

ViewController& CPelorinDlg::ViewControls() { return viewControls_->Controller(); }

void CPelorinDlg::ChooseSource(SourceSlot slot) {
  // The live worker reads the models; their buttons are disabled while it runs.
  if (runMode_ == RunMode::Live || models_.empty()) return;
  const bool first = slot == SourceSlot::First;
  const int mode = first ? 0 : 1;
  const int preset = first ? models_[0]->GetSourceType()
                           : (models_.size() > 1 ? models_[1]->GetSourceType() : kSourceNone);
  std::optional<int> chosen;
  if (sourceDialog_) {
    chosen = sourceDialog_(mode, preset);
  } else {
    CMultiSourceDlg dialog(this);
    dialog.SetMode(mode);
    dialog.Preset(preset);
    if (dialog.ShowModal() == wxID_OK) chosen = dialog.Selection();
  }

  const SourceChange change = DecideSourceChange(slot, chosen, models_.size() > 1);
  using Kind = SourceChange::Kind;
  wxWindow* button = FindWindow(first ? IDC_FIRST_SOURCE : IDC_SECOND_SOURCE);
  switch (change.kind) {
    case Kind::Nothing: return;
    case Kind::SetFirst: {
      PelorinModel& model = *models_[0];
      model.SetSourceType(change.type);
      ApplySourceType(model, change.type, sourceRanges_);
      button->SetLabel(SourceButtonCaption(slot, change.type));
      model.ClampRange();
      // The sliders take the type's range, and their handlers spread it.
      ViewControls().OnRangeSliders(
          {MaxSliderPosition(model.GetRangeMax()), MinSliderPosition(model.GetRangeMin())});
      return;
    }
    case Kind::RemoveSecond: models_.erase(models_.begin() + 1); break;
    case Kind::CaptionOnly: break;
    case Kind::AddSecond: models_.push_back(std::make_unique<InstantModel>()); [[fallthrough]];
    case Kind::SetSecond:
      models_[1]->SetSourceType(change.type);
      ApplySourceType(*models_[1], change.type, sourceRanges_);
      break;
  }
  button->SetLabel(SourceButtonCaption(slot, change.type));
}

void CPelorinDlg::EnterFullScreen() {
  if (fullScreen_) return;
  restoreRect_ = GetRect();
  fullScreen_ = true;
  ShowFullScreen(true, wxFULLSCREEN_ALL);
  // Where no window manager takes the request, the toolkit resizes the window behind
  // GTK's back, and GTK would later see nothing to undo: it is told the screen size too.
  // A manager does not resize a window of fixed size to the screen: the client area is
  // asked for the screen's size, the manager then takes the frame away.
  if (WindowManagerRunning()) {
    SetClientSize(wxGetDisplaySize());
  } else {
    SetSize(wxRect(wxPoint(0, 0), wxGetDisplaySize()));
  }
  for (wxWindow* child : GetChildren()) {
    if (!child->IsTopLevel() && child->GetId() != IDC_TAB) child->Hide();
  }
  FillWithMap();
  // The control that had the keyboard is hidden now; without a new owner the keys would
  // go nowhere, Space included.
  if (COpenGLControl* map = MapWindow()) {
    map->SetFocus();
  } else {
    SetFocus();
  }
  if (mapPage_ != nullptr) mapPage_->RefreshMap();
}

void CPelorinDlg::FillWithMap() {
  // The tab control takes the whole client area and its map page the map window; every
  // size the window manager gives the full-screen window comes here.
  tabCtrl_->SetSize(wxRect(wxPoint(0, 0), GetClientSize()));
  if (mapPage_ != nullptr) mapPage_->SetMapFillsPage(true);
}

void CPelorinDlg::LeaveFullScreen() {
  if (!fullScreen_) return;
  fullScreen_ = false;
  ShowFullScreen(false, wxFULLSCREEN_ALL);
  // A window manager gives the frame back a moment later, and GTK, which saw the window
  // without a frame, would count the frame into the client area: the window is settled
  // on its former place with the fitted client size once the manager is done.
  SetSize(restoreRect_);
  if (WindowManagerRunning()) SettleLater();
  for (wxWindow* child : GetChildren()) {
    if (!child->IsTopLevel()) child->Show();
  }
  // Every child, the tab control included, back to where the layout rules keep it.
  childLayout_.Apply();
  if (mapPage_ != nullptr) mapPage_->SetMapFillsPage(false);
  SetFocus();
  if (mapPage_ != nullptr) mapPage_->RefreshMap();
}

}  // namespace pelorin
