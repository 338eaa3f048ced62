// Where the main window sits and how its children follow: the fit to the screen at the
// start (fonts and sizes scaled), the place once the window manager has mapped it, the
// layout rules on every resize, and the full-screen map.
#pragma once

#include <vector>

#include <wx/dialog.h>
#include <wx/font.h>
#include <wx/gdicmn.h>
#include <wx/timer.h>

#include "app/child_layout.h"
#include "view/desktop_window.h"

class wxNotebook;

namespace pelorin {

class CShowDialog;

class WindowPlacement {
 public:
  // tabId: the tab control, the one child the full-screen map keeps.
  WindowPlacement(wxDialog& window, int tabId);

  // Once, before the window first shows: the children to scale and lay out, then the
  // fit to the work area (fonts, client size, every child).
  void FitToScreen(CShowDialog* mapPage);
  // At the first show: the drop-down lists fitted, the layout rules started from there,
  // and the place settled once the window manager has mapped the window.
  void FirstShown();
  // Every resize: the layout rules, or the map over the whole window in full screen.
  void OnSize();

  // The map fills the screen: only the tab control stays; Leave brings back the window's
  // place, size, caption and every control.
  void EnterFullScreen();
  void LeaveFullScreen();
  bool FullScreen() const { return fullScreen_; }

  // The frame the window manager puts around the window (0 without one), and the client
  // size the screen fit chose.
  const FrameExtents& Frame() const { return frame_; }
  wxSize FittedClientSize() const { return fittedClient_; }
  const wxFont& NormalFont() const { return normalFont_; }
  const wxFont& LargeFont() const { return largeFont_; }
  const std::vector<int>& ChildIds() const { return childIds_; }
  const ChildLayout& Layout() const { return childLayout_; }
  // The close: the scaled fonts go, the settling stops.
  void Release();

 private:
  void SettleLater();
  // Once the window manager has mapped the window: the fitted client size and a place
  // wholly on the work area.
  void SettleOnScreen();
  // Full screen: the tab control over the whole client area, the map over its page.
  void FillWithMap();

  wxDialog& window_;
  int tabId_;
  CShowDialog* mapPage_ = nullptr;
  std::vector<int> childIds_;
  ChildLayout childLayout_;
  wxFont normalFont_;
  wxFont largeFont_;
  wxRect restoreRect_;
  FrameExtents frame_;
  wxSize fittedClient_;
  wxTimer settleTimer_;
  int settleTries_ = 0;
  bool fullScreen_ = false;
};

}  // namespace pelorin
