#include "view/dialog_template.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/notebook.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/slider.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include "view/tight_style.h"

namespace pelorin {

wxFont DialogFont() {
  wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
  font.SetPointSize(9);
  return font;
}

wxRect DialogUnitsToPixels(const wxWindow* window, int x, int y, int w, int h) {
  const wxPoint pos = window->ConvertDialogToPixels(wxPoint(x, y));
  const wxSize size = window->ConvertDialogToPixels(wxSize(w, h));
  return {pos, size};
}

wxWindow* CreateControl(wxWindow* parent, const ControlSpec& spec) {
  const wxRect r = DialogUnitsToPixels(parent, spec.x, spec.y, spec.w, spec.h);
  const wxString caption = wxString::FromUTF8(spec.caption ? spec.caption : "");
  const wxPoint pos = r.GetPosition();
  const wxSize size = r.GetSize();
  const int id = spec.id;
  switch (spec.kind) {
    case ControlKind::Tab:
      return new wxNotebook(parent, id, pos, size);
    case ControlKind::PushButton:
    case ControlKind::MultiLineButton:
      return new wxButton(parent, id, caption, pos, size);
    case ControlKind::StaticText:
      return new wxStaticText(parent, id, caption, pos, size, wxST_NO_AUTORESIZE);
    case ControlKind::StatusText: {
      auto* text = new wxStaticText(parent, id, caption, pos, size,
                                    wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_MIDDLE);
      // As many lines as the area has room for; the last is cut with the ellipsis.
      const int line = text->GetCharHeight();
      WrapEllipsizedText(text, line > 0 ? std::max(1, size.y / line) : 1);
      return text;
    }
    case ControlKind::CentredStaticText:
      return new wxStaticText(parent, id, caption, pos, size,
                              wxST_NO_AUTORESIZE | wxALIGN_CENTRE_HORIZONTAL);
    case ControlKind::DropDownList: {
      auto* choice = new wxChoice(parent, id, pos, wxSize(size.x, -1));
      choice->SetSize(size.x, choice->GetBestSize().y);
      return choice;
    }
    case ControlKind::GroupBox:
      return new wxStaticBox(parent, id, caption, pos, size);
    case ControlKind::EditBox:
      return new wxTextCtrl(parent, id, caption, pos, size);
    case ControlKind::CheckBox:
      return new wxCheckBox(parent, id, caption, pos, size);
    case ControlKind::RadioButton:
      return new wxRadioButton(parent, id, caption, pos, size);
    case ControlKind::Slider:
      return new wxSlider(parent, id, 0, 0, 100, pos, size, wxSL_HORIZONTAL);
    case ControlKind::Picture:
      return new wxStaticBitmap(parent, id, wxNullBitmap, pos, size);
    case ControlKind::Hidden: {
      auto* area = new wxStaticText(parent, id, caption, pos, size, wxST_NO_AUTORESIZE);
      area->Hide();
      return area;
    }
  }
  return nullptr;
}

void CreateControls(wxWindow* parent, std::span<const ControlSpec> specs) {
  for (const ControlSpec& spec : specs) CreateControl(parent, spec);
}

}  // namespace pelorin
