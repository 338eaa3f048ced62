// The main window's view controls: the rules of ViewController over the session and the
// map page, and the routes of the keys and the mouse wheel to them.
#pragma once

#include "view/view_controller.h"

class wxKeyEvent;
class wxMouseEvent;

namespace pelorin {

class CPelorinDlg;
class ViewerSession;

class MainWindowControls : public ViewControlHost {
 public:
  MainWindowControls(CPelorinDlg& dlg, ViewerSession& session);

  // The keys and the wheel of the window; the map page's and the map's once they exist.
  void BindKeysAndWheel();
  void BindMapWheel();

  ViewController& Controller() { return controller_; }

  // ViewControlHost.
  RunMode Mode() const override;
  RangeSliders Sliders() const override;
  void ShowRange(const RangeSliders& sliders) override;
  void RebuildLiveMesh() override;
  void RebuildPlaybackMesh() override;
  MapOrientation& Orientation() override;
  MapCamera* Camera() override;
  void ApplyViewPoint(int viewPoint) override;
  void RefreshMap() override;
  void Start() override;
  void Stop() override;
  void ChooseSource(SourceSlot slot) override;
  void SetFirstSourceType(int32_t type) override;
  bool FullScreen() const override;
  void SetFullScreen(bool on) override;

 private:
  void OnCharHook(wxKeyEvent& event);
  void OnWheel(wxMouseEvent& event);

  CPelorinDlg& dlg_;
  ViewerSession& session_;
  ViewController controller_;
  MapOrientation noMap_;  // what the keys turn before the map page exists
};

}  // namespace pelorin
