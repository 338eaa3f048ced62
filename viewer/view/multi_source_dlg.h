// CMultiSourceDlg: "Source Selection", the dialog behind the 1st-Source (mode 0) and
// 2nd-Source (mode 1) buttons. Mode 1 offers "None" in front of the six source types.
#pragma once

#include <wx/dialog.h>
#include <wx/font.h>

class wxChoice;

namespace pelorin {

class CMultiSourceDlg : public wxDialog {
 public:
  explicit CMultiSourceDlg(wxWindow* parent);

  void SetMode(int mode) { mode_ = mode; }
  int Mode() const { return mode_; }
  // Mode 0 selects index type - 1, mode 1 index type.
  void Preset(int sourceType);
  // The source type of the chosen item: mode 0 index + 1, mode 1 the index. With no
  // selection mode 0 gives 0 (None) and mode 1 gives -1.
  int Selection() const { return selection_; }

  // Fills and positions the dialog; ShowModal runs it through the init event.
  bool TransferDataToWindow() override;
  // The OK action: takes the combo's selection as the result.
  void Confirm();

  wxChoice* Combo() const { return combo_; }

 private:
  void OnOk(wxCommandEvent& event);
  void OnKey(wxKeyEvent& event);

  wxChoice* combo_ = nullptr;
  wxFont comboFont_;  // lives as long as the dialog
  int mode_ = 0;
  int selection_ = 0;
  wxDECLARE_EVENT_TABLE();
};

}  // namespace pelorin
