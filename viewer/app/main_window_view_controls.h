// The main window's view controls: the window's side of ViewControlHost, and the routes
// of the controls' events (sliders, check boxes, source buttons, keys, wheel) to the
// rules of ViewController or to the models.
#pragma once

#include "view/view_controller.h"

class wxCommandEvent;
class wxKeyEvent;
class wxMouseEvent;

namespace pelorin {

class CPelorinDlg;

class MainWindowViewControls : public ViewControlHost {
 public:
  explicit MainWindowViewControls(CPelorinDlg& dlg);

  // Binds the window's controls; the map window's once it exists.
  void BindControls();
  void BindMapWindow();

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
  void OnCheckBox(wxCommandEvent& event);
  void OnHideSource(int index, bool hidden);
  void OnCharHook(wxKeyEvent& event);
  void OnWheel(wxMouseEvent& event);
  void OnFilterButton();

  CPelorinDlg& dlg_;
  ViewController controller_;
  MapOrientation noMap_;  // what the keys turn before the map page exists
};

}  // namespace pelorin
