#include "view/filter_dlg.h"

#include <wx/button.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

#include "view/dialog_template.h"
#include "view/resource.h"

namespace pelorin {
namespace {

using K = ControlKind;
constexpr int kWidth = 190, kHeight = 92;  // dialog units

constexpr int kEditIds[9] = {res::IDC_KERNEL_00, res::IDC_KERNEL_01, res::IDC_KERNEL_02,
                             res::IDC_KERNEL_10, res::IDC_KERNEL_11, res::IDC_KERNEL_12,
                             res::IDC_KERNEL_20, res::IDC_KERNEL_21, res::IDC_KERNEL_22};

// In the order of FilterType's values.
constexpr ControlSpec kRadios[3] = {
    {res::IDC_FILTER_WEIGHT, K::RadioButton, "Weight", 118, 14, 62, 12},
    {res::IDC_FILTER_HIGH_PASS, K::RadioButton, "High Pass", 118, 30, 62, 12},
    {res::IDC_FILTER_CUSTOMIZE, K::RadioButton, "Customize", 118, 46, 62, 12},
};

constexpr ControlSpec kButtons[2] = {
    {wxID_OK, K::PushButton, "OK", 76, 70, 50, 14},
    {wxID_CANCEL, K::PushButton, "Cancel", 132, 70, 50, 14},
};

}  // namespace

wxBEGIN_EVENT_TABLE(CFilterDlg, wxDialog)
  EVT_RADIOBUTTON(res::IDC_FILTER_WEIGHT, CFilterDlg::OnType)
  EVT_RADIOBUTTON(res::IDC_FILTER_HIGH_PASS, CFilterDlg::OnType)
  EVT_RADIOBUTTON(res::IDC_FILTER_CUSTOMIZE, CFilterDlg::OnType)
  EVT_BUTTON(wxID_OK, CFilterDlg::OnOk)
wxEND_EVENT_TABLE()

CFilterDlg::CFilterDlg(wxWindow* parent, int32_t filterType, const FilterKernel& kernel)
    : wxDialog(parent, res::IDD_FILTER_DIALOG, "Filter Selection", wxDefaultPosition,
               wxDefaultSize, wxDEFAULT_DIALOG_STYLE | wxSTAY_ON_TOP),
      choice_(filterType, kernel),
      editedKernel_(kernel) {
  SetFont(DialogFont());
  SetClientSize(ConvertDialogToPixels(wxSize(kWidth, kHeight)));
  // Edits first, so that tab order runs through the kernel in reading order.
  for (size_t i = 0; i < edits_.size(); ++i) {
    const int row = static_cast<int>(i / 3), column = static_cast<int>(i % 3);
    edits_[i] = static_cast<wxTextCtrl*>(CreateControl(
        this, {kEditIds[i], K::EditBox, "", 14 + column * 32, 14 + row * 18, 26, 14}));
  }
  for (size_t i = 0; i < radios_.size(); ++i) {
    radios_[i] = static_cast<wxRadioButton*>(CreateControl(this, kRadios[i]));
  }
  for (const ControlSpec& spec : kButtons) CreateControl(this, spec);
  SetAffirmativeId(wxID_OK);
  SetEscapeId(wxID_CANCEL);
}

wxRadioButton* CFilterDlg::Radio(FilterType type) const {
  return radios_[static_cast<size_t>(type)];
}

bool CFilterDlg::TransferDataToWindow() {
  ShowChoice();
  Move(100, 100);
  return wxDialog::TransferDataToWindow();
}

void CFilterDlg::ReadEdits() {
  for (size_t i = 0; i < edits_.size(); ++i) {
    choice_.SetText(static_cast<int>(i), edits_[i]->GetValue().utf8_string());
  }
}

void CFilterDlg::ShowChoice() {
  const KernelTexts& texts = choice_.Texts();
  for (size_t i = 0; i < edits_.size(); ++i) {
    // ChangeValue: no text event, the edit only shows what the choice holds.
    if (edits_[i]->GetValue() != wxString::FromUTF8(texts[i])) {
      edits_[i]->ChangeValue(wxString::FromUTF8(texts[i]));
    }
    edits_[i]->SetEditable(choice_.Editable());
  }
  Radio(choice_.Checked())->SetValue(true);
}

void CFilterDlg::OnType(wxCommandEvent& event) {
  FilterType type = FilterType::Weight;
  if (event.GetId() == res::IDC_FILTER_HIGH_PASS) type = FilterType::HighPass;
  if (event.GetId() == res::IDC_FILTER_CUSTOMIZE) type = FilterType::Customize;
  ReadEdits();  // Customize keeps whatever the edits hold now
  choice_.Choose(type);
  ShowChoice();
}

bool CFilterDlg::Confirm() {
  ReadEdits();
  return choice_.Accept(editedKernel_);
}

void CFilterDlg::OnOk(wxCommandEvent& /*event*/) {
  if (Confirm()) EndModal(wxID_OK);
}

}  // namespace pelorin
