// CFilterDlg: "Filter Selection", where the user picks the 3 x 3 kernel of the live Diff
// filter: Weight (all ones), High Pass (8 in the centre, -1 around) or a kernel typed in
// under Customize. What each choice does lives in FilterChoice; the dialog routes its
// radio buttons, nine edits and OK button to it.
#pragma once

#include <array>
#include <cstdint>

#include <wx/dialog.h>

#include "data/filter_choice.h"
#include "data/frame_model.h"

class wxRadioButton;
class wxTextCtrl;

namespace pelorin {

class CFilterDlg : public wxDialog {
 public:
  // `filterType` picks the checked radio button; `kernel` is what the edits show first.
  CFilterDlg(wxWindow* parent, int32_t filterType, const FilterKernel& kernel);

  // After ShowModal returned wxID_OK: the type chosen (the given one when no radio button
  // was clicked) and the kernel read from the edits.
  int32_t SelectedType() const { return choice_.Type(); }
  const FilterKernel& EditedKernel() const { return editedKernel_; }

  // Shows the choice in the controls and places the dialog; ShowModal runs it through
  // the init event.
  bool TransferDataToWindow() override;
  // The OK action without closing: reads the edits into the kernel; false (the dialog
  // stays open) when an edit is empty.
  bool Confirm();

  // Edit `index` in reading order (0 top left, 8 bottom right).
  wxTextCtrl* Edit(int index) const { return edits_[static_cast<size_t>(index)]; }
  wxRadioButton* Radio(FilterType type) const;

 private:
  void OnType(wxCommandEvent& event);
  void OnOk(wxCommandEvent& event);
  // The edits' texts into the choice, and the choice back into the controls.
  void ReadEdits();
  void ShowChoice();

  FilterChoice choice_;
  FilterKernel editedKernel_;
  std::array<wxTextCtrl*, 9> edits_{};
  std::array<wxRadioButton*, 3> radios_{};
  wxDECLARE_EVENT_TABLE();
};

}  // namespace pelorin
