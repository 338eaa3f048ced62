#include "app/main_window_controls.h"

#include <optional>
#include <utility>

#include "app/pelorin_dlg.h"
#include "app/window_placement.h"

#include <wx/textentry.h>

#include "data/session/viewer_session.h"
#include "view/map_window.h"
#include "view/show_dialog.h"

namespace pelorin {

MainWindowControls::MainWindowControls(CPelorinDlg& dlg, ViewerSession& session)
    : dlg_(dlg), session_(session), controller_(*this) {}

void MainWindowControls::BindKeysAndWheel() {
  // Every key reaches the window before its controls.
  dlg_.Bind(wxEVT_CHAR_HOOK, &MainWindowControls::OnCharHook, this);
  dlg_.Bind(wxEVT_MOUSEWHEEL, &MainWindowControls::OnWheel, this);
  dlg_.Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& e) {
    dlg_.SetFocus();
    e.Skip();
  });
}

void MainWindowControls::BindMapWheel() {
  // GTK gives the wheel to the window under the cursor: the page and the map report it
  // to the same handler, which decides by the cursor's place on the screen.
  if (dlg_.MapPage() != nullptr)
    dlg_.MapPage()->Bind(wxEVT_MOUSEWHEEL, &MainWindowControls::OnWheel, this);
  if (COpenGLControl* map = dlg_.MapWindow())
    map->Bind(wxEVT_MOUSEWHEEL, &MainWindowControls::OnWheel, this);
}

RunMode MainWindowControls::Mode() const { return session_.Mode(); }
RangeSliders MainWindowControls::Sliders() const { return session_.Sliders(); }
void MainWindowControls::ShowRange(const RangeSliders& s) { session_.ShowRange(s); }
void MainWindowControls::RebuildLiveMesh() { session_.RebuildLiveMesh(); }
void MainWindowControls::RebuildPlaybackMesh() { session_.RebuildPlaybackMesh(); }

MapOrientation& MainWindowControls::Orientation() {
  return dlg_.MapPage() != nullptr ? dlg_.MapPage()->View() : noMap_;
}

MapCamera* MainWindowControls::Camera() {
  COpenGLControl* map = dlg_.MapWindow();
  return map != nullptr ? &map->Camera() : nullptr;
}

void MainWindowControls::ApplyViewPoint(int viewPoint) { session_.SetViewPoint(viewPoint); }

void MainWindowControls::RefreshMap() {
  if (dlg_.MapPage() != nullptr) dlg_.MapPage()->RefreshMap();
}

void MainWindowControls::Start() { session_.Start(); }
void MainWindowControls::Stop() { session_.Stop(); }
void MainWindowControls::ChooseSource(SourceSlot slot) { session_.ChooseSource(slot); }
void MainWindowControls::SetFirstSourceType(int32_t type) { session_.SetFirstSourceType(type); }
bool MainWindowControls::FullScreen() const { return dlg_.Placement().FullScreen(); }

void MainWindowControls::SetFullScreen(bool on) {
  on ? dlg_.Placement().EnterFullScreen() : dlg_.Placement().LeaveFullScreen();
}

void MainWindowControls::OnCharHook(wxKeyEvent& event) {
  const int key = MapVirtualKey(event.GetKeyCode());
  const bool typing = dynamic_cast<wxTextEntry*>(wxWindow::FindFocus()) != nullptr;
  if (key < 0 || !controller_.OnKey({key, event.ShiftDown(), event.ControlDown(), typing}))
    event.Skip();
}

void MainWindowControls::OnWheel(wxMouseEvent& event) {
  auto* source = dynamic_cast<wxWindow*>(event.GetEventObject());
  const wxPoint screen = (source != nullptr ? source : static_cast<wxWindow*>(&dlg_))
                             ->ClientToScreen(event.GetPosition());
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

}  // namespace pelorin
