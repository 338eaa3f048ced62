#include "view/about_dlg.h"

#include <array>

#include <wx/button.h>
#include <wx/statbmp.h>

#include "view/dialog_template.h"
#include "view/program_icon.h"
#include "view/resource.h"

namespace pelorin {
namespace {

using K = ControlKind;
constexpr int kWidth = 170, kHeight = 62;  // dialog units

constexpr std::array kAboutControls = {
    ControlSpec{res::IDC_STATIC, K::Picture, "", 14, 14, 21, 20},
    ControlSpec{res::IDC_STATIC, K::StaticText, "Pelorin, 1.0 版", 42, 14, 114, 8},
    ControlSpec{res::IDC_STATIC, K::StaticText, "Copyright (C) 2026", 42, 26, 114, 8},
    ControlSpec{wxID_OK, K::PushButton, "確定", 113, 41, 50, 14},
};

}  // namespace

CAboutDlg::CAboutDlg(wxWindow* parent)
    : wxDialog(parent, res::IDD_ABOUTBOX, wxString::FromUTF8("關於 Pelorin")) {
  SetFont(DialogFont());
  SetClientSize(ConvertDialogToPixels(wxSize(kWidth, kHeight)));
  for (const ControlSpec& spec : kAboutControls) {
    wxWindow* control = CreateControl(this, spec);
    if (auto* picture = dynamic_cast<wxStaticBitmap*>(control)) {
      picture->SetBitmap(ProgramIcon());
    }
  }
  SetAffirmativeId(wxID_OK);
  SetEscapeId(wxID_OK);
}

}  // namespace pelorin
