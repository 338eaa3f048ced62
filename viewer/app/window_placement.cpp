#include "app/window_placement.h"

#include <wx/notebook.h>

#include "view/caption_fit.h"
#include "view/map_window.h"
#include "view/screen_fit.h"
#include "view/show_dialog.h"

namespace pelorin {

WindowPlacement::WindowPlacement(wxDialog& window, int tabId)
    : window_(window), tabId_(tabId), settleTimer_(&window, wxID_ANY) {
  window_.Bind(
      wxEVT_TIMER, [this](wxTimerEvent&) { SettleOnScreen(); }, settleTimer_.GetId());
}

void WindowPlacement::FitToScreen(CShowDialog* mapPage) {
  mapPage_ = mapPage;
  childIds_.clear();
  for (wxWindow* child : window_.GetChildren()) {
    if (!child->IsTopLevel() && child->GetParent() == &window_) childIds_.push_back(child->GetId());
  }
  // The screen is its work area (without the desktop's panels), and the window with its
  // title bar and borders must fit on it: the factors of the screen, made smaller where
  // the frame would push the window over the edge.
  frame_ = RequestFrameExtents(&window_);
  const wxRect area = WorkArea(&window_);
  const wxSize client = window_.GetClientSize();
  const ScreenFactors f =
      FitFactors(ScreenFactorsFor(area.width, area.height), client,
                 wxSize(frame_.Horizontal(), frame_.Vertical()), area.GetSize());
  normalFont_ = ScaledFont(window_.GetFont(), f.sx, f.sy);
  largeFont_ = ScaledFont(window_.GetFont(), 3 * f.sx, 3 * f.sy);
  fittedClient_ = wxSize(static_cast<int>(client.x * f.sx), static_cast<int>(client.y * f.sy));
  // SetSize rather than SetClientSize: GTK applies a client size only once the window is
  // shown. SettleOnScreen makes the client size good once the frame is known to GTK too.
  window_.SetSize(wxRect(area.GetPosition(), window_.ClientToWindowSize(fittedClient_)));
  restoreRect_ = window_.GetRect();
  window_.Refresh();
  window_.Update();
  FitChildren(&window_, childIds_, normalFont_, f);
  // GTK draws check boxes, sliders and some captions larger than the template assumes.
  FitCaptionsAndTracks(&window_, childIds_);
  childLayout_.Init(&window_, 0);
}

void WindowPlacement::FirstShown() {
  FitDropDownLists(&window_, childIds_);
  childLayout_.Init(&window_, 0);  // the resize rules start from the fitted lists
  // The window manager maps the window a moment later, and may put it elsewhere.
  if (WindowManagerRunning()) SettleLater();
}

void WindowPlacement::SettleLater() {
  settleTries_ = 0;
  settleTimer_.Start(50);
}

void WindowPlacement::SettleOnScreen() {
  // Bounded: a window that is never mapped (no manager answers) is left as it is. A few
  // ticks pass first, for the manager to finish its own moves.
  constexpr int kMaxTries = 60;
  constexpr int kQuietTicks = 2;
  if (++settleTries_ < kMaxTries && (!window_.IsShownOnScreen() || settleTries_ < kQuietTicks))
    return;
  settleTimer_.Stop();
  if (fullScreen_ || window_.IsMaximized()) return;
  // GTK learns the frame only when the window is mapped and then takes it out of the
  // client area, which would cut the bottom of the fitted controls.
  if (fittedClient_.x > 0 && window_.GetClientSize() != fittedClient_)
    window_.SetClientSize(fittedClient_);
  // The window manager places a new window by its own rule; the window goes where the
  // screen fit put it (the work area's corner) or, after full screen, back to its former
  // place, wholly on the work area either way.
  const wxRect area = WorkArea(&window_);
  const wxPoint place = PlaceInside(wxRect(restoreRect_.GetPosition(), window_.GetSize()), area);
  MoveFrameTo(&window_, place);
  restoreRect_ = wxRect(place, window_.GetSize());
}

void WindowPlacement::OnSize() {
  // In full screen the map fills the window; the layout rules take over again on leave.
  if (fullScreen_) {
    FillWithMap();
  } else {
    childLayout_.Apply();
  }
  window_.Refresh();
}

void WindowPlacement::EnterFullScreen() {
  if (fullScreen_) return;
  restoreRect_ = window_.GetRect();
  fullScreen_ = true;
  window_.ShowFullScreen(true, wxFULLSCREEN_ALL);
  // Where no window manager takes the request, the toolkit resizes the window behind
  // GTK's back, and GTK would later see nothing to undo: it is told the screen size too.
  // A manager does not resize a window of fixed size to the screen: the client area is
  // asked for the screen's size, the manager then takes the frame away.
  if (WindowManagerRunning()) {
    window_.SetClientSize(wxGetDisplaySize());
  } else {
    window_.SetSize(wxRect(wxPoint(0, 0), wxGetDisplaySize()));
  }
  for (wxWindow* child : window_.GetChildren()) {
    if (!child->IsTopLevel() && child->GetId() != tabId_) child->Hide();
  }
  FillWithMap();
  // The control that had the keyboard is hidden now; without a new owner the keys would
  // go nowhere, Space included.
  if (COpenGLControl* map = mapPage_ != nullptr ? mapPage_->Map() : nullptr) {
    map->SetFocus();
  } else {
    window_.SetFocus();
  }
  if (mapPage_ != nullptr) mapPage_->RefreshMap();
}

void WindowPlacement::FillWithMap() {
  // The tab control takes the whole client area and its map page the map window; every
  // size the window manager gives the full-screen window comes here.
  if (wxWindow* tab = window_.FindWindow(tabId_))
    tab->SetSize(wxRect(wxPoint(0, 0), window_.GetClientSize()));
  if (mapPage_ != nullptr) mapPage_->SetMapFillsPage(true);
}

void WindowPlacement::LeaveFullScreen() {
  if (!fullScreen_) return;
  fullScreen_ = false;
  window_.ShowFullScreen(false, wxFULLSCREEN_ALL);
  // A window manager gives the frame back a moment later, and GTK, which saw the window
  // without a frame, would count the frame into the client area: the window is settled
  // on its former place with the fitted client size once the manager is done.
  window_.SetSize(restoreRect_);
  if (WindowManagerRunning()) SettleLater();
  for (wxWindow* child : window_.GetChildren()) {
    if (!child->IsTopLevel()) child->Show();
  }
  // Every child, the tab control included, back to where the layout rules keep it.
  childLayout_.Apply();
  if (mapPage_ != nullptr) mapPage_->SetMapFillsPage(false);
  window_.SetFocus();
  if (mapPage_ != nullptr) mapPage_->RefreshMap();
}

void WindowPlacement::Release() {
  normalFont_ = wxNullFont;
  largeFont_ = wxNullFont;
  settleTimer_.Stop();
}

}  // namespace pelorin
