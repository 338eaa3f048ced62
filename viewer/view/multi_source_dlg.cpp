#include "view/multi_source_dlg.h"

#include <wx/button.h>
#include <wx/choice.h>

#include "view/dialog_template.h"
#include "view/resource.h"

namespace pelorin {

wxBEGIN_EVENT_TABLE(CMultiSourceDlg, wxDialog)
  EVT_BUTTON(wxID_OK, CMultiSourceDlg::OnOk)
  EVT_CHAR_HOOK(CMultiSourceDlg::OnKey)
wxEND_EVENT_TABLE()

CMultiSourceDlg::CMultiSourceDlg(wxWindow* parent)
    : wxDialog(parent, res::IDD_MULTI_SOURCE_DIALOG, "Source Selection", wxDefaultPosition,
               wxDefaultSize, wxDEFAULT_DIALOG_STYLE | wxSTAY_ON_TOP) {
  SetFont(DialogFont());
  CreateControl(this, {res::IDC_STATIC, ControlKind::StaticText, "Source:", 14, 22, 30, 10});
  combo_ = static_cast<wxChoice*>(
      CreateControl(this, {res::IDC_SOURCE_COMBO, ControlKind::DropDownList, "", 48, 18, 100, 80}));
  CreateControl(this, {wxID_OK, ControlKind::PushButton, "Ok", 160, 18, 40, 18});
  comboFont_ = wxFont(wxFontInfo(wxSize(0, 24)).Family(wxFONTFAMILY_SWISS).FaceName("Arial"));
  // Without a Cancel button wx would take the close button and Escape for "Ok" and hand
  // an unconfirmed choice to the caller; both cancel instead.
  SetEscapeId(wxID_CANCEL);
}

void CMultiSourceDlg::Preset(int sourceType) {
  selection_ = mode_ == 0 ? sourceType - 1 : sourceType;
}

bool CMultiSourceDlg::TransferDataToWindow() {
  SetSize(100, 100, 350, 200);
  combo_->SetFont(comboFont_);
  combo_->SetSize(wxSize(std::max(combo_->GetSize().x, 100), combo_->GetBestSize().y));
  combo_->Clear();
  if (mode_ != 0) combo_->Append("None");
  for (const char* item : {"Loop", "Cycle", "Base", "Raw Data", "RawDiff", "Diff"})
    combo_->Append(item);
  const int index = selection_;
  combo_->SetSelection(index >= 0 && index < static_cast<int>(combo_->GetCount()) ? index
                                                                                  : wxNOT_FOUND);
  return wxDialog::TransferDataToWindow();
}

void CMultiSourceDlg::Confirm() {
  const int index = combo_->GetSelection();  // wxNOT_FOUND (-1) when nothing is chosen
  selection_ = mode_ == 0 ? index + 1 : index;
}

void CMultiSourceDlg::OnKey(wxKeyEvent& event) {
  if (event.GetKeyCode() == WXK_ESCAPE && IsModal()) {
    EndModal(wxID_CANCEL);
    return;
  }
  event.Skip();
}

void CMultiSourceDlg::OnOk(wxCommandEvent& /*event*/) {
  Confirm();
  EndModal(wxID_OK);
}

}  // namespace pelorin
